// Paths the program may delete. Names that come from archives, configuration lists and the installation
// record are joined to their folder literally (no placeholder expansion) and must stay below it; whole trees
// are deleted only when they are not, and do not hold, a folder that belongs to the system, the user or
// another product. The platform supplies the folders (setup/deletionguard); the decisions live here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lib/canonicalpath.h"
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

// IsAtOrBelow on the canonical forms through the platform's seam: the folders as Windows resolves them, links
// followed. False when either has none.
bool ResolvesAtOrBelow(const STRING& path, const STRING& folder);

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
    Unresolved,   // the folder it finally is cannot be determined
};
const char* TreeVerdictText(TREEVERDICT verdict);

// How much of the file system a protected folder keeps from the program.
enum class GUARDKIND {
    Folder, // the folder itself and every folder that holds it (a product may live below it)
    Tree,   // the folder, what holds it and everything below it (the system's folder, other users' profiles)
};

// The judge of every folder the program installs into or deletes as a tree. It compares canonical forms
// (lib/canonicalpath.h) only: the protected folders and the products' folders are made canonical when they
// are added, a judged folder when it is judged, so that no spelling of a folder is taken for another one.
class FOLDERGUARD {
public:
    explicit FOLDERGUARD(const PATHSYSTEM& system = SystemPaths()) : SystemSeam(&system) {}

    // A folder whose canonical form cannot be computed is protected in the form its text gives, or not at
    // all when it names no absolute path.
    void Protect(std::u16string_view folder, GUARDKIND kind);
    // The install folder of another product: a tree that holds it is not deleted.
    void AddProduct(std::u16string_view folder);

    // The decision for deleting the tree of folder: it may be neither a protected folder, nor hold one, nor
    // lie in a protected tree, nor hold another product. canonical receives the folder that was judged,
    // which is the one to delete.
    TREEVERDICT JudgeTree(std::u16string_view folder, std::u16string* canonical = nullptr) const;
    // The decision for a destination folder: like JudgeTree, except that a drive root is allowed (a product
    // may be installed there) and other products do not count (an update goes into its own folder).
    TREEVERDICT JudgeDestination(std::u16string_view folder, std::u16string* canonical = nullptr) const;

    const PATHSYSTEM& System() const { return *SystemSeam; }

private:
    TREEVERDICT Resolve(std::u16string_view folder, std::u16string* canonical) const;
    bool IsProtected(const std::u16string& canonical) const;

    const PATHSYSTEM* SystemSeam;
    std::vector<std::pair<std::u16string, GUARDKIND>> Guarded;
    std::vector<std::u16string> Products;
};

// FOLDERGUARD's decisions through the platform's seam, for lists of folders in the program's 8-bit text:
// protectedfolders are guarded as GUARDKIND::Folder, otherproducts as products.
TREEVERDICT JudgeTreeDeletion(const STRING& folder, const std::vector<STRING>& protectedfolders,
                              const std::vector<STRING>& otherproducts);

// The decision for a destination folder: like JudgeTreeDeletion against the protected folders, except that a
// bare drive root is allowed (a product may be installed there) and other products do not count.
TREEVERDICT JudgeDestination(const STRING& folder, const std::vector<STRING>& protectedfolders);

// The folder of the program a command line or an icon reference names with its full path
// ("\"C:\App\un.exe\" /S", "C:\App\app.exe,0", "C:\App\un.exe /S"); empty when it names none.
std::u16string ProgramFolderOf(std::u16string_view command);
