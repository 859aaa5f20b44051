#include "setup/install/shortcuts.h"

#include <windows.h>

#include <algorithm>
#include <io.h>
#include <string>
#include <vector>
#include <objbase.h>
#include <shlobj.h>
// After the COM headers, which it builds on.
#include <intshcut.h>

#include "lib/filename.h"
#include "lib/firewall/comptr.h"
#include "lib/firewall/firewall.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "lib/textcodec.h"
#include "lib/winhandles.h"
#include "setup/install/installation.h"
#include "setup/install/installstate.h"
#include "setup/install/installwizard.h"
#include "setup/install/shortcutentries.h"
#include "setup/record/installrecord.h"
#include "setup/record/registryrecord.h"
#include "setup/res/messages.h"
#include "setup/setuphooks.h"

namespace {

// The shell's link and Internet shortcut classes and the interfaces used on them: the UTF-16 ones, so that
// what the link holds does not depend on how the shell reads 8-bit text.
const CLSID ShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID ShellLinkInterface = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID InternetShortcutClass = {
    0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
const IID UrlInterface = {0xCABB0DA0, 0xDA57, 0x11CF, {0x99, 0x74, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x62}};
const IID PersistFileInterface = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

STRING WithoutTrailingSeparator(STRING folder) {
    if (!folder.NotNull())
        return STRING("");
    while (folder.Length() > 0 && folder[folder.Length() - 1] == '\\')
        folder.CutRight(1);
    return folder;
}

// ---- creating the entries
// -----------------------------------------------------------------------------------

// The program's 8-bit text as UTF-16 for the shell's interfaces.
std::wstring Wide(const STRING& text) {
    const std::u16string units = TEXTCODEC::ToWide(text.Text());
    return std::wstring(units.begin(), units.end());
}

// The link's path as UTF-16, or false when it does not fit the system's limit.
bool WidePath(const STRING& path, wchar_t (&wide)[SHORTCUT_PATH_MAX]) {
    const std::u16string units = TEXTCODEC::ToWide(path.Text());
    if (units.size() >= SHORTCUT_PATH_MAX)
        return false;
    std::copy(units.begin(), units.end(), wide);
    wide[units.size()] = L'\0';
    return true;
}

// The full path of a link: folder, name and extension; logged and refused when it is too long.
bool ShortcutPathFor(const STRING& folder, const SHORTCUTENTRY& entry, const char* extension, STRING& path) {
    if (MakeShortcutPath(folder, entry.Name, extension, path))
        return true;
    LogPrintf("SETUP::ShortcutPage path of %s longer than %d characters, %s%s not created\n",
              entry.Name.Text(), SHORTCUT_PATH_MAX - 1, entry.Name.Text(), extension);
    return false;
}

// Entry names may hold sub-folders: they are made before the link is saved there.
void MakeParentFolder(const STRING& path) {
    FILENAME file;
    file = path;
    const STRING parent = file.Path();
    if (!FILENAME(parent).IsDirectory())
        MakeDirectoryPath(parent.Text());
}

// Where the system looks for a library or program named without a folder, less the program's own folder and
// the current one: a name found there would be a file anybody may have put beside the package.
STRING SystemSearchPath() {
    char system[MAX_PATH] = {}, windows[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    GetWindowsDirectoryA(windows, MAX_PATH);
    STRING path = STRING(system) || ";" || windows;
    const DWORD length = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (length > 0) {
        std::vector<char> value(length);
        if (GetEnvironmentVariableA("PATH", value.data(), length) > 0)
            path = path || ";" || value.data();
    }
    return path;
}

// The program a link starts: "%PATH%\name" becomes the full path of that library or program when the search
// path holds it, found without loading it (a library's start code would run in this elevated process);
// the "*" and "#" marks go.
STRING ResolveTarget(const SHORTCUTENTRY& entry) {
    STRING target = entry.Target;
    if (!entry.IsDesktopEntry() && entry.IsOnSearchPath()) {
        const STRING name = target.Mid(7);
        char full[257] = {};
        const DWORD length = SearchPathA(SystemSearchPath().Text(), name.Text(), ".dll", 256, full, nullptr);
        if (length > 0 && length < 256)
            target = full;
    }
    while (target.Length() > 0 && (target[0] == '*' || target[0] == '#'))
        target.CutLeft(1);
    return target;
}

void CreateShellLink(const SHORTCUTENTRY& entry, const STRING& installdir, const SHORTCUTFOLDERS& folders,
                     bool startmenu, SHORTCUTLISTS& created) {
    const bool desktop = entry.IsDesktopEntry();
    const STRING target = ResolveTarget(entry);
    if (!desktop && !startmenu)
        return;
    STRING path;
    if (!ShortcutPathFor(desktop ? folders.Desktop : folders.StartMenu, entry, ".LNK", path))
        return;

    COMPTR<IShellLinkW> link;
    HRESULT hres = CoCreateInstance(ShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, ShellLinkInterface,
                                    link.ReceiveVoid());
    if (FAILED(hres)) {
        ORVIK_ASSERT(SUCCEEDED(hres));
        return;
    }
    link->SetDescription(Wide(entry.Description()).c_str());
    link->SetPath(Wide(FILENAME(installdir.Text(), target.Text())).c_str());
    link->SetArguments(Wide(entry.Arguments).c_str());
    link->SetWorkingDirectory(Wide(installdir).c_str());
    if (entry.Icon.NotEmpty())
        link->SetIconLocation(Wide(installdir || "\\" || entry.IconFile()).c_str(), entry.IconNumber());

    COMPTR<IPersistFile> file;
    hres = link.QueryInto(PersistFileInterface, file);
    if (FAILED(hres)) {
        ORVIK_ASSERT_INFO(SUCCEEDED(hres), "Programgroup entry or desktop icon");
        return;
    }
    wchar_t wide[SHORTCUT_PATH_MAX] = {};
    if (!WidePath(path, wide))
        return;
    MakeParentFolder(path);
    hres = file->Save(wide, TRUE);
    LogPrintf("SETUP::ShortcutPage link %s saved: 0x%08lx\n", path.Text(), static_cast<unsigned long>(hres));
    // Recorded even when the save failed: the uninstaller then only finds nothing to delete.
    AppendCreated(desktop ? created.Desktop : created.StartMenu, entry.Name);
}

void CreateInternetShortcut(const SHORTCUTENTRY& entry, const STRING& startmenufolder, bool startmenu,
                            SHORTCUTLISTS& created) {
    COMPTR<IUniformResourceLocatorW> url;
    if (FAILED(CoCreateInstance(InternetShortcutClass, nullptr, CLSCTX_INPROC_SERVER, UrlInterface,
                                url.ReceiveVoid())))
        return;
    url->SetURL(Wide(entry.Target).c_str(), IURL_SETURL_FL_GUESS_PROTOCOL);
    COMPTR<IPersistFile> file;
    if (FAILED(url.QueryInto(PersistFileInterface, file)) || !startmenu)
        return;
    STRING path;
    if (!ShortcutPathFor(startmenufolder, entry, ".URL", path))
        return;
    wchar_t wide[SHORTCUT_PATH_MAX] = {};
    if (!WidePath(path, wide))
        return;
    MakeParentFolder(path);
    const HRESULT hres = file->Save(wide, TRUE);
    file->SaveCompleted(wide);
    LogPrintf("SETUP::ShortcutPage Internet shortcut %s saved: 0x%08lx\n", path.Text(),
              static_cast<unsigned long>(hres));
    AppendCreated(created.StartMenu, entry.Name);
}

// ---- the page
// -----------------------------------------------------------------------------------------------

// The two program folders the page chooses between; the common one stands in for itself only when it can
// be read.
struct PROGRAMFOLDERS {
    STRING User;
    STRING Common;
    bool CommonUsable;
};

PROGRAMFOLDERS ReadProgramFolders() {
    PROGRAMFOLDERS folders;
    folders.User = WithoutTrailingSeparator(OSYS::GetSystemPath(OSYS::SYSTEMPATH_PROGRAMS));
    folders.Common = WithoutTrailingSeparator(OSYS::GetSystemPath(OSYS::SYSTEMPATH_COMMON_PROGRAMS));
    folders.CommonUsable = folders.Common.NotEmpty() && _access(folders.Common.Text(), 4) == 0;
    if (!folders.CommonUsable)
        folders.Common = folders.User;
    return folders;
}

bool IsChecked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void PreparePage(HWND page, const SHORTCUTPAGESETUP& setup, bool commonusable) {
    CheckRadioButton(page, IDC_SHORTCUT_CURRENTUSER, IDC_SHORTCUT_NONE, setup.CheckedRadio);
    // The wizard focuses the page's first control when it shows the page; the posted request comes after
    // that and gives the proposed choice the focus.
    const HWND proposed = GetDlgItem(page, setup.CheckedRadio);
    SetFocus(proposed);
    PostMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(proposed), TRUE);
    ShowWindow(GetDlgItem(page, IDC_SHORTCUT_DESKTOP), setup.ShowDesktopBox ? SW_SHOW : SW_HIDE);
    CheckDlgButton(page, IDC_SHORTCUT_DESKTOP, setup.DesktopChecked ? BST_CHECKED : BST_UNCHECKED);
    if (!commonusable)
        EnableWindow(GetDlgItem(page, IDC_SHORTCUT_ALLUSERS), FALSE);
}

// What the user chose, read from the page after Next.
void ReadChoices(HWND page, CHOICES& choices) {
    if (IsChecked(page, IDC_SHORTCUT_NONE))
        choices.StartMenu = STARTMENUCHOICE::None;
    else if (IsChecked(page, IDC_SHORTCUT_ALLUSERS) && !IsChecked(page, IDC_SHORTCUT_CURRENTUSER))
        choices.StartMenu = STARTMENUCHOICE::AllUsers;
    else
        choices.StartMenu = STARTMENUCHOICE::CurrentUser;
    choices.DesktopIcon = IsChecked(page, IDC_SHORTCUT_DESKTOP);
}

STRING RecordedStartmenuFolder(const HASH& config) {
    if (!HasUninstallEntry(config))
        return STRING("");
    REGISTRY entry(REGISTRY::LocalMachine(), "", UninstallKeyPath(config).Text(), REGISTRY::MODE_READ);
    STRING folder;
    if (!entry.Read("UninstallStartmenu", folder))
        return STRING("");
    return folder;
}

STRING UninstallEntryFor(const HASH& config) {
    const CONFIGREADER reader(config);
    // Without an uninstall entry there is nothing the link could start.
    if (reader.Number("StartmenuUninstall") == 0 || !HasUninstallEntry(config))
        return STRING("");
    STRING linkname = OSYS::GetStringFromResource(IDS_UNINSTALL_LINK_NAME);
    linkname.Replace("$PROGRAM", reader.Text("AppName", "").Text());
    return UninstallShortcutEntry(linkname, reader.Text("IniKey", ""));
}

} // namespace

void MakeShortcutsFor(INSTALLSTATE& install) {
    const CHOICES& choices = install.Choices;
    const HASH& config = install.Config;
    const CONFIGREADER reader(config);
    const PROGRAMFOLDERS programs = ReadProgramFolders();
    const DESKTOPCANDIDATE candidate =
        FindDesktopCandidate(reader.Text("StartmenuOpts"), reader.Text("DesktopIcon"));
    const bool startmenu = choices.WantsStartMenu();
    const bool allusers = choices.ForAllUsers();
    const STRING& programfolder = allusers ? programs.Common : programs.User;
    const STRING startmenuname = reader.Text("StartmenuName", "");
    install.StartmenuFolder = StartmenuFolderFor(programfolder, startmenuname);
    LogPrintf("SETUP::ShortcutPage start menu %d, all users %d, desktop %d, folder %s\n", startmenu, allusers,
              choices.DesktopIcon, install.StartmenuFolder.Text());

    // One initialisation for the thread from here to the firewall: the hook, the links and the firewall
    // all use COM.
    const COMSCOPE com;
    // Links that go straight into the program menu have no folder of their own that could have moved.
    if (startmenuname.NotEmpty())
        RenameMovedStartmenuFolder(RecordedStartmenuFolder(config), install.StartmenuFolder);
    CallNewSetupHook(NEWHOOK_STARTMENU_FOLDER, 0, 0, 0, 0,
                     reinterpret_cast<intptr_t>(&install.StartmenuFolder));

    if (startmenu)
        CreateDirectoryA(install.StartmenuFolder.Text(), nullptr);
    const STRING entries = ShortcutEntryList(startmenu, reader.Text("StartmenuOpts"),
                                             UninstallEntryFor(config), choices.DesktopIcon, candidate.Entry);
    const SHORTCUTFOLDERS folders{install.StartmenuFolder,
                                  WithoutTrailingSeparator(OSYS::GetSystemPath(OSYS::SYSTEMPATH_DESKTOP))};
    const SHORTCUTLISTS created = CreateShortcuts(entries, install.Choices.InstallDir, folders, startmenu);
    RecordShortcuts(config, install.StartmenuFolder, created);

    const STRING inikey = reader.Text("IniKey");
    CallNewSetupHook(NEWHOOK_SHORTCUTS_DONE, 0, 0, 0, 0, reinterpret_cast<intptr_t>(inikey.c_str()));
    AddFirewallExceptions(config, install.Choices.InstallDir, FIREWALLSYSTEM::Windows());
}

std::vector<CLSID> ShortcutStepClasses(const HASH& config, const CHOICES& choices) {
    const CONFIGREADER reader(config);
    std::vector<CLSID> classes;
    if (reader.Number("ActiveSyncInstall") != 0)
        return classes;
    const std::vector<STRING> entries = TrimmedEntries(reader.Text("StartmenuOpts"));
    if (!entries.empty() || UninstallEntryFor(config).NotEmpty())
        classes.push_back(ShellLinkClass);
    const auto internet = [](const STRING& field) { return SHORTCUTENTRY::Parse(field).IsInternet(); };
    if (choices.WantsStartMenu() && std::any_of(entries.begin(), entries.end(), internet))
        classes.push_back(InternetShortcutClass);
    if (reader.Text("AddToFirewall").NotEmpty())
        classes.push_back(FIREWALL_CLSID_MANAGER);
    return classes;
}

int ShortcutPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    INSTALLATION& installation = InstallationOf(wizard);
    INSTALLSTATE& install = installation.State();
    const HASH& config = install.Config;
    const CONFIGREADER reader(config);
    if (reader.Number("ActiveSyncInstall") != 0) {
        installation.MakeShortcuts();
        return PAGE_NEXT;
    }

