#pragma once
// The few operating-system operations the engine needs, behind one narrow seam:
// fs_posix.cpp implements them for the native build, fs_win32.cpp for Windows. Paths are UTF-8 on both.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace orvik::unzip::fs {

enum class PathKind { Missing, File, Directory, Other };

PathKind Stat(const std::string& path);

// Creates one directory; true when it exists afterwards as a directory.
bool MakeDirectory(const std::string& path);

// True when the volume holding `directory` has a FAT file system (spaces in names are then mapped to "_").
bool IsFatVolume(const std::string& directory);

// Removes the read-only protection of an existing file so that it can be replaced.
bool MakeWritable(const std::string& path);

// Sets the MS-DOS attribute bits (read-only 0x01, hidden 0x02, system 0x04, archive 0x20) where the
// platform has them.
bool SetAttributes(const std::string& path, unsigned attributes);

// An archive opened for random-access reading. Closed by the destructor.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path);
    // Reads from memory instead of a file (tests and fuzzing); `data` must outlive the object.
    void OpenMemory(const void* data, size_t size) {
        memory_ = static_cast<const uint8_t*>(data);
        size_ = size;
    }
    bool IsOpen() const { return handle_ != kInvalid || memory_; }
    uint64_t Size() const { return size_; }
    // Reads up to `length` bytes at `offset`; returns the number read (short only at the end of the file).
    size_t ReadAt(uint64_t offset, void* buffer, size_t length) const {
        if (!memory_)
            return ReadFromFile(offset, buffer, length);
        if (offset >= size_)
            return 0;
        size_t n = length < size_ - offset ? length : static_cast<size_t>(size_ - offset);
        if (n > 0)
            std::memcpy(buffer, memory_ + offset, n);
        return n;
    }

private:
    size_t ReadFromFile(uint64_t offset, void* buffer, size_t length) const;

    static constexpr intptr_t kInvalid = -1;
    intptr_t handle_ = kInvalid;
    const uint8_t* memory_ = nullptr;
    uint64_t size_ = 0;
};

// The suffix of a member's file while it is written beside its name: the name itself only ever holds what
// it held before or the complete member.
constexpr const char* kStagingSuffix = ".setup-part";

// A file created (or truncated) for writing. Closed by the destructor.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates a file that must not exist yet (one system call in the common case of a fresh install).
    bool CreateNew(const std::string& path);
    // Creates or truncates.
    bool Create(const std::string& path);
    // Creates path + kStagingSuffix instead (a leftover of an interrupted run is replaced); after Close,
    // Publish moves it over path. Unless published, the destructor deletes it.
    bool CreateStaged(const std::string& path);
    // The name being written: the staged one until Publish.
    const std::string& WrittenPath() const { return writtenPath_; }
    // Moves the closed staged file over path in one step, written through to the disk.
    bool Publish();
    bool Write(const void* data, size_t length);
    // Sets the last-write time from an MS-DOS date and time taken as local time; false if it failed.
    bool SetModificationTime(uint16_t dosDate, uint16_t dosTime);
    bool Close();
    // Platform error number of the last failure, for messages.
    int LastError() const { return lastError_; }

private:
    static constexpr intptr_t kInvalid = -1;
    intptr_t handle_ = kInvalid;
    int lastError_ = 0;
    std::string writtenPath_;
    std::string finalPath_; // of a staged file, until it is published
    uint64_t written_ = 0;
};

} // namespace orvik::unzip::fs

namespace orvik::unzip::fs {
// The platform's error number of the last failed call (errno or GetLastError), for messages.
int LastSystemError();
} // namespace orvik::unzip::fs
