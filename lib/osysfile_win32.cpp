// File-system seam of the Windows build: Win32 and the runtime library's calls on "\" names as they are.
#include <windows.h>

#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdlib>

#include "lib/filename.h"
#include "lib/osysfile_platform.h"
#include "lib/winhandles.h"

namespace OSYSFILE {

namespace {

// Volume and file index of an existing file or directory.
bool FileIdentity(const char* name, BY_HANDLE_FILE_INFORMATION& info) {
    FILEHANDLE handle(::CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return false;
    return ::GetFileInformationByHandle(handle.get(), &info) != 0;
}

} // namespace

STRING DiskPath(const char* name) { return STRING(name); }

bool Stat(const char* name, FILESTATUS& status) {
    struct _stat64 st;
    if (::_stat64(name, &st) != 0)
        return false;
    status.Size = st.st_size;
    status.AccessTime = st.st_atime;
    status.ModTime = st.st_mtime;
    status.ChangeTime = st.st_ctime;
    return true;
}

bool Exists(const char* name, int* error) {
    if (::_access(name, 0) == 0)
        return true;
    if (error != nullptr)
        *error = errno;
    return false;
}

bool IsDirectory(const char* name) {
    const DWORD attributes = ::GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(const char* name) {
    const DWORD attributes = ::GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool RemoveFile(const char* name) { return ::DeleteFileA(name) != 0; }

bool MakeDir(const char* name) { return ::CreateDirectoryA(name, nullptr) != 0; }

bool RemoveDir(const char* name) { return ::RemoveDirectoryA(name) != 0; }

bool MoveEntry(const char* from, const char* to) { return ::MoveFileA(from, to) != 0; }

bool IsSameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION ia;
    BY_HANDLE_FILE_INFORMATION ib;
    return FileIdentity(a, ia) && FileIdentity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

uint32_t GetAttributes(const char* name) { return ::GetFileAttributesA(name); }

bool SetAttributes(const char* name, uint32_t attributes) { return ::SetFileAttributesA(name, attributes) != 0; }

bool SetReadOnly(const char* name, bool readonly) {
    DWORD attributes = ::GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    attributes = readonly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    return ::SetFileAttributesA(name, attributes) != 0;
}

FILE* OpenShared(const char* name, const char* mode, int share) {
    // The runtime rejects share mode 0 (compatibility mode); it means "no denial".
    return ::_fsopen(name, mode, share == 0 ? _SH_DENYNO : share);
}

int FileDescriptor(FILE* file) { return ::_fileno(file); }

STRING CreateUniqueTempFile() {
    char folder[MAX_PATH + 1] = {};
    const char* temp = std::getenv("TEMP");
    if (temp == nullptr || temp[0] == '\0') {
        if (::GetTempPathA(sizeof folder, folder) == 0)
            return STRING();
        temp = folder;
    }
    char name[MAX_PATH + 1] = {};
    // Creates the file, so the name cannot be taken by another process in the meantime.
    if (::GetTempFileNameA(temp, "orv", 0, name) == 0)
        return STRING();
    return STRING(name);
}

namespace {

class WIN32SCAN : public DIRECTORYSCAN {
public:
    explicit WIN32SCAN(const STRING& searchpattern)
        : Find(::FindFirstFileA(searchpattern.c_str(), &Data)), Pending(static_cast<bool>(Find)) {}

    bool Next(FINDENTRY& entry) override {
        if (!Find)
            return false;
        if (!Pending && !::FindNextFileA(Find.get(), &Data))
            return false;
        Pending = false;
        entry.Name = Data.cFileName;
        entry.IsDirectory = (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.IsLink = (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        return true;
    }

private:
    WIN32_FIND_DATAA Data = {};
    FINDHANDLE Find;
    bool Pending;
};

} // namespace

std::unique_ptr<DIRECTORYSCAN> OpenScan(const char* directory, const char* pattern) {
    STRING search(directory);
    if (search.NotEmpty() && search[search.Length() - 1] != '\\')
        search.Append("\\");
    search.Append(pattern != nullptr ? pattern : "*");
    auto scan = std::make_unique<WIN32SCAN>(search);
    return scan;
}

} // namespace OSYSFILE
