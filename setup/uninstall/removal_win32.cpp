// REMOVAL: the removal of an installation and its steps.
#include "setup/uninstall/removal.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "lib/filename.h"
#include "lib/firewall/firewall.h"
#include "lib/killpoint.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "lib/textcodec.h"
#include "lib/winhandles.h"
#include "setup/deletionguard.h"
#include "setup/filetypeguard.h"
#include "setup/interaction.h"
#include "setup/productservice.h"
#include "setup/record/installrecord.h"
#include "setup/record/recovery.h"
#include "setup/res/messages.h"
#include "setup/setuphooks.h"
#include "setup/uninstall/uninstall.h"

namespace {

STRING ReadList(REGISTRY& entry, const char* value) {
    STRING text;
    if (!entry.Read(value, text) || text.c_str() == nullptr)
        return STRING("");
    return STRING(text.c_str());
}

// A shell folder without its trailing separator; empty when the system cannot name it.
STRING ShellFolder(OSYS::SYSTEMPATH type) {
    return NormalFolder(OSYS::GetSystemPath(type));
}

// The folder part of a relative name ("Tools\\Sync" -> "Tools"); empty when it has none.
STRING ParentPart(const STRING& name) {
    for (int i = name.Length() - 1; i >= 0; --i) {
        if (name[i] == '\\' || name[i] == '/')
            return name.Left(i);
    }
    return STRING("");
}

// Removes the folders (names below root) that are empty now, the deepest first, each once.
void RemoveEmptiedFolders(const STRING& root, std::vector<STRING> folders) {
    std::sort(folders.begin(), folders.end(), [](const STRING& a, const STRING& b) {
        return a.Length() != b.Length() ? a.Length() > b.Length()
                                        : StringCompareNoCase(a.Text(), b.Text()) < 0;
    });
    for (size_t i = 0; i < folders.size(); ++i) {
        if (i > 0 && StringCompareNoCase(folders[i].Text(), folders[i - 1].Text()) == 0)
            continue;
        RemoveEmptyFolderBelow(root, folders[i], "RemoveInstallation");
    }
}

STRING NamePart(const STRING& entry) {
    int cut = -1;
    for (int i = 0; i < entry.Length(); ++i) {
        if (entry[i] == '\\' || entry[i] == '/')
            cut = i;
    }
    return entry.Mid(cut + 1);
}

// True when something of the tree is left: the guard refused it and it is there, or it let it go and not
// all of it could be removed.
bool RemoveTreeOfProduct(const STRING& folder, const STRING& keyname, const char* what) {
    LogPrintf("SETUP::RemoveInstallation remove-all: %s %s\n", what, folder.Text());
    bool complete = false;
    if (DeleteOwnedTree(folder, keyname, "RemoveInstallation", &complete) == TREEVERDICT::Allowed)
        return !complete;
    return FolderRemains(folder);
}

// The key below HKEY_CLASSES_ROOT that a key path begins with.
STRING TopKey(const STRING& path) {
    const int cut = path.Pos("\\");
    return cut < 0 ? path : path.Left(cut);
}

} // namespace

REMOVALRECORD ReadRemovalRecord(const STRING& keyname) {
    REMOVALRECORD record;
    if (keyname.IsEmpty())
        return record;
    REGISTRY entry(REGISTRY::LocalMachine(), UNINSTALL_BASE_KEY, keyname.Text(), REGISTRY::MODE_READ);
    record.Files = ReadList(entry, "UninstallFiles");
    record.Startmenu = ReadList(entry, "UninstallStartmenu");
    record.StartmenuFiles = ReadList(entry, "UninstallStartmenuFiles");
    record.DesktopFiles = ReadList(entry, "UninstallDesktopFiles");
    record.Protect = ReadList(entry, "UninstallProtect");
    record.RootClasses = ReadList(entry, "UninstallRootClasses");
    record.RootValues = ReadList(entry, "UninstallRootValues");
    record.Firewall = ReadList(entry, "UninstallFirewall");
    return record;
}

