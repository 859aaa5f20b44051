#include "unzip/fs.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace orvik::unzip::fs {

int LastSystemError() {
    return errno;
}

PathKind Stat(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return PathKind::Missing;
    if (S_ISDIR(st.st_mode))
        return PathKind::Directory;
    if (S_ISREG(st.st_mode))
        return PathKind::File;
    return PathKind::Other;
}

bool MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && Stat(path) == PathKind::Directory;
}

bool IsFatVolume(const std::string&) {
    return false;
}

bool MakeWritable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) || ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0;
}

bool SetAttributes(const std::string&, unsigned) {
    // Hidden, system and archive have no meaning here, and the engine always clears read-only.
    return true;
}

InputFile::~InputFile() {
    if (handle_ != kInvalid)
        ::close(static_cast<int>(handle_));
}

bool InputFile::Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

size_t InputFile::ReadFromFile(uint64_t offset, void* buffer, size_t length) const {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < length) {
        ssize_t n =
            ::pread(static_cast<int>(handle_), out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

OutputFile::~OutputFile() {
    Close();
    if (!finalPath_.empty())
        ::unlink(writtenPath_.c_str()); // never published: the member was not complete
}

bool OutputFile::CreateStaged(const std::string& path) {
    if (!Create(path + kStagingSuffix))
        return false;
    finalPath_ = path;
    return true;
}

bool OutputFile::Publish() {
    if (finalPath_.empty())
        return true; // not staged: already at its name
    if (::rename(writtenPath_.c_str(), finalPath_.c_str()) != 0) {
        lastError_ = errno;
        return false;
    }
    writtenPath_ = finalPath_;
    finalPath_.clear();
    return true;
}

bool OutputFile::CreateNew(const std::string& path) {
    writtenPath_ = path;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    handle_ = fd;
    return true;
}

bool OutputFile::Create(const std::string& path) {
    writtenPath_ = path;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    handle_ = fd;
    return true;
}

bool OutputFile::Write(const void* data, size_t length) {
    const auto* p = static_cast<const char*>(data);
    while (length > 0) {
        ssize_t n = ::write(static_cast<int>(handle_), p, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            lastError_ = errno;
            return false;
        }
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::SetModificationTime(uint16_t dosDate, uint16_t dosTime) {
    // mktime consults the time-zone rules on every call; archives often share one time stamp.
    static thread_local uint32_t cachedKey = 0;
    static thread_local time_t cachedTime = 0;
    uint32_t key = (uint32_t(dosDate) << 16) | dosTime;
    time_t t;
    if (key == cachedKey && key != 0) {
        t = cachedTime;
    } else {
        struct tm tm = {};
        tm.tm_sec = (dosTime & 0x1F) * 2;
        tm.tm_min = (dosTime >> 5) & 0x3F;
        tm.tm_hour = dosTime >> 11;
        tm.tm_mday = dosDate & 0x1F;
        tm.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
        tm.tm_year = (dosDate >> 9) + 80;
        tm.tm_isdst = -1;
        t = ::mktime(&tm);
        if (t == static_cast<time_t>(-1))
            return false;
        cachedKey = key;
        cachedTime = t;
    }
    struct timespec times[2];
    times[0].tv_sec = t;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (::futimens(static_cast<int>(handle_), times) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

bool OutputFile::Close() {
    if (handle_ == kInvalid)
        return true;
    int rc = ::close(static_cast<int>(handle_));
    handle_ = kInvalid;
    if (rc != 0)
        lastError_ = errno;
    return rc == 0;
}

} // namespace orvik::unzip::fs
