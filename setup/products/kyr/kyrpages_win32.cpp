// The two pages of the KYR product hooks: the configuration profile and the folder for the user's data,
// which, when left with Next, writes "admin.ini" and takes the earlier settings over.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "lib/textcodec.h"
#include "setup/config.h"
#include "setup/deletionguard.h"
#include "setup/install/installstate.h"
#include "setup/install/installwizard.h"
#include "setup/products/kyr/kyrproducthook.h"
#include "setup/res/messages.h"

namespace {

constexpr int CHOICE_PROFILE = 1;
constexpr int CHOICE_APPDATA = 2;
constexpr int CHOICE_DESTINATION = 3;
constexpr int CHOICE_SHARED = 4;
constexpr int CHOICE_CUSTOM = 5;
constexpr int OSTYPE_VISTA_OR_LATER = 5;
constexpr int PRESET_LEVEL_ENTRY = 2;

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

bool ExistsIn(const STRING& folder, const char* name) {
    return GetFileAttributesA(FILENAME(folder.Text(), name).Text()) != INVALID_FILE_ATTRIBUTES;
}

void AddChoices(DATADIALOG* page, STRING& choice) {
    for (int id = IDC_KYR_CHOICE_FIRST; id <= IDC_KYR_CHOICE_LAST; ++id)
        page->AddItem(new DATARADIO(id, choice, id - IDC_KYR_CHOICE_FIRST + 1));
}

// The custom folder and its browse button follow the last choice.
void FollowCustomChoice(HWND page) {
    const bool custom = IsDlgButtonChecked(page, IDC_KYR_CHOICE_LAST) == BST_CHECKED;
    EnableWindow(GetDlgItem(page, IDC_KYR_CUSTOM_FOLDER), custom);
    EnableWindow(GetDlgItem(page, IDC_KYR_CUSTOM_BROWSE), custom);
}

LRESULT CustomChoiceHook(WINDOW* page, UINT message, WPARAM, LPARAM) {
    if (message == WM_COMMAND)
        FollowCustomChoice(page->Hwnd());
    return 0;
}

void BrowseCustomFolder(void*, intptr_t, HWND page, STRING&) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const STRING title = Message(IDS_USERDATA_TITLE);
    BROWSEINFOA info = {};
    info.hwndOwner = page;
    info.lpszTitle = title.Text();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    if (LPITEMIDLIST chosen = SHBrowseForFolderA(&info)) {
        char folder[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, folder))
            SetDlgItemTextA(page, IDC_KYR_CUSTOM_FOLDER, folder);
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

void AppendToLabel(HWND page, int id, const STRING& text) {
    CONTROL label(page, id);
    label.SetText((label.GetText() || text).Text());
}

} // namespace

bool KYRPRODUCTHOOK::PagesApply(const INSTALLSTATE& install) const {
    return install.Choices.InstallMode == "0" && !HookState.EarlierFilesPresent &&
           !ExistsIn(install.Choices.InstallDir, "admin.ini");
}

int KYRPRODUCTHOOK::ProfilePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    if (!PagesApply(InstallationOf(wizard).State()))
        return PAGE_REPEAT_DIRECTION;
    AddChoices(page, HookState.Profile);
    STRING level;
    level.Printf("%d", PRESET_LEVEL_ENTRY);
    page->AddItem(new DATALIST(IDC_KYR_LEVEL_LIST, level, STRINGARRAY(Message(IDS_FEATURE_LEVEL_LIST), "|")));
    const int result = wizard->RunPage();
    if (result != PAGE_CLOSE)
        TakeProfile(level);
    return result;
}

void KYRPRODUCTHOOK::TakeProfile(const STRING& level) {
    SubsystemCodes(HookState.Profile, level.ToInt(), &HookState.Subsystems[0], &HookState.Subsystems[1]);
    LogPrintf("SETUP::NewSetupHookKYR%d profile %s, level %s, subsystems %s %s\n", Generation.Version,
              HookState.Profile.Text(), level.Text(), HookState.Subsystems[0].Text(),
              HookState.Subsystems[1].Text());
}