bool IsProtectedFile(const STRING& entry, const STRING& protectlist) {
    const STRING name = NamePart(entry);
    for (const STRING& protectedname : ListFields(protectlist)) {
        if (SameFileName(protectedname, name))
            return true;
    }
    return false;
}

const char* VendorFor(const STRING& keyname) {
    return keyname.Length() >= 10 && StringCompareNoCase(keyname.Left(10).Text(), "Corvantide") == 0
               ? "Pelov"
               : "Orvik";
}

bool IsSystemClassKey(const STRING& name) {
    if (name.IsEmpty() || name.Find("\\") || name.Find("/"))
        return true;
    return IsSystemFileType(name);
}

PROGRAMGROUP ProgramGroupFor(const STRING& recorded, const STRING& userprograms,
                             const STRING& commonprograms) {
    PROGRAMGROUP group;
    if (recorded.IsEmpty() || HasParentComponent(recorded)) {
        LogPrintf("SETUP::RemoveInstallation program group '%s' is no folder of a program menu: left alone\n",
                  recorded.Text());
        return group;
    }
    for (const STRING& menu : {userprograms, commonprograms}) {
        if (menu.IsEmpty() || !ResolvesAtOrBelow(recorded, menu) || IsRootFolder(menu))
            continue;
        group.Folder = NormalFolder(recorded);
        group.MayRemoveFolder = !ResolvesAtOrBelow(menu, recorded);
        return group;
    }
    LogPrintf("SETUP::RemoveInstallation program group %s lies outside the program menus: left alone\n",
              recorded.Text());
    return group;
}

int RemoveRecordedFiles(const STRING& installpath, const REMOVALRECORD& record) {
    int deleted = 0;
    std::vector<STRING> folders;
    for (const STRING& entry : ListFields(record.Files)) {
        for (STRING folder = ParentPart(entry); folder.NotEmpty(); folder = ParentPart(folder))
            folders.push_back(folder);
        if (IsProtectedFile(entry, record.Protect)) {
            LogPrintf("SETUP::RemoveInstallation %s is protected\n", entry.Text());
            continue;
        }
        deleted += DeleteFileBelow(installpath, entry, "RemoveInstallation") ? 1 : 0;
        KILLPOINT::Count("removal"); // tests: in the middle of the removal
    }
    // The product's folders go too once nothing is left in them, the deepest first; a folder that still
    // holds a protected file or one of the user's stays.
    RemoveEmptiedFolders(installpath, folders);
    return deleted;
}

int CountRecordedLeftovers(const STRING& installpath, const REMOVALRECORD& record) {
    int left = 0;
    for (const STRING& entry : ListFields(record.Files)) {
        STRING path;
        if (IsProtectedFile(entry, record.Protect) || !JoinBelow(installpath, entry, &path))
            continue;
        if (FILENAME(path).Exists()) {
            LogPrintf("SETUP::RemoveInstallation %s is still there\n", path.Text());
            ++left;
        }
    }
    return left;
}

void RemoveProgramGroup(const PROGRAMGROUP& group, const STRING& linknames) {
    if (group.Folder.IsEmpty() || !FILENAME(group.Folder).IsDirectory())
        return;
    std::vector<STRING> subfolders;
    for (const STRING& name : ListFields(linknames)) {
        DeleteFileBelow(group.Folder, name || ".LNK", "RemoveInstallation");
        DeleteFileBelow(group.Folder, name || ".URL", "RemoveInstallation");
        // The sub-folders the shortcut step made for such links go too once they are empty, the deepest
        // first; else the group folder could never be empty again.
        for (STRING folder = ParentPart(name); folder.NotEmpty(); folder = ParentPart(folder))
            subfolders.push_back(folder);
    }
    RemoveEmptiedFolders(group.Folder, subfolders);
    if (group.MayRemoveFolder) {
        FILENAME folder;
        folder = group.Folder;
        const bool removed = folder.RemoveDir();
        LogPrintf("SETUP::RemoveInstallation program group %s: %s\n", folder.Text(),
                  removed ? "removed" : "stays");
    }
}

void RemoveDesktopLinks(const STRING& desktop, const STRING& linknames) {
    if (desktop.IsEmpty())
        return;
    for (const STRING& name : ListFields(linknames))
        DeleteFileBelow(desktop, name || ".LNK", "RemoveInstallation");
}