    const DESKTOPCANDIDATE candidate =
        FindDesktopCandidate(reader.Text("StartmenuOpts"), reader.Text("DesktopIcon"));
    PreparePage(page->Hwnd(), PrepareShortcutPage(install.Choices.InstallMode, candidate),
                ReadProgramFolders().CommonUsable);

    const int result = wizard->RunPage();
    if (result != PAGE_NEXT)
        return result;
    ReadChoices(page->Hwnd(), install.Choices);
    installation.MakeShortcuts();
    return PAGE_NEXT;
}

STRING StartmenuFolderFor(const STRING& programfolder, const STRING& startmenuname) {
    if (startmenuname.IsEmpty())
        return programfolder;
    STRING folder;
    if (JoinBelow(programfolder, startmenuname, &folder))
        return folder;
    LogPrintf("SETUP::ShortcutPage StartmenuName '%s' leaves the program menu: links go into %s itself\n",
              startmenuname.Text(), programfolder.Text());
    return programfolder;
}

bool RunDeviceManager(const STRING& managerpath, const STRING& installdir) {
    const STRING argument = "\"" || installdir || "\\pcinstall.ini\"";
    LogPrintf("SETUP::ShortcutPage device manager %s %s\n", managerpath.Text(), argument.Text());
    return OSYS::StartProgram(managerpath.Text(), argument.Text(),
                              OSYS::GetStringFromResource(IDS_MSGBOX_TITLE).Text(), true);
}

