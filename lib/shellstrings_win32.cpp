// The shell-string table of Windows: the user's and all users' shell folders from the registry.
#include "lib/filename.h"
#include "lib/osys.h"
#include "lib/osysfile_platform.h"

namespace OSYSFILE {

namespace {

struct SHELLFOLDER {
    const char* Placeholder;
    int SystemPathType; // OSYS::GetSystemPath
};

// In this order; the table sorts them by name length afterwards.
constexpr SHELLFOLDER ShellFolders[] = {
    {"%USERPICTURES%", 7},  {"%USERHOME%", 6},     {"%USERPROFILE%", 6},     {"%USERDOCUMENTS%", 14},
    {"%USERDESKTOP%", 8},   {"%APPDATA%", 5},      {"%ALLUSERAPPDATA%", 13}, {"%ALLUSERPROFILE%", 12},
};

} // namespace

void FillShellStrings() {
    // An unreadable folder leaves its value empty (GetSystemPath reports it); expansion then skips it.
    for (const SHELLFOLDER& folder : ShellFolders) {
        const STRING value = OSYS::GetSystemPath(folder.SystemPathType);
        FILENAME::ShellStringSet(folder.Placeholder, value.NotNull() ? value.c_str() : "", 0);
    }
}

} // namespace OSYSFILE
