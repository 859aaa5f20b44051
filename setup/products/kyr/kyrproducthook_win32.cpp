// KYRPRODUCTHOOK: what the version-5 and version-6 hooks do at each code, apart from their two pages.
#include "setup/products/kyr/kyrproducthook.h"

#include <windows.h>
#include <shellapi.h>

#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "setup/deletionguard.h"
#include "setup/install/installstate.h"
#include "setup/install/pages.h"
#include "setup/interaction.h"
#include "setup/res/messages.h"
#include "setup/runmode.h"
#include "setup/uninstall/uninstall.h"

namespace {

const char* const Context = "NewSetupHookKYR";
const char* const UNINSTALL_BRANCH = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

bool ExistsBelow(const STRING& folder, const char* name) {
    STRING path;
    return JoinBelow(folder, STRING(name), &path) &&
           GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

STRING PageText(HWND page, int id) {
    char text[MAX_PATH] = {};
    GetDlgItemTextA(page, id, text, sizeof text);
    return STRING(text);
}

// One folder however either is spelt ("C:\\PROGRA~1\\KYR", a junction to it ...).
bool SameFolder(const STRING& a, const STRING& b) {
    return StringCompareNoCase(NormalFolder(a).c_str(), NormalFolder(b).c_str()) == 0 ||
           (ResolvesAtOrBelow(a, b) && ResolvesAtOrBelow(b, a));
}

// An earlier generation's uninstall entry: where it was installed and its program group.
struct EARLIERENTRY {
    const char* Key;
    STRING Path;
    STRING Startmenu;
};

EARLIERENTRY ReadEarlierEntry(const char* key) {
    return EARLIERENTRY{
        key, ReadRegistryText(REGISTRY::LocalMachine(), UNINSTALL_BRANCH, key, "UninstallPath"),
        ReadRegistryText(REGISTRY::LocalMachine(), UNINSTALL_BRANCH, key, "UninstallStartmenu")};
}

// A program group is a folder below the user's or the common program menu, never the menu itself: the
// recorded text comes from another product's entry and could name any folder.
bool IsProgramGroup(const STRING& folder) {
    for (OSYS::SYSTEMPATH menu : {OSYS::SYSTEMPATH_PROGRAMS, OSYS::SYSTEMPATH_COMMON_PROGRAMS}) {
        const STRING programs = NormalFolder(OSYS::GetSystemPath(menu));
        if (programs.NotEmpty() && !IsRootFolder(programs) && ResolvesAtOrBelow(folder, programs) &&
            !ResolvesAtOrBelow(programs, folder))
            return true;
    }
    return false;
}

// The files of a program group (its links), then the group itself when that left it empty.
void DeleteProgramGroup(const STRING& group) {
    if (HasParentComponent(group) || !IsProgramGroup(NormalFolder(group))) {
        LogPrintf("SETUP::%s program group '%s' is no folder of the program menu: kept\n", Context,
                  group.Text());
        return;
    }
    const STRING folder = NormalFolder(group);
    FILEFIND find((folder || "\\*").c_str());
    for (bool more = find.Found(); more; more = find.Next())
        if (!find.IsDirectory() && !find.IsLink())
            DeleteFileBelow(folder, find.Name(), Context);
    const FILENAME name(folder);
    RemoveEmptyFolderBelow(name.Path(), name.Name(), Context);
}

} // namespace

STRING ReadRegistryText(void* root, const char* basekey, const char* app, const char* value) {
    REGISTRY key(root, basekey, app, REGISTRY::MODE_READ);
    STRING text;
    if (!key.IsOpen() || !key.Read(value, text) || text.c_str() == nullptr)
        return STRING("");
    return STRING(text.c_str());
}

bool EarlierFolderQualifies(const STRING& folder, const STRING& destination,
                            std::initializer_list<const char*> subfolders) {
    if (folder.IsEmpty() || !FILENAME(folder).IsDirectory() || SameFolder(folder, destination))
        return false;
    for (const char* subfolder : subfolders)
        if (!FILENAME(folder.Text(), subfolder).IsDirectory())
            return false;
    return true;
}

// The calls that act on the installation's choices; the uninstall wizard's pages pass by the first two too.
bool KYRPRODUCTHOOK::NeedsInstallation(int code, int value) {
    if (code == NEWHOOK_BEFORE_PAGE || code == NEWHOOK_AFTER_PAGE)
        return value == STEPDESTINATION;
    return code == NEWHOOK_STARTMENU_FOLDER || code == NEWHOOK_SHORTCUTS_DONE || code == NEWHOOK_LAST_ACTION;
}

int KYRPRODUCTHOOK::Call(int code, int value, intptr_t p1, intptr_t p2, intptr_t, intptr_t p4) {
    LogPrintf("SETUP::NewSetupHookKYR %d %d %p\n", code, value, reinterpret_cast<void*>(p4));
    if (Run == nullptr && NeedsInstallation(code, value)) {
        LogPrintf("SETUP::NewSetupHookKYR%d code %d without an installation: ignored\n", Generation.Version,
                  code);
        return 1;
    }
    switch (code) {
    case NEWHOOK_STEP_TABLE:
        InsertSteps(reinterpret_cast<SETUPSTEP*>(p4));
        break;
    case NEWHOOK_CONFIGURATION:
        HookState.Language = value;
        HookState.Earlier = Generation.DetectEarlier();
        LogPrintf("SETUP::NewSetupHookKYR%d earlier installation '%s', home '%s', work '%s'\n",
                  Generation.Version, HookState.Earlier.Marker.Text(), HookState.Earlier.HomePath.Text(),
                  HookState.Earlier.WorkPath.Text());
        break;
    case NEWHOOK_BEFORE_PAGE:
        if (value == STEPDESTINATION)
            ShowDestinationHint(reinterpret_cast<HWND>(p2));
        break;
    case NEWHOOK_AFTER_PAGE:
        if (value == STEPDESTINATION)
            CheckDestination(reinterpret_cast<HWND>(p2));
        break;
    case NEWHOOK_STARTMENU_FOLDER:
        RememberEarlierProgramGroup();
        break;
    case NEWHOOK_SHORTCUTS_DONE:
        DeleteEarlierEntries();
        break;
    case NEWHOOK_REMOVAL_START:
        OfferUserDataDeletion(reinterpret_cast<HWND>(p1), p4);
        break;
    case NEWHOOK_LAST_ACTION:
        StartProduct();
        break;
    default:
        break;
    }
    return 1;
}

void KYRPRODUCTHOOK::InsertSteps(SETUPSTEP* steps) const {
    if (!steps)
        return;
    const SETUPSTEP profile{STEPKYRPROFILE,
                            IDS_PROFILE_TITLE,
                            IDS_PROFILE_SUBTITLE,
                            IDD_PAGE_PROFILE,
                            nullptr,
                            ProfileFunction,
                            0};
    const SETUPSTEP userdata{STEPKYRUSERDATA,
                             IDS_USERDATA_TITLE,
                             IDS_USERDATA_SUBTITLE,
                             IDD_PAGE_USERDATA,
                             nullptr,
                             UserDataFunction,
                             0};
    InsertStepsBeforeAdvertisement(steps, profile, userdata);
}

void KYRPRODUCTHOOK::ShowDestinationHint(HWND page) const {
    if (HookState.Earlier.HomePath.NotEmpty() && Run->Choices.InstallMode == "0")
        SetDlgItemTextA(page, IDC_DEST_HINT, Message(IDS_DEST_EARLIER_VERSION).Text());
}

void KYRPRODUCTHOOK::CheckDestination(HWND page) {
    CheckDestinationFolder(PageText(page, IDC_DEST_FOLDER));
}

void KYRPRODUCTHOOK::CheckDestinationFolder(const STRING& destination) {
    if (destination.IsEmpty()) {
        HookState.EarlierFilesPresent = true;
    } else {
        if (Run->Choices.InstallMode == "0" && ExistsBelow(destination, "admin.ini"))
            DeleteFileBelow(destination, STRING("admin.ini.bak"), Context);
        HookState.EarlierFilesPresent =
            ExistsBelow(destination, "phonebk") || ExistsBelow(destination, "admin.ini") ||
            ExistsBelow(destination, "options\\standard.cfg") ||
            ExistsBelow(destination, "options\\standard.kyr") ||
            (Generation.StandardKfgCounts && ExistsBelow(destination, "options\\standard.kfg"));
    }
    LogPrintf("SETUP::NewSetupHookKYR%d destination '%s': earlier files %d\n", Generation.Version,
              destination.Text(), HookState.EarlierFilesPresent ? 1 : 0);
}

// Only the entries of earlier generations count: the installation's own entry (version 5 writes "KYR5"
// before the shortcut step) names the program group that the shortcut step is filling.
void KYRPRODUCTHOOK::RememberEarlierProgramGroup() {
    HookState.EarlierProgramGroup = "";
    const STRING& destination = Run->Choices.InstallDir;
    for (const char* key : {"KYR5", "KYR4", "KYR"}) {
        if (!IsEarlierEntry(key))
            continue;
        const EARLIERENTRY entry = ReadEarlierEntry(key);
        if (entry.Path.NotEmpty() && SameFolder(entry.Path, destination)) {
            HookState.EarlierProgramGroup = entry.Startmenu;
            break;
        }
    }
    LogPrintf("SETUP::NewSetupHookKYR%d earlier program group '%s'\n", Generation.Version,
              HookState.EarlierProgramGroup.Text());
}

void KYRPRODUCTHOOK::DeleteEarlierEntries() const {
    const STRING& destination = Run->Choices.InstallDir;
    bool oldgroup = false;
    REGISTRY branch(REGISTRY::LocalMachine(), "", UNINSTALL_BRANCH, REGISTRY::MODE_WRITE);
    for (const char* key : Generation.EarlierEntries) {
        const EARLIERENTRY entry = ReadEarlierEntry(key);
        if (entry.Path.IsEmpty() || !SameFolder(entry.Path, destination))
            continue;
        const bool deleted = branch.DeleteKey(key, true);
        LogPrintf("SETUP::NewSetupHookKYR%d earlier entry %s in %s deleted: %d\n", Generation.Version, key,
                  entry.Path.Text(), deleted ? 1 : 0);
        oldgroup = oldgroup || EqualsNoCase(key, "KYR") || EqualsNoCase(key, "KYR4");
    }
    if (!oldgroup || HookState.EarlierProgramGroup.IsEmpty())
        return;
    if (SameFolder(HookState.EarlierProgramGroup, Run->StartmenuFolder)) {
        LogPrintf("SETUP::NewSetupHookKYR%d program group %s holds the new shortcuts: kept\n",
                  Generation.Version, HookState.EarlierProgramGroup.Text());
        return;
    }
    DeleteProgramGroup(HookState.EarlierProgramGroup);
}

bool KYRPRODUCTHOOK::IsEarlierEntry(const char* key) const {
    for (const char* earlier : Generation.EarlierEntries)
        if (EqualsNoCase(earlier, key))
            return true;
    return false;
}

void KYRPRODUCTHOOK::OfferUserDataDeletion(HWND wizard, intptr_t removeall) const {
    if (removeall == 0)
        return;
    const STRING recorded =
        ReadRegistryText(REGISTRY::CurrentUser(), "Software\\Orvik", Generation.OwnKey, "%KYRFILES%");
    const STRING entry =
        ReadRegistryText(REGISTRY::LocalMachine(), UNINSTALL_BRANCH, Generation.OwnKey, "%KYRFILES%");
    LogPrintf("SETUP::NewSetupHookKYR%d user data '%s' (uninstall entry '%s')\n", Generation.Version,
              recorded.Text(), entry.Text());
    if (recorded.IsEmpty())
        return;
    const FILENAME folder(recorded);
    if (!folder.IsDirectory() || !FILENAME(NormalFolder(folder)).Name().iFind("KYR"))
        return;
    // The title the uninstall wizard has: the product's name from its own uninstall entry.
    UNINSTALLSTATE uninstallation;
    uninstallation.KeyName = Generation.OwnKey;
    ReadUninstallIdentity(uninstallation);
    STRING title = Message(IDS_UNINSTALL_TITLE);
    title.Replace("Orvik", uninstallation.AppName.NotEmpty() ? uninstallation.AppName.Text() : "KYR");
    STRING text = Message(IDS_ASK_DELETE_USERDATA_1) || Message(IDS_ASK_DELETE_USERDATA_2);
    text.Replace("$PROGRAM", "KYR");
    text.Replace("$DIR", folder.Text());
    // An unattended uninstall asks nobody: the answer is the box's default button, yes, as all data was
    // asked for.
    const RUNMODE mode = ReadRunMode();
    const bool yes = mode.Unattended() || mode.AnswersByDefault()
                         ? QUIETINTERACTION().AskYesNo(title.Text(), text.Text(), true)
                         : WINORVIK::YesNoMsgBox(wizard, title.Text(), text.Text());
    LogPrintf("SETUP::NewSetupHookKYR%d delete user data %s: %d\n", Generation.Version, folder.Text(),
              yes ? 1 : 0);
    if (yes)
        DeleteOwnedTree(folder, STRING(Generation.OwnKey), "NewSetupHookKYR");
}

void KYRPRODUCTHOOK::StartProduct() const {
    const STRING& destination = Run->Choices.InstallDir;
    if (Run->Unattended) {
        // A deployment tool's run (often as the system account) must not leave the product running.
        LogPrintf("SETUP::NewSetupHookKYR%d unattended: the product is not started\n", Generation.Version);
        return;
    }
    const FILENAME program(destination.Text(), "kyr.exe");
    const HINSTANCE result =
        ShellExecuteA(nullptr, "open", program.Text(), nullptr, destination.Text(), SW_SHOWNORMAL);
    LogPrintf("SETUP::NewSetupHookKYR%d starts %s: %d\n", Generation.Version, program.Text(),
              static_cast<int>(reinterpret_cast<intptr_t>(result)));
}

void KYRPRODUCTHOOK::SetForceWorkdir(uint32_t value) const {
    REGISTRY key(REGISTRY::CurrentUser(), "Software\\Orvik", Generation.OwnKey, REGISTRY::MODE_CREATE);
    const bool written = key.IsOpen() && key.Write("SetupForceWorkdir", value);
    LogPrintf("SETUP::NewSetupHookKYR%d SetupForceWorkdir %u: %d\n", Generation.Version, value,
              written ? 1 : 0);
}

// ---- decisions
// ----------------------------------------------------------------------------------------------

bool InsertStepsBeforeAdvertisement(SETUPSTEP* steps, const SETUPSTEP& first, const SETUPSTEP& second) {
    int idadv = -1;
    int idend = 0;
    for (; steps[idend].idstep != 0 && steps[idend].idstep != STEPEND; ++idend)
        if (steps[idend].idstep == STEPADV)
            idadv = idend;
    // clang-format off
    ORVIK_ASSERT(idadv >= 0 && steps[idend].idstep == 0 && steps[idend + 1].idstep == 0);
    // clang-format on
    if (idadv < 0 || steps[idend].idstep != 0 || steps[idend + 1].idstep != 0)
        return false;
    for (int i = idend - 1; i >= idadv; --i)
        steps[i + 2] = steps[i];
    // clang-format off
    ORVIK_ASSERT(steps[idend+1].idstep==STEPFINISH);
    // clang-format on
    steps[idadv] = first;
    steps[idadv + 1] = second;
    idadv += 2;
    // clang-format off
    ORVIK_ASSERT(steps[idadv].idstep==STEPADV);
    // clang-format on
    LogPrintf("SETUP::NewSetupHookKYR steps %d and %d inserted at %d\n", static_cast<int>(first.idstep),
              static_cast<int>(second.idstep), idadv - 2);
    return true;
}

void SubsystemCodes(const STRING& profile, int listentry, STRING* first, STRING* second) {
    const int choice = profile.ToInt();
    *first = choice >= 1 && choice <= 3 ? "12#" : (choice == 4 ? "21#" : "11#");
    *second = "11#";
    const char level = listentry == 0 ? '0' : (listentry == 2 ? '2' : '1');
    (*first)[2] = level;
    (*second)[2] = level;
}

STRING AdminIniText(const STRING& folder, const STRING& scriptfolder, bool sharedinstall,
                    const STRING& profile, const STRING (&subsystems)[2]) {
    STRING text("");
    text.AppendPrintf("ConfigDataFolder=\"%s\"\n", folder.Text());
    if (scriptfolder.NotEmpty())
        text.AppendPrintf("DefaultScriptFolder=\"%s\"\n", scriptfolder.Text());
    if (sharedinstall)
        text.Append("SharedInstall=yes\n");
    text.Append("SetupCreatedConfig=yes\n");
    text.AppendPrintf("SetupDefaultConfig=\"%s\"\n", profile.Text());
    text.AppendPrintf("SetupSubsystems=\"%.3s00000.%.3s00000\"", subsystems[0].Text(), subsystems[1].Text());
    return text;
}
