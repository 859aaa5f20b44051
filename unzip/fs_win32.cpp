#include "unzip/fs.h"

#include "lib/killpoint.h"
#include "lib/textcodec.h"

#include <windows.h>

namespace orvik::unzip::fs {
namespace {

HANDLE AsHandle(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

// The engine's paths are UTF-8 whatever the process's code page; the system gets them as UTF-16.
std::wstring Wide(const std::string& path) {
    const std::u16string units = TEXTCODEC::Utf16FromUtf8(path);
    return std::wstring(units.begin(), units.end());
}

} // namespace

int LastSystemError() {
    return static_cast<int>(GetLastError());
}

PathKind Stat(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

bool MakeDirectory(const std::string& path) {
    if (CreateDirectoryW(Wide(path).c_str(), nullptr))
        return true;
    // The caller reports the reason of the failed creation, not that of the look that follows.
    const DWORD error = GetLastError();
    if (Stat(path) == PathKind::Directory)
        return true;
    SetLastError(error);
    return false;
}

bool IsFatVolume(const std::string& directory) {
    wchar_t full[MAX_PATH + 1];
    DWORD n = GetFullPathNameW(Wide(directory).c_str(), MAX_PATH + 1, full, nullptr);
    if (n == 0 || n >= MAX_PATH + 1)
        return false;
    wchar_t root[MAX_PATH + 1];
    if (!GetVolumePathNameW(full, root, MAX_PATH + 1))
        return false;
    wchar_t fileSystem[MAX_PATH + 1] = L"";
    if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH + 1))
        return false;
    return fileSystem[0] == L'F' && fileSystem[1] == L'A' && fileSystem[2] == L'T';
}

bool MakeWritable(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // Hidden and system files cannot be replaced either while they keep those attributes.
    const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (!(attributes & blocking))
        return true;
    return SetFileAttributesW(Wide(path).c_str(), attributes & ~blocking) != 0;
}

bool SetAttributes(const std::string& path, unsigned attributes) {
    // A newly written file already carries exactly the archive bit; spare the call in that common case.
    if (attributes == FILE_ATTRIBUTE_ARCHIVE)
        return true;
    return SetFileAttributesW(Wide(path).c_str(), attributes) != 0;
}

InputFile::~InputFile() {
    if (handle_ != kInvalid)
        CloseHandle(AsHandle(handle_));
}

bool InputFile::Open(const std::string& path) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    size_ = static_cast<uint64_t>(size.QuadPart);
    return true;
}

size_t InputFile::ReadFromFile(uint64_t offset, void* buffer, size_t length) const {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < length) {
        OVERLAPPED at = {};
        uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD chunk = static_cast<DWORD>(length - done > 0x40000000u ? 0x40000000u : length - done);
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), out + done, chunk, &got, &at) || got == 0)
            break;
        done += got;
    }
    return done;
}

OutputFile::~OutputFile() {
    Close();
    if (!finalPath_.empty())
        DeleteFileW(Wide(writtenPath_).c_str()); // never published: the member was not complete
}

namespace {

intptr_t CreateForWriting(const std::string& path, DWORD disposition, int& lastError) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError = static_cast<int>(GetLastError());
        return -1;
    }
    return reinterpret_cast<intptr_t>(h);
}

} // namespace

bool OutputFile::CreateNew(const std::string& path) {
    writtenPath_ = path;
    handle_ = CreateForWriting(path, CREATE_NEW, lastError_);
    return handle_ != kInvalid;
}

bool OutputFile::Create(const std::string& path) {
    writtenPath_ = path;
    handle_ = CreateForWriting(path, CREATE_ALWAYS, lastError_);
    return handle_ != kInvalid;
}

bool OutputFile::CreateStaged(const std::string& path) {
    const std::string staged = path + kStagingSuffix;
    if (!Create(staged) && !(MakeWritable(staged) && Create(staged)))
        return false;
    finalPath_ = path;
    return true;
}

bool OutputFile::Publish() {
    if (finalPath_.empty())
        return true; // not staged: already at its name
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const std::wstring from = Wide(writtenPath_), to = Wide(finalPath_);
    // A read-only or hidden file at the name refuses to be replaced until it loses those attributes.
    if (!MoveFileExW(from.c_str(), to.c_str(), flags) &&
        !(GetLastError() == ERROR_ACCESS_DENIED && Stat(finalPath_) == PathKind::File &&
          MakeWritable(finalPath_) && MoveFileExW(from.c_str(), to.c_str(), flags))) {
        lastError_ = static_cast<int>(GetLastError());
        return false;
    }
    writtenPath_ = finalPath_;
    finalPath_.clear();
    return true;
}

bool OutputFile::Write(const void* data, size_t length) {
    const auto* p = static_cast<const char*>(data);
    while (length > 0) {
        DWORD chunk = static_cast<DWORD>(length > 0x40000000u ? 0x40000000u : length);
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), p, chunk, &written, nullptr) || written == 0) {
            lastError_ = static_cast<int>(GetLastError());
            return false;
        }
        p += written;
        length -= written;
        written_ += written;
        KILLPOINT::Amount("write", written_); // tests: the process ends in the middle of a member
    }
    return true;
}

bool OutputFile::SetModificationTime(uint16_t dosDate, uint16_t dosTime) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(dosDate, dosTime, &local) || !LocalFileTimeToFileTime(&local, &utc) ||
        !SetFileTime(AsHandle(handle_), nullptr, nullptr, &utc)) {
        lastError_ = static_cast<int>(GetLastError());
        return false;
    }
    return true;
}

bool OutputFile::Close() {
    if (handle_ == kInvalid)
        return true;
    BOOL ok = CloseHandle(AsHandle(handle_));
    handle_ = kInvalid;
    if (!ok)
        lastError_ = static_cast<int>(GetLastError());
    return ok != 0;
}

} // namespace orvik::unzip::fs
