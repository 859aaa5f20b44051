#include "tests/e2e/installed_system.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    std::string folder = path;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

std::string RegistryText(void* root, const std::string& key, const std::string& name) {
    char text[2048] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(static_cast<HKEY>(root), key.c_str(), name.empty() ? nullptr : name.c_str(),
                     RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return "<absent>";
    return text;
}

int64_t RegistryNumber(void* root, const std::string& key, const std::string& name) {
    DWORD number = 0;
    DWORD size = sizeof number;
    if (RegGetValueA(static_cast<HKEY>(root), key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &number,
                     &size) != ERROR_SUCCESS)
        return -1;
    return number;
}

bool RegistryKeyExists(void* root, const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(static_cast<HKEY>(root), key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void DeleteRegistryTree(void* root, const std::string& key) {
    RegDeleteTreeA(static_cast<HKEY>(root), key.c_str());
    RegDeleteKeyA(static_cast<HKEY>(root), key.c_str());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : separator) + parts[i];
    return text;
}

std::string Replaced(std::string text, const std::string& placeholder, const std::string& by) {
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + by.size()))
        text.replace(at, placeholder.size(), by);
    return text;
}

// The files that the system deletes at the next restart, as MoveFileEx recorded them.
std::string PendingDeletions() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return "";
    std::vector<wchar_t> data(65536);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LONG rc = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return "";
    std::string text;
    for (size_t i = 0; i < size / sizeof(wchar_t); ++i)
        text += data[i] == 0 ? '|' : static_cast<char>(data[i] < 128 ? data[i] : '?');
    return text;
}

} // namespace e2e
