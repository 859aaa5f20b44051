// The one form of a path that every judgement about folders compares: many texts name one folder on Windows
// ("C:/Program Files", "C:\Program Files.", "\\?\C:\Program Files", "\\localhost\C$\Program Files",
// "C:\PROGRA~1", a junction pointing there), and a guard that compares texts lets all of them through.
//
// The canonical form is the full path as Windows resolves it: drive form ("C:\...") or a share
// ("\\server\share\..."), "\" as separator, no "." or ".." or doubled separators, no trailing dots and blanks
// on any component, no trailing separator except for a drive root; the part of the path that exists is
// replaced by the system's own name for it (short names expanded, links, junctions and mount points followed
// to their target). Texts are UTF-16 throughout: no conversion to the 8-bit code page can turn a name into
// another one.
#pragma once

#include <string>
#include <string_view>

// What the system knows about the paths on its disks: the seam between the canonical form and the platform
// (canonicalpath_win32.cpp; natively a seam that knows no disk, and tests give their own).
class PATHSYSTEM {
public:
    virtual ~PATHSYSTEM() = default;
    // The full path of an absolute path as the system's own parser makes it (GetFullPathNameW); false when
    // it cannot.
    virtual bool FullPath(const std::u16string& path, std::u16string* full) const = 0;
    // True when something exists at path (a link counts, whatever it points to).
    virtual bool Exists(const std::u16string& path) const = 0;
    // For an existing path: its name with short (8.3) names expanded (GetLongPathNameW).
    virtual bool LongPath(const std::u16string& path, std::u16string* longpath) const = 0;
    // For an existing path: the path of what it finally is, links followed (GetFinalPathNameByHandleW). May
    // come back with a "\\?\" prefix.
    virtual bool FinalPath(const std::u16string& path, std::u16string* finalpath) const = 0;
    // True when server (of "\\server\share") is this computer by one of its names.
    virtual bool IsThisComputer(const std::u16string& server) const = 0;
};

// The platform's seam.
const PATHSYSTEM& SystemPaths();

// The text part of the canonical form, without looking at any disk: prefixes and administrative shares of
// this computer reduced to the drive form, separators, "." and ".." resolved, trailing dots and blanks
// dropped. False for a path that is not absolute (relative, "C:name", "\name"), that holds a wildcard, a
// stream (":" after the drive), a control character, a device name or a component of only dots, or that
// names a share of this computer other than a drive's administrative share (which folder that is, no text
// tells).
bool ParsePathText(std::u16string_view text, const PATHSYSTEM& system, std::u16string* parsed);

// The canonical form of text; false when it cannot be computed (the path is then refused by every guard).
bool CanonicalPath(std::u16string_view text, const PATHSYSTEM& system, std::u16string* canonical);
bool CanonicalPath(std::u16string_view text, std::u16string* canonical);

// True when two canonical paths name one folder, or path lies below folder: whole components, letter case
// ignored as the file system ignores it.
bool CanonicalAtOrBelow(std::u16string_view path, std::u16string_view folder);

// True for a canonical drive root ("C:\") or share root ("\\server\share").
bool IsCanonicalRoot(std::u16string_view path);