void KYRPRODUCTHOOK::WriteFallbackConfig(const STRING& destination) const {
    if (ExistsIn(destination, "admin.ini"))
        return;
    const STRING text("ConfigDataFolder=\"%KYR%\"\nInstallerConfig=yes\n");
    const bool written = text.Save(FILENAME(destination.Text(), "admin.ini").Text(), "w");
    LogPrintf("SETUP::NewSetupHookKYR%d admin.ini for the installer's folder: %d\n", Generation.Version,
              written ? 1 : 0);
    SetForceWorkdir(1);
}

STRING KYRPRODUCTHOOK::ChosenFolder(int choice, const STRING& custom, const STRING& destination) const {
    const bool german = HookState.Language == LANG_ID_GERMAN;
    switch (choice) {
    case CHOICE_PROFILE:
        return STRING("%USERPROFILE%\\") || Generation.ProfileFolder[german ? 1 : 0];
    case CHOICE_APPDATA:
        return STRING(Generation.AppDataFolder);
    case CHOICE_DESTINATION:
        return destination || "\\" || (german ? "Benutzerdateien" : "Userfiles");
    case CHOICE_SHARED:
        return STRING(Generation.SharedFolder);
    default:
        return custom;
    }
}

int KYRPRODUCTHOOK::UserDataPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    const INSTALLSTATE& install = InstallationOf(wizard).State();
    const STRING& destination = install.Choices.InstallDir;
    if (!PagesApply(install)) {
        WriteFallbackConfig(destination);
        return PAGE_REPEAT_DIRECTION;
    }
    const bool german = HookState.Language == LANG_ID_GERMAN;
    HWND window = page->Hwnd();
    STRING choice("1");
    STRING custom("%USERPROFILE%");
    STRING unused;
    AddChoices(page, choice);
    page->AddItem(new DATAENTRY(IDC_KYR_CUSTOM_FOLDER, custom, KYR_CUSTOM_FOLDER_MAX));
    page->AddItem(new DATAPUSHBUTTON(IDC_KYR_CUSTOM_BROWSE, unused, BrowseCustomFolder, nullptr, 0));

    CONTROL profile(window, IDC_KYR_CHOICE_FIRST);
    STRING label = profile.GetText();
    label.Replace("$(PATH)", Generation.ProfileFolder[german ? 1 : 0]);
    profile.SetText(label.Text());
    AppendToLabel(window, CHOICE_DESTINATION + IDC_KYR_CHOICE_FIRST - 1,
                  " (" || ChosenFolder(CHOICE_DESTINATION, custom, destination) || ")");
    CONTROL(window, IDC_KYR_CHOICE_FIRST + CHOICE_SHARED - 1).Enable(install.Choices.ForAllUsers());
    if (OSYS::GetOSType() == OSTYPE_VISTA_OR_LATER)
        CONTROL(window, IDC_KYR_CHOICE_FIRST + CHOICE_DESTINATION - 1).Disable();
    page->SetWindowHook(CustomChoiceHook);

    int result;
    for (;;) {
        FollowCustomChoice(window);
        result = wizard->RunPage();
        FollowCustomChoice(window);
        if (result == PAGE_CLOSE)
            return result;
        // An empty folder of one's own is no folder: the page stays.
        if (choice.ToInt() != CHOICE_CUSTOM || custom.NotEmpty())
            break;
    }
    const HWND owner = wizard->Hwnd();
    CommitUserData(
        [owner](const STRING& title, const STRING& question) {
            return WINORVIK::YesNoMsgBox(owner, title.Text(), question.Text());
        },
        install, choice.ToInt(), custom);
    return result;
}

bool KYRPRODUCTHOOK::TakeProposals(intptr_t idstep, const INSTALLSTATE& install, INTERACTION& interaction) {
    if (idstep == STEPDESTINATION) {
        CheckDestinationFolder(install.Choices.InstallDir);
        return true;
    }
    if (idstep != STEPKYRPROFILE && idstep != STEPKYRUSERDATA)
        return false;
    LogPrintf("SETUP::NewSetupHookKYR%d step %d without its page: what the page proposes\n",
              Generation.Version, static_cast<int>(idstep));
    if (!PagesApply(install)) {
        if (idstep == STEPKYRUSERDATA)
            WriteFallbackConfig(install.Choices.InstallDir);
        return true;
    }
    if (idstep == STEPKYRPROFILE) {
        STRING level;
        level.Printf("%d", PRESET_LEVEL_ENTRY);
        TakeProfile(level);
        return true;
    }
    // The page's first choice, the folder in the user's profile; the question proposes taking over.
    CommitUserData(
        [&interaction](const STRING& title, const STRING& question) {
            return interaction.AskYesNo(title.Text(), question.Text(), true);
        },
        install, CHOICE_PROFILE, STRING(""));
    return true;
}

