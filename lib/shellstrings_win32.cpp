// The shell-string table of Windows: the user's and all users' shell folders from the registry.
#include "lib/filename.h"
#include "lib/osys.h"
#include "lib/osysfile_platform.h"

namespace OSYSFILE {

namespace {

struct SHELLFOLDER {
    const char* Placeholder;
    OSYS::SYSTEMPATH SystemPathType;
};

// In this order; the table sorts them by name length afterwards.
constexpr SHELLFOLDER ShellFolders[] = {
    {"%USERPICTURES%", OSYS::SYSTEMPATH_PICTURES},
    {"%USERHOME%", OSYS::SYSTEMPATH_DOCUMENTS},
    {"%USERPROFILE%", OSYS::SYSTEMPATH_DOCUMENTS},
    {"%USERDOCUMENTS%", OSYS::SYSTEMPATH_DOCUMENTS_14},
    {"%USERDESKTOP%", OSYS::SYSTEMPATH_DESKTOP},
    {"%APPDATA%", OSYS::SYSTEMPATH_APPDATA},
    {"%ALLUSERAPPDATA%", OSYS::SYSTEMPATH_COMMON_APPDATA},
    {"%ALLUSERPROFILE%", OSYS::SYSTEMPATH_COMMON_DOCUMENTS},
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
