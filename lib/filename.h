// FILENAME: the path type of the library. Its text always uses "\" as separator, never ends in one (except a
// bare root such as "\" or "C:\"), and shell-folder placeholders ("%APPDATA%", "~\", "$(APPDATA)", "<self>" ...)
// are expanded when a name is built from text. It carries the single-file operations of the setup engine, and
// the free functions below carry the tree operations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "lib/strings.h"

class STRINGARRAY;

// Closes a stream of FILENAME::fsopen when the owning pointer goes out of scope.
struct FILECLOSER {
    void operator()(FILE* file) const {
        if (file != nullptr)
            std::fclose(file);
    }
};
using FILEPTR = std::unique_ptr<FILE, FILECLOSER>;

// Share modes of FILENAME::fsopen (the runtime library's _SH_ values).
constexpr int FSOPEN_SHARE_DEFAULT = -1; // chosen from the mode
constexpr int FSOPEN_DENY_READWRITE = 0x10;
constexpr int FSOPEN_DENY_WRITE = 0x20;
constexpr int FSOPEN_DENY_NONE = 0x40;

class FILENAME : public STRING {
public:
    FILENAME() = default;
    // "<self>", "<tmp>"/"<temp>" (a new, already created, unique file in %TEMP%), then placeholder expansion.
    FILENAME(const char* text);
    FILENAME(const STRING& text);
    // directory "\" name, unless name is absolute; directory null or empty means ".".
    FILENAME(const char* directory, const char* name);
    // (directory "\" subdirectory) "\" name, without "\.\" parts.
    FILENAME(const char* directory, const char* subdirectory, const char* name);
    FILENAME(const FILENAME& other) = default;
    FILENAME(FILENAME&& other) noexcept = default;

    // Assignment takes the text as it is: no expansion, only "/" to "\" and no trailing "\".
    FILENAME& operator=(const char* text);
    FILENAME& operator=(const STRING& text);
    FILENAME& operator=(const FILENAME& other) = default;
    FILENAME& operator=(FILENAME&& other) noexcept = default;

    // Text after the last separator (or after a leading "X:" or "~").
    STRING Name() const;
    // Text before the last separator; "." when there is none. A root keeps its separator ("C:\", "\").
    STRING Path() const;
    bool IsAbsolute() const;
    bool IsDirectory() const;
    // Logs the reason when the file does not exist.
    bool Exists() const;
#if defined(_WIN32)
    // File attributes of Windows (INVALID_FILE_ATTRIBUTES when they cannot be read).
    uint32_t GetAttributes() const;
    bool SetAttributes(uint32_t attributes) const;
#endif
    // Sets or clears the read-only mark (Windows attribute; write permission natively).
    bool SetReadOnly(bool readonly) const;
    bool Delete() const;
    bool MakeDir() const;
    bool RemoveDir() const;
    // Size in bytes, -1 when it cannot be determined.
    int64_t Size() const;
    // Modification time in seconds since 1970 (0 when unknown), cached until refresh is asked for.
    int64_t ModTime(bool refresh = false);
    // Renames within the file's own folder: only the Name of newname is used.
    bool Rename(const char* newname, bool overwrite) const;
    // Copies the contents to target; without overwrite an existing target makes it fail.
    bool Copy(const char* target, bool overwrite) const;

    // Opens with the runtime library's shared open. share -1: deny read and write when writing ("w", "a",
    // "r+"), deny write when only reading. The caller closes the stream (FILEPTR helps).
    static FILE* fsopen(const char* path, const char* mode, int share = FSOPEN_SHARE_DEFAULT);
    // The share mode fsopen uses for mode and share.
    static int ShareModeFor(const char* mode, int share);

    // Fills the shell-string table once (from the registry on Windows; natively it starts empty).
    static void ShellStringsInit();
    // Adds or replaces the placeholder name (for example "%APPDATA%"), value a folder.
    static void ShellStringSet(const char* name, const char* value, uint32_t flags = 0);
    // Expands a placeholder at the start of text and "%USERNAME%" anywhere; "/" becomes "\" and trailing
    // separators go.
    static void ExpandShellString(STRING& text);

private:
    struct STATUSCACHE {
        bool Filled = false;
        int64_t Size = 0;
        int64_t AccessTime = 0;
        int64_t ModTime = 0;
        int64_t ChangeTime = 0;
    };

    void SetFromText(const char* text);
    void BuildJoined(const char* directory, const char* name);

    STATUSCACHE Status;
};

// A directory enumeration: the entries of a folder whose names match a wildcard pattern ("*", "?", letter
// case ignored). The pattern is a path such as "C:\dir\*.txt"; a pattern that names a directory lists all of
// its entries. "." and ".." are reported as the system reports them.
class FILEFIND {
public:
    explicit FILEFIND(const char* pattern, STRING* namereceiver = nullptr);
    ~FILEFIND();
    FILEFIND(const FILEFIND&) = delete;
    FILEFIND& operator=(const FILEFIND&) = delete;

    // Moves to the next entry; false at the end.
    bool Next();
    bool Found() const { return IsFound; }
    const STRING& Name() const { return CurrentName; }
    const FILENAME& FullPath() const { return CurrentPath; }
    bool IsDirectory() const { return CurrentIsDirectory; }
    // A symbolic link or junction: never followed by the tree operations.
    bool IsLink() const { return CurrentIsLink; }
    const FILENAME& Directory() const { return SearchDirectory; }

private:
    struct SCAN;
    void TakeEntry(bool found);

    std::unique_ptr<SCAN> Scan;
    FILENAME SearchDirectory;
    STRING CurrentName;
    FILENAME CurrentPath;
    STRING* NameReceiver;
    bool IsFound = false;
    bool CurrentIsDirectory = false;
    bool CurrentIsLink = false;
};

// Creates every missing directory along path. True when path is a directory at the end.
bool MakeDirectoryPath(const char* path);
// Counts (and appends to list, when given) the entries of directory matching pattern; with recurse the
// subdirectories too, each directory after its contents. Links to directories are listed, not entered.
int ListTree(const char* directory, const char* pattern, STRINGARRAY* list, bool recurse);
// Copies the listed entries (all below from) to the same places below to, from the last entry to the first.
// False when a copy failed; with keepexisting an existing target is left alone and is not a failure.
bool CopyTree(const char* from, const char* to, const STRINGARRAY& list, bool keepexisting);
// Deletes the listed files below directory, then the listed directories and directory itself. Returns the
// number of directories removed.
int DeleteTree(const char* directory, const char* pattern, bool recurse);
// ListTree of from, then CopyTree to to.
bool CopyDirectory(const char* from, const char* pattern, const char* to, bool recurse, bool keepexisting);
