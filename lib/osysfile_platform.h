// The narrow seam between FILENAME and the file system: the few calls whose form differs between Windows
// (osysfile_win32.cpp) and the native build (osysfile_posix.cpp). Internal to the library.
//
// FILENAME keeps "\" as its separator on every platform, because the setup engine builds, compares and
// records names in that form. The POSIX side therefore turns every "\" into "/" at the moment it touches the
// disk (DiskPath); a "\" inside a real Linux file name cannot be reached, which the engine never needs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "lib/strings.h"

namespace OSYSFILE {

// The name as the system's file calls want it.
STRING DiskPath(const char* name);

// What the runtime library's stat call reports; times in seconds since 1970.
struct FILESTATUS {
    int64_t Size = 0;
    int64_t AccessTime = 0;
    int64_t ModTime = 0;
    int64_t ChangeTime = 0;
};
bool Stat(const char* name, FILESTATUS& status);

// Runtime library access check; on failure error receives errno.
bool Exists(const char* name, int* error);
bool IsDirectory(const char* name);
// A symbolic link, junction or other reparse point.
bool IsLink(const char* name);
bool RemoveFile(const char* name);
bool MakeDir(const char* name);
bool RemoveDir(const char* name);
// Moves a file or directory; never replaces an existing target.
bool MoveEntry(const char* from, const char* to);
// Both names reach the same file on disk (so copying or replacing one by the other would destroy it).
bool IsSameFile(const char* a, const char* b);
bool SetReadOnly(const char* name, bool readonly);
#if defined(_WIN32)
uint32_t GetAttributes(const char* name);
bool SetAttributes(const char* name, uint32_t attributes);
#endif
// Shared open with one of the FSOPEN_ share modes (ignored where the system has none).
FILE* OpenShared(const char* name, const char* mode, int share);
int FileDescriptor(FILE* file);
// Creates a new empty file with a unique name in the temporary folder (%TEMP%) and returns its name; null
// when none could be created. Creating it reserves the name against other processes.
STRING CreateUniqueTempFile();

struct FINDENTRY {
    STRING Name;
    bool IsDirectory = false;
    bool IsLink = false;
};

// One enumeration of a directory's entries matching a wildcard.
class DIRECTORYSCAN {
public:
    virtual ~DIRECTORYSCAN() = default;
    // The next matching entry; false at the end.
    virtual bool Next(FINDENTRY& entry) = 0;
};
// Null when the directory cannot be read.
std::unique_ptr<DIRECTORYSCAN> OpenScan(const char* directory, const char* pattern);

// Puts the system's shell folders into the shell-string table (through FILENAME::ShellStringSet). Windows
// reads them from the registry; the native build has none.
void FillShellStrings();

} // namespace OSYSFILE
