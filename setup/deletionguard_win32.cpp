#include "setup/deletionguard.h"

#include <windows.h>

#include <shlobj.h>

#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/osysfile_platform.h"
#include "lib/winhandles.h"
#include "setup/installstate.h"

namespace {

// Every shell folder that a user or the system keeps something in. Folders a system does not have are
// skipped by SystemAndUserFolders.
constexpr int GUARDED_SHELL_FOLDERS[] = {CSIDL_WINDOWS,
                                         CSIDL_SYSTEM,
                                         CSIDL_SYSTEMX86,
                                         CSIDL_PROGRAM_FILES,
                                         CSIDL_PROGRAM_FILESX86,
                                         CSIDL_PROGRAM_FILES_COMMON,
                                         CSIDL_PROGRAM_FILES_COMMONX86,
                                         CSIDL_COMMON_APPDATA,
                                         CSIDL_PROFILE,
                                         CSIDL_DESKTOPDIRECTORY,
                                         CSIDL_COMMON_DESKTOPDIRECTORY,
                                         CSIDL_PERSONAL,
                                         CSIDL_COMMON_DOCUMENTS,
                                         CSIDL_APPDATA,
                                         CSIDL_LOCAL_APPDATA,
                                         CSIDL_STARTMENU,
                                         CSIDL_COMMON_STARTMENU,
                                         CSIDL_PROGRAMS,
                                         CSIDL_COMMON_PROGRAMS,
                                         CSIDL_STARTUP,
                                         CSIDL_COMMON_STARTUP,
                                         CSIDL_MYMUSIC,
                                         CSIDL_MYPICTURES,
                                         CSIDL_MYVIDEO,
                                         CSIDL_FAVORITES,
                                         CSIDL_FONTS,
                                         CSIDL_TEMPLATES,
                                         CSIDL_SENDTO,
                                         CSIDL_RECENT,
                                         CSIDL_INTERNET_CACHE,
                                         CSIDL_COOKIES,
                                         CSIDL_HISTORY,
                                         CSIDL_NETHOOD,
                                         CSIDL_PRINTHOOD,
                                         CSIDL_ADMINTOOLS,
                                         CSIDL_COMMON_ADMINTOOLS};

void AddFolder(std::vector<STRING>& folders, const char* path) {
    if (path == nullptr || path[0] == '\0')
        return;
    folders.push_back(NormalFolder(STRING(path)));
}

STRING ReadValue(HKEY key, const char* value) {
    char text[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return STRING("");
    return STRING(text);
}

} // namespace

bool DeleteFileBelow(const STRING& folder, const STRING& name, const char* context) {
    STRING path;
    if (!JoinBelow(folder, name, &path)) {
        LogPrintf("SETUP::%s refuses to delete '%s' below '%s': the name leaves its folder\n", context,
                  name.Text(), folder.Text());
        return false;
    }
    FILENAME file;
    file = path;
    const bool deleted = file.Delete();
    LogPrintf("SETUP::%s %s: %s\n", context, file.Text(), deleted ? "deleted" : "not deleted");
    return deleted;
}

bool RemoveEmptyFolderBelow(const STRING& folder, const STRING& name, const char* context) {
    STRING path;
    if (!JoinBelow(folder, name, &path)) {
        LogPrintf("SETUP::%s refuses to remove folder '%s' below '%s': the name leaves its folder\n", context,
                  name.Text(), folder.Text());
        return false;
    }
    FILENAME directory;
    directory = path;
    const bool removed = directory.RemoveDir();
    LogPrintf("SETUP::%s folder %s: %s\n", context, directory.Text(), removed ? "removed" : "stays");
    return removed;
}

TREEVERDICT DeleteOwnedTree(const STRING& folder, const STRING& ownkey, const char* context) {
    const TREEVERDICT verdict =
        JudgeTreeDeletion(folder, SystemAndUserFolders(), OtherProductFolders(ownkey));
    if (verdict != TREEVERDICT::Allowed) {
        LogPrintf("SETUP::%s refuses to delete the tree of '%s': %s\n", context, folder.Text(),
                  TreeVerdictText(verdict));
        return verdict;
    }
    const STRING top = NormalFolder(folder);
    if (OSYSFILE::IsLink(top.Text())) {
        // A link in the product's place: the link goes, never what it points to.
        const bool removed = OSYSFILE::RemoveDir(top.Text()) || OSYSFILE::RemoveFile(top.Text());
        LogPrintf("SETUP::%s %s is a link: %s\n", context, top.Text(), removed ? "removed" : "stays");
        return verdict;
    }
    const int removed = DeleteTree(top.Text(), "*.*", true);
    LogPrintf("SETUP::%s tree %s deleted, %d folders removed\n", context, top.Text(), removed);
    return verdict;
}

std::vector<STRING> SystemAndUserFolders() {
    std::vector<STRING> folders;
    for (int csidl : GUARDED_SHELL_FOLDERS) {
        char path[MAX_PATH + 1] = {};
        if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
            AddFolder(folders, path);
    }
    char path[MAX_PATH + 1] = {};
    if (GetTempPathA(MAX_PATH, path) > 0)
        AddFolder(folders, path);
    // The registry's shell folders are what the program's own placeholders use; they may differ from the
    // shell's answer on a system whose folders were moved.
    for (const char* root : {"Shell Folders", "User Shell Folders"}) {
        const STRING key = STRING("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") || root;
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            REGKEY opened;
            if (RegOpenKeyExA(hive, key.Text(), 0, KEY_READ, opened.receive()) != ERROR_SUCCESS)
                continue;
            char name[256];
            for (DWORD i = 0;; ++i) {
                DWORD length = sizeof(name);
                if (RegEnumValueA(opened.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS)
                    break;
                char expanded[MAX_PATH + 1] = {};
                const STRING value = ReadValue(opened.get(), name);
                if (value.NotEmpty() && ExpandEnvironmentStringsA(value.Text(), expanded, MAX_PATH) > 0)
                    AddFolder(folders, expanded);
            }
        }
    }
    return folders;
}

std::vector<STRING> OtherProductFolders(const STRING& ownkey) {
    std::vector<STRING> folders;
    REGKEY branch;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_BASE_KEY, 0, KEY_READ, branch.receive()) != ERROR_SUCCESS)
        return folders;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(name);
        const LONG rc = RegEnumKeyExA(branch.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        if (ownkey.NotEmpty() && StringCompareNoCase(name, ownkey.Text()) == 0)
            continue;
        REGKEY entry;
        if (RegOpenKeyExA(branch.get(), name, 0, KEY_READ, entry.receive()) != ERROR_SUCCESS)
            continue;
        for (const char* value : {"UninstallPath", "InstallLocation"})
            AddFolder(folders, ReadValue(entry.get(), value).Text());
    }
    return folders;
}
