// Drive R:, the 8 MB tmpfs that the small_drive fixture mounts (tests/common/small_drive.sh), as the tests
// of a destination without enough space use it: emptied, then filled with real data until exactly the free
// space a test asks for is left. The figures are the system's own; nothing is faked.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace smalldrive {

constexpr const char* ROOT = "R:\\";
constexpr uint64_t MAX_SIZE = 16 * 1024 * 1024;

inline uint64_t FreeBytes() {
    ULARGE_INTEGER available = {}, total = {}, free = {};
    return GetDiskFreeSpaceExA(ROOT, &available, &total, &free) ? available.QuadPart : 0;
}

// Why R: is not the small drive, empty when it is.
inline std::string Missing() {
    ULARGE_INTEGER available = {}, total = {}, free = {};
    if (!GetDiskFreeSpaceExA(ROOT, &available, &total, &free))
        return "no drive R: (the small_drive fixture did not run)";
    if (total.QuadPart > MAX_SIZE)
        return "R: has " + std::to_string(total.QuadPart) + " bytes: the fixture could not mount its tmpfs";
    return "";
}

// Everything on R: removed.
inline void Clear() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(ROOT, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

// A file of real data (a tmpfs does not allocate the holes of a sparse file) that leaves exactly free bytes
// (a multiple of the 4 KB page) free on R:; it can be shortened later to free some space.
class FILLER {
public:
    explicit FILLER(uint64_t free) {
        const uint64_t now = FreeBytes();
        Size = now > free ? now - free : 0;
        Handle = CreateFileA(Path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        const std::vector<char> block(64 * 1024, 'f');
        for (uint64_t written = 0; written < Size;) {
            const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(block.size(), Size - written));
            DWORD done = 0;
            if (!WriteFile(Handle, block.data(), chunk, &done, nullptr) || done == 0)
                break;
            written += done;
        }
        FlushFileBuffers(Handle);
    }
    ~FILLER() {
        CloseHandle(Handle);
        DeleteFileA(Path);
    }
    FILLER(const FILLER&) = delete;
    FILLER& operator=(const FILLER&) = delete;

    // Gives bytes back to the drive.
    void Shorten(uint64_t bytes) {
        Size = Size > bytes ? Size - bytes : 0;
        LARGE_INTEGER end = {};
        end.QuadPart = static_cast<LONGLONG>(Size);
        SetFilePointerEx(Handle, end, nullptr, FILE_BEGIN);
        SetEndOfFile(Handle);
        FlushFileBuffers(Handle);
    }

private:
    static constexpr const char* Path = "R:\\filler.bin";
    HANDLE Handle = INVALID_HANDLE_VALUE;
    uint64_t Size = 0;
};

} // namespace smalldrive

// Skips the test (with the reason) unless R: is the small drive; empties it otherwise.
#define REQUIRE_SMALL_DRIVE()                                                                                \
    do {                                                                                                     \
        const std::string missing = smalldrive::Missing();                                                   \
        if (!missing.empty())                                                                                \
            GTEST_SKIP() << missing;                                                                         \
        smalldrive::Clear();                                                                                 \
    } while (false)
