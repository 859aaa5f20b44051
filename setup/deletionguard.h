// The one guard for every deletion the setup engine makes: clean-ups after extraction, the removal of an
// uninstall, its remove-all and the settings migration all delete through these functions. A name from an
// archive, a "setup.cfg" list or the installation record is joined to its folder literally and must stay
// below it; a tree goes only when it is not, and does not hold, a folder of the system, of the user or of
// another product, judged by the folder Windows finally resolves it to (lib/canonicalpath.h). Every refusal
// is logged with its reason.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "lib/ownedpath.h"
#include "lib/strings.h"

// Deletes the file folder\name. A name that would leave folder is refused, and so is one that a link on the
// way leads out of it; context names the caller in the log. True when the file was deleted.
bool DeleteFileBelow(const STRING& folder, const STRING& name, const char* context);

// Removes the folder folder\name when it is empty (the system refuses otherwise), with the same refusals.
// True when it was removed.
bool RemoveEmptyFolderBelow(const STRING& folder, const STRING& name, const char* context);

// Deletes everything in folder and folder itself when the system's guard (SystemGuard with the products of
// every uninstall entry except ownkey) allows it. Links, junctions and mount points below it are removed as
// links and never entered; every folder is judged again, by what it finally is, right before it is emptied;
// names beginning with "." are the product's like any other. When folder itself is a link, only the link
// goes. Returns the verdict; the tree is touched only when it is Allowed. complete (when given) is set when
// the tree was allowed and nothing of it is left.
TREEVERDICT DeleteOwnedTree(const STRING& folder, const STRING& ownkey, const char* context,
                            bool* complete = nullptr);

// True when folder, in whatever spelling, names a folder that is there; also when what it names cannot be
// determined (nobody can tell it is gone). False for an empty text.
bool FolderRemains(const STRING& folder);

// The guard of this system: the system's and the user's folders, and (withproducts) the install folders of
// every other product, those of the uninstall entry ownkey left out.
FOLDERGUARD SystemGuard(const STRING& ownkey, bool withproducts);

// The verdict on the tree of folder as DeleteOwnedTree judges it, without deleting anything.
TREEVERDICT JudgeOwnedTree(const STRING& folder, const STRING& ownkey);

// The verdict on folder as a destination (SystemGuard without products). canonical (when given) receives
// the folder it finally names.
TREEVERDICT JudgeDestinationFolder(const STRING& folder, STRING* canonical = nullptr);

// The folders that belong to the system or the user: the Windows folder and its whole tree, the
// program-files folders of both views with their shared folders, ProgramData, the folder of the users'
// profiles, the current user's profile and every shell folder (desktop, documents, application data, start
// menu, temporary folder ...), and every other user's profile with its whole tree. The ones the system
// cannot name are left out.
std::vector<std::pair<std::u16string, GUARDKIND>> SystemAndUserFolders();

// The install folders that the uninstall entries of other products record, in the 64-bit and 32-bit views
// of the machine's entries and in the current user's: "UninstallPath", "InstallLocation", and the folder of
// a program named with its full path by "UninstallString" or "DisplayIcon". Every entry except the machine
// entry ownkey.
std::vector<std::u16string> OtherProductFolders(const STRING& ownkey);