bool IsStandardDataFolder(const STRING& datadir, const STRING& keyname, const STRING& userappdata,
                          const STRING& commonappdata) {
    const STRING product = STRING(VendorFor(keyname)) || "\\" || keyname;
    std::u16string judged;
    if (!CanonicalPath(TEXTCODEC::ToWide(datadir.NotNull() ? datadir.Text() : ""), &judged))
        return false;
    for (const STRING& appdata : {userappdata, commonappdata}) {
        STRING standard;
        std::u16string canonical;
        if (JoinBelow(appdata, product, &standard) &&
            CanonicalPath(TEXTCODEC::ToWide(standard.Text()), &canonical) &&
            TEXTCODEC::FoldCase(canonical) == TEXTCODEC::FoldCase(judged))
            return true;
    }
    return false;
}

REMOVEALLRESULT RemoveAllData(const STRING& keyname, const STRING& installpath) {
    REMOVEALLRESULT result;
    result.InstallTreeLeft = RemoveTreeOfProduct(installpath, keyname, "install folder");

    const char* vendor = VendorFor(keyname);
    REGISTRY settings(REGISTRY::CurrentUser(), "Software\\Orvik", keyname.Text(), REGISTRY::MODE_READ);
    STRING datadir;
    if (settings.Read("ApplicationDataDir", datadir) && datadir.c_str() != nullptr) {
        datadir = STRING(datadir.c_str());
        if (datadir.NotEmpty() && FILENAME(datadir).IsDirectory() &&
            IsStandardDataFolder(datadir, keyname, ShellFolder(OSYS::SYSTEMPATH_APPDATA),
                                 ShellFolder(OSYS::SYSTEMPATH_COMMON_APPDATA)))
            result.DataTreeLeft = RemoveTreeOfProduct(datadir, keyname, "application data");
        else
            LogPrintf(
                "SETUP::RemoveInstallation ApplicationDataDir '%s' is no folder of the product: left alone\n",
                datadir.Text());
    }
    if (keyname.IsEmpty() || keyname.Find("\\") || keyname.Find("/")) {
        LogPrintf("SETUP::RemoveInstallation key name '%s' names no key of its own: no settings deleted\n",
                  keyname.Text());
        return result;
    }
    const STRING vendorkey = STRING("Software\\") || vendor;
    REGISTRY(REGISTRY::CurrentUser(), "", vendorkey.Text(), REGISTRY::MODE_WRITE)
        .DeleteKey(keyname.Text(), false);
    REGISTRY(REGISTRY::LocalMachine(), "", vendorkey.Text(), REGISTRY::MODE_WRITE)
        .DeleteKey(keyname.Text(), false);
    return result;
}

void RemoveFileTypes(const STRING& rootclasses, const STRING& rootvalues) {
    REGISTRY classes(REGISTRY::ClassesRoot(), "", "", REGISTRY::MODE_WRITE);
    for (const STRING& name : ListFields(rootclasses)) {
        if (IsSystemClassKey(name)) {
            LogPrintf("SETUP::RemoveInstallation class key '%s' belongs to the system: left alone\n",
                      name.Text());
            continue;
        }
        classes.DeleteKey(name.Text(), true);
    }
    for (const STRING& entry : ListFields(rootvalues)) {
        STRING key, text;
        if (!ParseRootValue(entry, &key, &text) || IsSystemFileType(TopKey(key)))
            continue;
        REGKEY opened;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.Text(), 0, KEY_READ | KEY_SET_VALUE, opened.receive()) !=
            ERROR_SUCCESS)
            continue;
        char value[1024] = {};
        DWORD size = sizeof value - 1;
        DWORD type = 0;
        const bool same = RegQueryValueExA(opened.get(), nullptr, nullptr, &type,
                                           reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
                          type == REG_SZ && StringCompareNoCase(value, text.Text()) == 0;
        LogPrintf("SETUP::RemoveInstallation %s existed before the installation: its value %s\n", key.Text(),
                  same ? "deleted" : "was changed since, kept");
        if (same)
            RegDeleteValueA(opened.get(), nullptr);
    }
}

