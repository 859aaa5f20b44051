// The bundle's unpacking folder: a new folder below TEMP that only the current user, Administrators and
// SYSTEM may write to, so that nobody else can put a library beside the setup.exe that runs from it; and its
// removal afterwards, which never follows a link out of it.
#pragma once

#include <string>

// The new folder's full path (TEMP\<prefix><suffix>, made by CreatePrivateFolder of the library); empty
// when none could be made. A name that already exists is never taken over: the folder is new or there is
// none.
std::wstring CreatePrivateTempFolder(const char* prefix);

// Deletes folder and everything in it. Links inside are removed as links; what cannot be deleted now (a file
// still in use) goes at the next restart. True when the folder is gone.
bool DeleteFolderTree(const std::wstring& folder);
