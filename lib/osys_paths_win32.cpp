// OS services on Windows: the current folder, the program's path and the shell folders.
#include <windows.h>

#include <cstdio>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/osys_win32.h"
#include "lib/winhandles.h"

namespace {

const char* const ShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Where the system keeps a shell folder: the value of a key in the user's or in the machine's hive.
struct SHELLFOLDER {
    OSYS::SYSTEMPATH Type;
    bool Machine;
    const char* Key;
    const char* Value;
};

constexpr SHELLFOLDER Folders[] = {
    {OSYS::SYSTEMPATH_PROGRAMS, false, ShellFolders, "Programs"},
    {OSYS::SYSTEMPATH_STARTUP, false, ShellFolders, "Startup"},
    {OSYS::SYSTEMPATH_PROGRAMFILES, true, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"},
    {OSYS::SYSTEMPATH_APPDATA, false, ShellFolders, "AppData"},
    {OSYS::SYSTEMPATH_DOCUMENTS, false, ShellFolders, "Personal"},
    {OSYS::SYSTEMPATH_DOCUMENTS_14, false, ShellFolders, "Personal"},
    {OSYS::SYSTEMPATH_DOCUMENTS_18, false, ShellFolders, "Personal"},
    {OSYS::SYSTEMPATH_PICTURES, false, ShellFolders, "My Pictures"},
    {OSYS::SYSTEMPATH_DESKTOP, false, ShellFolders, "Desktop"},
    {OSYS::SYSTEMPATH_SENDTO, false, ShellFolders, "SendTo"},
    {OSYS::SYSTEMPATH_COMMON_PROGRAMS, true, ShellFolders, "Common Programs"},
    {OSYS::SYSTEMPATH_COMMON_STARTUP, true, ShellFolders, "Common Startup"},
    {OSYS::SYSTEMPATH_COMMON_DOCUMENTS, true, ShellFolders, "Common Documents"},
    {OSYS::SYSTEMPATH_COMMON_APPDATA, true, ShellFolders, "Common AppData"},
};

const SHELLFOLDER* FolderOf(int type) {
    for (const SHELLFOLDER& folder : Folders)
        if (folder.Type == type)
            return &folder;
    return nullptr;
}

} // namespace

namespace OSYS {

STRING GetCurrentDir() {
    char dir[MAX_PATH] = {};
    DWORD n = GetCurrentDirectoryA(sizeof(dir), dir);
    return (n == 0 || n >= sizeof(dir)) ? STRING() : STRING(dir);
}

bool SetCurrentDir(const char* path) {
    return path != nullptr && SetCurrentDirectoryA(path) != FALSE;
}

STRING GetModulePath() {
    char path[1024] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    return (n == 0 || n >= sizeof(path)) ? STRING() : STRING(path);
}

STRING GetSystemPath(int type) {
    const SHELLFOLDER* folder = FolderOf(type);
    if (folder == nullptr) {
        Assert(false, "FALSE", __FILE__, __LINE__, nullptr, false);
        return STRING();
    }
    REGKEY opened;
    BINARY data;
    DWORD valueType = 0;
    LONG rc = RegOpenKeyExA(folder->Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, folder->Key, 0,
                            KEY_READ, opened.receive());
    if (rc == ERROR_SUCCESS)
        rc = OSYSWIN::QueryValue(opened.get(), folder->Value, &valueType, data);
    if (rc != ERROR_SUCCESS || (valueType != REG_SZ && valueType != REG_EXPAND_SZ)) {
        char info[64];
        std::snprintf(info, sizeof(info), "GetSystemPath %d", type);
        Assert(false, "rc==ERROR_SUCCESS", __FILE__, __LINE__, info, true);
        return STRING();
    }
    data.Append("", 1); // the value need not be terminated
    char expanded[1024] = {};
    DWORD n =
        ExpandEnvironmentStringsA(reinterpret_cast<const char*>(data.Data()), expanded, sizeof(expanded));
    STRING path(n > 0 && n <= sizeof(expanded) ? expanded : reinterpret_cast<const char*>(data.Data()));
    if (path.Length() == 0 || path[path.Length() - 1] != '\\')
        path.Append("\\");
    return path;
}

} // namespace OSYS
