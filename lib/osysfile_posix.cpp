// File-system seam of the native build. FILENAME texts use "\"; every call here turns it into "/" first.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/osysfile_platform.h"

namespace OSYSFILE {

STRING DiskPath(const char* name) {
    STRING path(name);
    char* p = path.GetBuffer();
    for (int i = 0; p != nullptr && i < path.Length(); ++i)
        if (p[i] == '\\')
            p[i] = '/';
    return path;
}

bool Stat(const char* name, FILESTATUS& status) {
    struct stat st;
    if (::stat(DiskPath(name).c_str(), &st) != 0)
        return false;
    status.Size = st.st_size;
    status.AccessTime = st.st_atime;
    status.ModTime = st.st_mtime;
    status.ChangeTime = st.st_ctime;
    return true;
}

bool Exists(const char* name, int* error) {
    if (::access(DiskPath(name).c_str(), F_OK) == 0)
        return true;
    if (error != nullptr)
        *error = errno;
    return false;
}

bool IsDirectory(const char* name) {
    struct stat st;
    return ::stat(DiskPath(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const char* name) {
    struct stat st;
    return ::lstat(DiskPath(name).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool RemoveFile(const char* name) { return ::unlink(DiskPath(name).c_str()) == 0; }

bool MakeDir(const char* name) { return ::mkdir(DiskPath(name).c_str(), 0777) == 0; }

bool RemoveDir(const char* name) { return ::rmdir(DiskPath(name).c_str()) == 0; }

bool MoveEntry(const char* from, const char* to) {
    // rename() would silently replace the target; the Windows move never does.
    const STRING target = DiskPath(to);
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(DiskPath(from).c_str(), target.c_str()) == 0;
}

bool IsSameFile(const char* a, const char* b) {
    struct stat sa;
    struct stat sb;
    return ::stat(DiskPath(a).c_str(), &sa) == 0 && ::stat(DiskPath(b).c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool SetReadOnly(const char* name, bool readonly) {
    const STRING path = DiskPath(name);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    mode = readonly ? (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return ::chmod(path.c_str(), mode) == 0;
}

// POSIX has no share modes; the open itself is the same.
FILE* OpenShared(const char* name, const char* mode, int /*share*/) {
    return std::fopen(DiskPath(name).c_str(), mode);
}

int FileDescriptor(FILE* file) { return ::fileno(file); }

STRING CreateUniqueTempFile() {
    const char* folder = std::getenv("TEMP");
    if (folder == nullptr || folder[0] == '\0')
        folder = std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] == '\0')
        folder = "/tmp";
    STRING name = DiskPath(folder);
    name.Append("/orvXXXXXX");
    const int fd = ::mkstemp(name.GetBuffer());
    if (fd < 0)
        return STRING();
    ::close(fd);
    return name;
}

namespace {

struct DIRCLOSER {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

class POSIXSCAN : public DIRECTORYSCAN {
public:
    POSIXSCAN(DIR* dir, STRING folder, STRING pattern)
        : Dir(dir), Folder(std::move(folder)), Pattern(std::move(pattern)) {}

    bool Next(FINDENTRY& entry) override {
        while (const dirent* found = ::readdir(Dir.get())) {
            // Windows wildcards ignore letter case.
            if (::fnmatch(Pattern.c_str(), found->d_name, FNM_CASEFOLD) != 0)
                continue;
            const STRING full = Folder || "/" || found->d_name;
            struct stat st;
            entry.Name = found->d_name;
            entry.IsDirectory = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            entry.IsLink = ::lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
            return true;
        }
        return false;
    }

private:
    std::unique_ptr<DIR, DIRCLOSER> Dir;
    STRING Folder;
    STRING Pattern;
};

} // namespace

std::unique_ptr<DIRECTORYSCAN> OpenScan(const char* directory, const char* pattern) {
    STRING folder = DiskPath(directory);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return nullptr;
    // "*.*" means every entry on Windows, also those without a dot.
    STRING wildcard(pattern != nullptr && std::strcmp(pattern, "*.*") != 0 ? pattern : "*");
    return std::make_unique<POSIXSCAN>(dir, std::move(folder), std::move(wildcard));
}

// The native build has no shell folders: placeholders come only from FILENAME::ShellStringSet.
void FillShellStrings() {}

} // namespace OSYSFILE