SHORTCUTLISTS CreateShortcuts(const STRING& entrylist, const STRING& installdir,
                              const SHORTCUTFOLDERS& folders, bool startmenu) {
    const COMSCOPE com;
    SHORTCUTLISTS created;
    for (const STRING& field : ListFields(entrylist)) {
        const SHORTCUTENTRY entry = SHORTCUTENTRY::Parse(field);
        if (entry.IsInternet())
            CreateInternetShortcut(entry, folders.StartMenu, startmenu, created);
        else
            CreateShellLink(entry, installdir, folders, startmenu, created);
    }
    created.StartMenu = FinishedList(created.StartMenu);
    created.Desktop = FinishedList(created.Desktop);
    return created;
}

void RenameMovedStartmenuFolder(const STRING& oldfolder, const STRING& newfolder) {
    if (oldfolder.IsEmpty() || StringCompareNoCase(oldfolder.Text(), newfolder.Text()) == 0)
        return;
    FILENAME old;
    old = oldfolder;
    FILENAME now;
    now = newfolder;
    const FILENAME target(old.Path().Text(), now.Name().Text());
    const BOOL moved = MoveFileA(old.Text(), target.Text());
    LogPrintf("SETUP::ShortcutPage start-menu folder %s renamed to %s: %d\n", old.Text(), target.Text(),
              moved ? 1 : 0);
}

