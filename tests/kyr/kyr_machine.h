// The machine as the KYR tests see it: registry values under the current user and the local machine, files
// laid out and read back, and the traces of a KYR installation removed before and after each session.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kyrtest {

namespace fs = std::filesystem;

inline const std::string kUninstallBranch = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

inline void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    HKEY handle = nullptr;
    if (RegCreateKeyA(root, key.c_str(), &handle) != ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
}

// "<absent>" when the key or the value is missing.
inline std::string Text(HKEY root, const std::string& key, const std::string& name) {
    char text[1024] = {};
    DWORD size = sizeof text - 1;
    if (SHGetValueA(root, key.c_str(), name.c_str(), nullptr, text, &size) != ERROR_SUCCESS)
        return "<absent>";
    return text;
}

// -1 when the value is missing or is no 4-byte number.
inline long long Number(HKEY root, const std::string& key, const std::string& name) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (SHGetValueA(root, key.c_str(), name.c_str(), &type, &value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return -1;
    return value;
}

inline bool KeyExists(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

inline void DeleteKey(HKEY root, const std::string& key) {
    SHDeleteKeyA(root, key.c_str());
}

inline std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

inline void PutFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// "<missing>" when the file cannot be read.
inline std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in a folder as the file system spells them, sorted.
inline std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline void RemoveTree(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// Every registration a KYR generation or these tests leave: the user's keys, the uninstall entries and the
// REXX option.
inline void ForgetKyr() {
    for (const char* key : {"KYR", "KYR4", "KYR5", "KYR6"}) {
        DeleteKey(HKEY_CURRENT_USER, std::string("Software\\Orvik\\") + key);
        DeleteKey(HKEY_LOCAL_MACHINE, kUninstallBranch + "\\" + key);
    }
    DeleteKey(HKEY_CURRENT_USER, "Software\\Kyrolink ");
    DeleteKey(HKEY_CURRENT_USER, "Software\\Enterprise Alternatives");
}

} // namespace kyrtest
