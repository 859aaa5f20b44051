// The one guard for every deletion the setup engine makes: clean-ups after extraction, the removal of an
// uninstall, its remove-all and the settings migration all delete through these functions. A name from an
// archive, a "setup.cfg" list or the installation record is joined to its folder literally and must stay
// below it; a tree goes only when it is not, and does not hold, a folder of the system, of the user or of
// another product. Every refusal is logged with its reason.
#pragma once

#include <vector>

#include "lib/ownedpath.h"
#include "lib/strings.h"

// Deletes the file folder\name. A name that would leave folder is refused; context names the caller in the
// log. True when the file was deleted.
bool DeleteFileBelow(const STRING& folder, const STRING& name, const char* context);

// Removes the folder folder\name when it is empty (the system refuses otherwise). True when it was removed.
bool RemoveEmptyFolderBelow(const STRING& folder, const STRING& name, const char* context);

// Deletes everything in folder and folder itself, never following links, when JudgeTreeDeletion allows it
// against the system's and the user's folders and the install folders of every other product (the uninstall
// entries other than ownkey). Returns the verdict; the tree is touched only when it is Allowed.
TREEVERDICT DeleteOwnedTree(const STRING& folder, const STRING& ownkey, const char* context);

// The folders that belong to the system or the user: Windows and system folders, the program-files and
// common-files folders, the common application-data folder, the user profile and every shell folder
// (desktop, documents, application data, start menu, programs, temporary folder ...), each without a
// trailing separator. The ones the system cannot name are left out.
std::vector<STRING> SystemAndUserFolders();

// The install folders that the uninstall entries of other products record ("UninstallPath", and the
// standard "InstallLocation"), every entry except ownkey.
std::vector<STRING> OtherProductFolders(const STRING& ownkey);