void RecordShortcuts(const HASH& config, const STRING& startmenufolder, const SHORTCUTLISTS& created) {
    if (!HasUninstallEntry(config) || (created.StartMenu.IsEmpty() && created.Desktop.IsEmpty()))
        return;
    REGISTRY entry(REGISTRY::LocalMachine(), "", UninstallKeyPath(config).Text(), REGISTRY::MODE_CREATE);
    if (created.StartMenu.NotEmpty()) {
        WriteRecordText(entry, "HKLM", "UninstallStartmenu", startmenufolder.Text());
        WriteRecordText(entry, "HKLM", "UninstallStartmenuFiles", created.StartMenu.Text());
    }
    if (created.Desktop.NotEmpty())
        WriteRecordText(entry, "HKLM", "UninstallDesktopFiles", created.Desktop.Text());
}

void AddFirewallExceptions(const HASH& config, const STRING& installdir, FIREWALLSYSTEM& system) {
    const CONFIGREADER reader(config);
    if (!config.Contains("AddToFirewall"))
        return;
    FIREWALL firewall(system);
    if (!firewall.boolUpAndRunning)
        return;
    const STRING startmenuopts = reader.Text("StartmenuOpts");
    const STRING appname = reader.Text("AppName");
    for (const STRING& program : ListFields(reader.Text("AddToFirewall"))) {
        const STRING path = installdir || "\\" || program;
        firewall.AddApplication(path.Text(), FirewallExceptionName(startmenuopts, program, appname).Text());
    }
}
