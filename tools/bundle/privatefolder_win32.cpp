#include "tools/bundle/privatefolder.h"

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <vector>

#include "tools/bundle/bundlerun.h"

namespace {

struct LOCALFREE {
    void operator()(void* p) const { LocalFree(p); }
};
struct HANDLECLOSE {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
struct FINDCLOSE {
    void operator()(HANDLE h) const { FindClose(h); }
};

// The current user's security identifier as text ("S-1-5-21-..."); empty when it cannot be read.
std::wstring CurrentUserSid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return L"";
    std::unique_ptr<void, HANDLECLOSE> token(raw);
    DWORD size = 0;
    GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(raw, TokenUser, buffer.data(), size, &size))
        return L"";
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return L"";
    std::unique_ptr<void, LOCALFREE> owned(text);
    return text;
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1)
        return L"";
    std::wstring folder(buffer, n);
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

void DeleteLater(const std::wstring& path) {
    MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

} // namespace

std::wstring CreatePrivateTempFolder(const wchar_t* prefix) {
    const std::wstring temp = TempFolder();
    const std::wstring user = CurrentUserSid();
    if (temp.empty() || user.empty())
        return L"";
    const std::u16string text = bundle::PrivateFolderSecurity(std::u16string(user.begin(), user.end()));
    const std::wstring sddl(text.begin(), text.end());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return L"";
    std::unique_ptr<void, LOCALFREE> owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    unsigned number = static_cast<unsigned>(counter.QuadPart) ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt, number = number * 1103515245u + 12345u) {
        wchar_t name[16];
        wsprintfW(name, L"%08X", number);
        const std::wstring folder = temp + prefix + name;
        if (CreateDirectoryW(folder.c_str(), &attributes))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return L"";
    }
    return L"";
}

bool DeleteFolderTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    std::unique_ptr<void, FINDCLOSE> search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (search.get() == INVALID_HANDLE_VALUE)
        search.release();
    for (bool more = search != nullptr; more; more = FindNextFileW(search.get(), &found)) {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        const DWORD kind = found.dwFileAttributes;
        if ((kind & FILE_ATTRIBUTE_DIRECTORY) && !(kind & FILE_ATTRIBUTE_REPARSE_POINT)) {
            DeleteFolderTree(path);
            continue;
        }
        if (kind & FILE_ATTRIBUTE_DIRECTORY) { // a link to a folder: the link goes, not what it points to
            if (!RemoveDirectoryW(path.c_str()))
                DeleteLater(path);
            continue;
        }
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(path.c_str()))
            DeleteLater(path);
    }
    search.reset();
    if (RemoveDirectoryW(folder.c_str()))
        return true;
    DeleteLater(folder);
    return false;
}