void RemoveFirewallExceptions(const STRING& programs, const STRING& installpath, FIREWALLSYSTEM& system) {
    if (programs.IsEmpty())
        return;
    FIREWALL firewall(system);
    if (!firewall.boolUpAndRunning)
        return;
    for (const STRING& program : ListFields(programs)) {
        STRING path;
        if (!JoinBelow(installpath, program, &path)) {
            LogPrintf("SETUP::RemoveInstallation firewall entry '%s' leaves the install folder: skipped\n",
                      program.Text());
            continue;
        }
        firewall.RemoveApplication(path.Text());
    }
}

void REMOVAL::Run() {
    State.RemovalRan = true;
    const bool removeall = State.RemoveAll.ToInt() != 0;
    const intptr_t owner = reinterpret_cast<intptr_t>(Owner);
    const intptr_t bar = reinterpret_cast<intptr_t>(Interaction.ProgressWindow());
    CallNewSetupHook(NEWHOOK_REMOVAL_START, 0, owner, bar, 0, removeall ? 1 : 0);

    const REMOVALRECORD record = ReadRemovalRecord(State.KeyName);
    CallSetupHook(SETUPHOOK_REMOVAL_START, State.InstallPath.Text());
    CallNewSetupHook(NEWHOOK_RECORD_READ, 0, owner, bar, 0,
                     reinterpret_cast<intptr_t>(State.InstallPath.c_str()));

    StopService();
    RemoveRecordedFiles(State.InstallPath, record);
    // What interrupted runs backed up and nothing can put back any more goes with the product's files.
    RemoveBackupFolders(State.InstallPath, State.KeyName);
    State.Leftovers = CountRecordedLeftovers(State.InstallPath, record);
    RemoveProgramGroup(ProgramGroupFor(record.Startmenu, ShellFolder(OSYS::SYSTEMPATH_PROGRAMS),
                                       ShellFolder(OSYS::SYSTEMPATH_COMMON_PROGRAMS)),
                       record.StartmenuFiles);
    RemoveDesktopLinks(ShellFolder(OSYS::SYSTEMPATH_DESKTOP), record.DesktopFiles);
    if (removeall) {
        const REMOVEALLRESULT left = RemoveAllData(State.KeyName, State.InstallPath);
        State.InstallTreeLeft = left.InstallTreeLeft;
        State.Leftovers += left.DataTreeLeft ? 1 : 0;
    }
    RemoveFileTypes(record.RootClasses, record.RootValues);
    RemoveFirewallExceptions(record.Firewall, State.InstallPath, FIREWALLSYSTEM::Windows());

    DeleteEntry();
    SetAutoStart(State.KeyName.Text(), nullptr);
    CallSetupHook(SETUPHOOK_REMOVAL_END, nullptr);
    CallNewSetupHook(NEWHOOK_ENTRY_DELETED, 0, owner, bar, 0, 0);
    FinishProgress();
}

void REMOVAL::StopService() const {
    const FILENAME service(State.InstallPath.Text(), SERVICE_PROGRAM);
    if (!service.Exists() || OSYS::GetOSType() < 1)
        return;
    for (const char* argument : {"/STOP", "/UNINSTALL"})
        OSYS::StartProgram(service.Text(), argument, State.InstallPath.Text(), SERVICE_CONTROL_TITLE,
                           OSYS::START_SYNC, nullptr, nullptr);
}

void REMOVAL::DeleteEntry() {
    const bool deleted =
        REGISTRY(REGISTRY::LocalMachine(), "", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                 REGISTRY::MODE_WRITE)
            .DeleteKey(State.KeyName.Text(), false);
    if (deleted)
        return;
    LogPrintf("SETUP::RemoveInstallation the uninstall entry %s could not be deleted\n",
              State.KeyName.Text());
    ++State.Leftovers;
}

// The steps give no measure of their own: the bar runs through once the work is done.
void REMOVAL::FinishProgress() {
    for (int percent = 0; percent <= 100; percent += 5)
        Interaction.SetProgress(percent);
}