bool KYRPRODUCTHOOK::AskMigration(const ASKYESNO& ask, const STRING& destination) const {
    const STRING candidate = Generation.MigrationCandidate(HookState.Earlier, destination);
    if (candidate.IsEmpty())
        return false;
    STRING question;
    question.Printf(Message(IDS_ASK_MIGRATE_SETTINGS).Text(), HookState.Earlier.HomePath.Text());
    const bool yes = ask(Message(IDS_MSGBOX_TITLE), question);
    LogPrintf("SETUP::NewSetupHookKYR%d take over the settings of %s: %d\n", Generation.Version,
              candidate.Text(), yes ? 1 : 0);
    return yes;
}

void KYRPRODUCTHOOK::CommitUserData(const ASKYESNO& ask, const INSTALLSTATE& install, int choice,
                                    const STRING& custom) {
    const STRING& destination = install.Choices.InstallDir;
    const STRING folder = ChosenFolder(choice, custom, destination);
    LogPrintf("SETUP::NewSetupHookKYR%d user data folder %d: %s\n", Generation.Version, choice,
              folder.Text());
    if (choice != CHOICE_CUSTOM) {
        REGISTRY entry(REGISTRY::LocalMachine(), "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                       Generation.OwnKey, REGISTRY::MODE_WRITE);
        if (!entry.IsOpen() || !entry.Write("%KYRFILES%", folder.Text()))
            LogPrintf("SETUP::NewSetupHookKYR%d %%KYRFILES%% not recorded in %s\n", Generation.Version,
                      Generation.OwnKey);
    }

    const FILENAME scripts(destination.Text(), "Script");
    const STRING scriptfolder = EqualsNoCase(folder.Text(), destination.Text()) && scripts.IsDirectory()
                                    ? STRING(scripts)
                                    : STRING("");
    const STRING text =
        AdminIniText(folder, scriptfolder, Generation.SharedInstallLine && choice == CHOICE_SHARED,
                     HookState.Profile, HookState.Subsystems);
    const FILENAME admin(destination.Text(), "admin.ini");
    const FILENAME backup(destination.Text(), "admin.ini.bak");
    if (ExistsIn(destination, "admin.ini") && !ExistsIn(destination, "admin.ini.bak"))
        admin.Copy(backup.Text(), false);
    const bool written = text.Save(admin.Text(), "w");
    LogPrintf("SETUP::NewSetupHookKYR%d admin.ini written: %d\n", Generation.Version, written ? 1 : 0);

    const FILENAME target(folder);
    MakeDirectoryPath(target.Text());
    const STRING inikey = CONFIGREADER(install.Config).Text("IniKey", "");
    if (inikey.NotEmpty())
        REGISTRY(REGISTRY::CurrentUser(), "Software\\Orvik", inikey.Text(), REGISTRY::MODE_WRITE)
            .DeleteValue("UserConfigFolder");

    // Settings are copied only into a folder of the product's own: never a drive root, nor a folder of the
    // system or the user (or one that holds such a folder), where they would lie loose among other files.
    const TREEVERDICT verdict = SystemGuard(STRING(""), false).JudgeTree(TEXTCODEC::ToWide(target.Text()));
    const bool owned = verdict == TREEVERDICT::Allowed;
    if (!owned)
        LogPrintf("SETUP::NewSetupHookKYR%d nothing is taken over into %s: %s\n", Generation.Version,
                  target.Text(), TreeVerdictText(verdict));
    const bool migrate = owned && AskMigration(ask, destination);
    Generation.Migrate(target, migrate, HookState.Earlier);
    SetForceWorkdir(migrate ? 1 : 2);
}
