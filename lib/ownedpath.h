// Paths the program may delete. Names that come from archives, configuration lists and the installation
// record are joined to their folder literally (no placeholder expansion) and must stay below it; whole trees
// are deleted only when they are not, and do not hold, a folder that belongs to the system, the user or
// another product. The platform supplies the folders (setup/deletionguard); the decisions live here.
#pragma once

#include <vector>

#include "lib/strings.h"

// True when name, joined to any folder, names something below that folder: not empty, relative (no drive,
// share or leading separator), no ":" (drives, streams), no wildcard, no component made only of dots and
// blanks (Windows resolves ".." and drops trailing dots and blanks) and no device name (CON, NUL, COM1 ...,
// with or without extension). "." components are allowed and dropped by JoinBelow.
bool IsNameBelow(const char* name);

// folder "\" name with "/" turned into "\" and "." components dropped; no placeholder is expanded. False,
// with result untouched, when name fails IsNameBelow or folder is empty.
bool JoinBelow(const STRING& folder, const STRING& name, STRING* result);

// The folder in the form the comparisons use: "/" as "\", no trailing separator except for a drive root
// ("C:\").
STRING NormalFolder(const STRING& folder);

// True when path is folder itself or lies below it, comparing whole components and ignoring letter case.
bool IsAtOrBelow(const STRING& path, const STRING& folder);

// True when two file names are the same for the file system: letter case is ignored beyond ASCII too.
bool SameFileName(const STRING& a, const STRING& b);

// True when some component of path is ".." (or what the system reads as such): the text then names another
// folder than it seems to, and no textual comparison can place it.
bool HasParentComponent(const STRING& path);

// A drive root ("C:", "C:\"), a share root ("\\server\share"), a bare "\" or an empty text.
bool IsRootFolder(const STRING& folder);

// Why a folder may not be deleted as a tree; Allowed when it may.
enum class TREEVERDICT {
    Allowed,
    Root,         // a drive or share root, or no folder at all
    Relative,     // not a full path: what it names depends on the current folder
    Protected,    // a folder of the system or the user, or an ancestor of one
    OtherProduct, // another product is installed at or below it
};
const char* TreeVerdictText(TREEVERDICT verdict);

// The decision for deleting the tree of folder: protectedfolders are the system's and the user's folders
// (the folder may be neither one of them nor an ancestor of one); otherproducts are the install folders of
// other products (none may lie at or below the folder).
TREEVERDICT JudgeTreeDeletion(const STRING& folder, const std::vector<STRING>& protectedfolders,
                              const std::vector<STRING>& otherproducts);

// The decision for a destination folder: like JudgeTreeDeletion against the protected folders, except that a
// bare drive root is allowed (a product may be installed there) and other products do not count.
TREEVERDICT JudgeDestination(const STRING& folder, const std::vector<STRING>& protectedfolders);
