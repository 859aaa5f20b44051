#include "tools/bundle/privatefolder.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "lib/privatefolder.h"
#include "lib/textcodec.h"

namespace {

struct FINDCLOSE {
    void operator()(HANDLE h) const { FindClose(h); }
};

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

std::wstring CreatePrivateTempFolder(const char* prefix) {
    const std::wstring temp = TempFolder();
    if (temp.empty())
        return L"";
    // The program's 8-bit text is UTF-8 (its manifest says so): the names survive the round trip.
    const std::u16string parent(temp.begin(), temp.end());
    const STRING folder = CreatePrivateFolder(TEXTCODEC::FromWide(parent).c_str(), prefix);
    if (!folder.NotNull())
        return L"";
    const std::u16string wide = TEXTCODEC::ToWide(folder.Text());
    return std::wstring(wide.begin(), wide.end());
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
