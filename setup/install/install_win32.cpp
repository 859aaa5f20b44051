// RunInstall: the install driver, and the step table of the install wizard.
#include "setup/install/install.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/winhandles.h"
#include "setup/config.h"
#include "setup/deletionguard.h"
#include "setup/exitcodes.h"
#include "setup/install/copypage.h"
#include "setup/install/installation.h"
#include "setup/install/installstate.h"
#include "setup/install/installwizard.h"
#include "setup/install/pages.h"
#include "setup/install/shortcuts.h"
#include "setup/install/unattended.h"
#include "setup/products/producthooks.h"
#include "setup/record/installrecord.h"
#include "setup/record/recovery.h"
#include "setup/res/messages.h"
#include "setup/runmode.h"
#include "setup/setuphooks.h"
#include "setup/switchaliases.h"

namespace {

constexpr int OSTYPE_XP_OR_OLDER = 4; // the DAO check runs only below this OS type

const char* const SHARED_TOOLS_KEY = "Software\\Microsoft\\Shared Tools";
const char* const APP_PATHS_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

SETUPSTEP StandardStep(intptr_t id, intptr_t title, intptr_t templ, SETUPPAGEFUNCTION page) {
    return SETUPSTEP{id, title, title + 1, templ, nullptr, page, 0};
}

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

// Logged always; shown unless the run answers every question by itself ("/VERYSILENT", "/SUPPRESSMSGBOXES").
void ShowError(const RUNMODE& mode, int message) {
    LogPrintf("SETUP::RunInstall error %d\n", message);
    if (mode.Unattended() && mode.AnswersByDefault()) {
        LogPrintf("SETUP::RunInstall unattended: %s\n", Message(message).Text());
        return;
    }
    WINORVIK::ErrorMsgBox(nullptr, Message(IDS_MSGBOX_TITLE).Text(), Message(message).Text());
}

// Another setup of the product, or an uninstall of it (whose mutex the uninstall driver names the same way),
// is running. Otherwise the returned mutex marks this run as the product's setup until the process ends.
bool AnotherRunOfTheProduct(const STRING& appname, std::unique_ptr<MUTEXSEM>& mine) {
    mine = std::make_unique<MUTEXSEM>(false, ("Orvik_Setup_" || appname).Text());
    HANDLE uninstall = OpenMutexA(SYNCHRONIZE, FALSE, ("Orvik_Uninstall_" || appname).Text());
    if (uninstall)
        CloseHandle(uninstall);
    return mine->AlreadyExisted() || uninstall != nullptr;
}

// A registry value as text, cut at its first zero byte; empty when it cannot be read.
STRING ReadText(REGISTRY& key, const char* value) {
    STRING text;
    if (!key.Read(value, text) || text.c_str() == nullptr)
        return STRING("");
    return STRING(text.c_str());
}

bool LibraryLoads(const STRING& path) {
    const LIBRARYHANDLE library(LoadLibraryA(path.Text()));
    LogPrintf("SETUP::LibraryLoads %s: %s\n", path.Text(), library ? "yes" : "no");
    return static_cast<bool>(library);
}

// The engine's path from the older "Path" records: dao360.dll, else dao350.dll or DAO350 with the 3.5 file
// name turned into the 3.6 one.
STRING RecordedEnginePath() {
    REGISTRY dao360(REGISTRY::LocalMachine(), SHARED_TOOLS_KEY, "dao360.dll", REGISTRY::MODE_READ);
    STRING path = ReadText(dao360, "Path");
    if (path.NotEmpty())
        return path;
    for (const char* older : {"dao350.dll", "DAO350"}) {
        REGISTRY key(REGISTRY::LocalMachine(), SHARED_TOOLS_KEY, older, REGISTRY::MODE_READ);
        path = ReadText(key, "Path");
        if (path.NotEmpty()) {
            int at = -1;
            if (path.iFind("350.dll", &at)) {
                path.Delete(at, 7);
                path.Insert("360.dll", at);
            }
            return path;
        }
    }
    return STRING("");
}

bool PackageRequirementsMet(INSTALLSTATE& state, const RUNMODE& mode) {
    const CONFIGREADER config(state.Config);
    const STRINGARRAY required = config.List("CheckDll");
    for (int i = 0; i < required.Count(); ++i) {
        if (StringCompareNoCase(required.Get(i)->Text(), "dao360") != 0)
            continue;
        if (OSYS::GetOSType() >= OSTYPE_XP_OR_OLDER)
            continue; // later systems bring the engine along
        if (!DatabaseEngineLoadable()) {
            ShowError(mode, IDS_ERR_DATABASE_ENGINE);
            return false;
        }
    }
    if (config.Number("ActiveSyncInstall") != 0) {
        state.DeviceManagerPath = FindDeviceManager();
        if (state.DeviceManagerPath.IsEmpty()) {
            ShowError(mode, IDS_ERR_DEVICE_MANAGER);
            return false;
        }
    }
    return true;
}

STRING WizardCaption(const STRING& appname) {
    STRING caption = Message(IDS_MSGBOX_TITLE);
    caption.Replace("Orvik", appname.Text());
    return caption;
}

void TellInstallationComplete(const STRING& appname) {
    STRING text = Message(IDS_INSTALL_COMPLETE);
    text.Replace("$PROGRAM", appname.Text());
    const STRING title = Message(IDS_MSGBOX_TITLE) || " " || appname;
    WINORVIK::InfoMsgBox(nullptr, title.Text(), text.Text());
}

void OpenStartmenuFolder(const STRING& folder) {
    if (folder.IsEmpty() || !FILENAME(folder).IsDirectory())
        return;
    LogPrintf("SETUP::RunInstall opens %s\n", folder.Text());
    ShellExecuteA(nullptr, "open", folder.Text(), nullptr, folder.Text(), SW_SHOWNORMAL);
}

// A built-in product hook sees the run's state until the run ends, whichever way it ends. A hook library's
// NewSetupHook takes precedence over it.
class PRODUCTHOOKRUN {
public:
    explicit PRODUCTHOOKRUN(const INSTALLSTATE& state)
        : Choice(ChooseBuiltInProductHook(state, NewSetupHook != NewSetupHookDummy)) {
        if (Choice.Hook)
            NewSetupHook = Choice.Hook;
    }
    ~PRODUCTHOOKRUN() { ReleaseBuiltInProductHooks(); }
    // A product with hooks in the engine starts itself at the end: its start-menu folder is not opened.
    bool OpensStartmenuFolder() const { return !Choice.BuiltIn; }
    PRODUCTHOOKRUN(const PRODUCTHOOKRUN&) = delete;
    PRODUCTHOOKRUN& operator=(const PRODUCTHOOKRUN&) = delete;

private:
    const PRODUCTHOOKCHOICE Choice;
};

} // namespace

void BuildInstallSteps(SETUPSTEP (&steps)[INSTALL_STEP_COUNT]) {
    for (SETUPSTEP& step : steps)
        step = SETUPSTEP{};
    steps[0] = StandardStep(STEPWELCOME, IDS_WELCOME_TITLE, IDD_PAGE_WELCOME, WelcomePage);
    steps[1] = StandardStep(STEPLICENCE, IDS_LICENCE_TITLE, IDD_PAGE_LICENCE, LicencePage);
    steps[2] = StandardStep(STEPDESTINATION, IDS_DEST_TITLE, IDD_PAGE_DESTINATION, DestinationPage);
    steps[3] = StandardStep(STEPCOPY, IDS_COPY_TITLE, IDD_PAGE_COPY, CopyPage);
    steps[4] = StandardStep(STEPSHORTCUTS, IDS_SHORTCUT_TITLE, IDD_PAGE_SHORTCUTS, ShortcutPage);
    steps[5] = StandardStep(STEPADV, IDS_ADVERTISE_TITLE, IDD_PAGE_ADVERTISE, AdvertisePage);
    steps[6] = StandardStep(STEPFINISH, IDS_FINISH_TITLE, IDD_PAGE_FINISH, FinishPage);
    steps[INSTALL_STEP_COUNT - 1].idstep = STEPEND;
}

PREVIOUSINSTALL ReadPreviousInstall(const STRING& inikey) {
    PREVIOUSINSTALL previous{STRING(""), STRING("")};
    if (inikey.IsEmpty())
        return previous;
    REGISTRY entry(REGISTRY::LocalMachine(), UNINSTALL_BASE_KEY, inikey.Text(), REGISTRY::MODE_READ);
    previous.Path = ReadText(entry, "UninstallPath");
    previous.Version = ReadText(entry, "DisplayVersion");
    LogPrintf("SETUP::ReadPreviousInstall %s: UninstallPath '%s', DisplayVersion '%s'\n", inikey.Text(),
              previous.Path.Text(), previous.Version.Text());
    return previous;
}

STRING ChooseInstallDir(const STRING& recordedpath, const STRING& installpath, const STRING& programfiles) {
    if (recordedpath.NotEmpty() && FILENAME(recordedpath).IsDirectory())
        return recordedpath;
    const STRING path = installpath.NotNull() ? installpath : STRING("");
    if (path.Length() > 0 && path[0] == '*')
        return path.Mid(1);
    return (programfiles.NotNull() ? programfiles : STRING("")) || path;
}

bool DatabaseEngineLoadable() {
    REGISTRY shared(REGISTRY::LocalMachine(), "Software\\Microsoft", "Shared Tools", REGISTRY::MODE_READ);
    const STRING folder = ReadText(shared, "SharedFilesDir");
    if (folder.NotEmpty() && LibraryLoads(folder || "DAO\\dao360.dll"))
        return true;
    const STRING path = RecordedEnginePath();
    return path.NotEmpty() && LibraryLoads(path);
}

STRING FindDeviceManager() {
    REGISTRY entry(REGISTRY::LocalMachine(), APP_PATHS_KEY, "CEAppMgr.exe", REGISTRY::MODE_READ);
    const STRING path = ReadText(entry, nullptr);
    if (path.IsEmpty() || !FILENAME(path).Exists())
        return STRING("");
    return path;
}

int DeleteAfterExtract(const STRING& list, const STRING& installdir) {
    int deleted = 0;
    for (const STRING& file : ListFields(list))
        deleted += DeleteFileBelow(installdir, file, "DeleteAfterExtract") ? 1 : 0;
    return deleted;
}

// Before anything else, what an interrupted run of the product left half done is put back, in every folder
// this run may install into; the wizard tells the person in one sentence. True when there was such a run.
bool RecoverFirst(const INSTALLSTATE& state, const PREVIOUSINSTALL& previous, const STRING& requested,
                  const RUNMODE& mode) {
    const CONFIGREADER config(state.Config);
    const STRING inikey = HasUninstallEntry(state.Config) ? config.Text("IniKey") : STRING("");
    int recovered = 0;
    std::vector<STRING> done;
    for (const STRING& folder : {previous.Path, state.Choices.InstallDir, requested}) {
        if (folder.IsEmpty() || std::any_of(done.begin(), done.end(),
                                            [&](const STRING& seen) { return SameFileName(seen, folder); }))
            continue;
        done.push_back(folder);
        recovered += RecoverInterruptedRuns(folder, inikey);
    }
    if (recovered == 0)
        return false;
    LogPrintf("SETUP::RunInstall %d interrupted run(s) undone\n", recovered);
    if (!mode.Unattended()) {
        STRING text = Message(IDS_INTERRUPTED_RUN_UNDONE);
        text.Replace("$PROGRAM", config.Text("AppName").Text());
        WINORVIK::InfoMsgBox(nullptr, WizardCaption(config.Text("AppName")).Text(), text.Text());
    }
    return true;
}

// The destination before any page: an earlier version's folder or InstallPath, after what an interrupted
// run left half done is put back; "/DIR" decides in an unattended run, and in the wizard unless an earlier
// version is updated in its folder. Returns the earlier installation as it stands now.
PREVIOUSINSTALL ChooseDestination(INSTALLSTATE& state, const RUNMODE& mode) {
    const CONFIGREADER config(state.Config);
    const STRING inikey = config.Text("IniKey", "");
    PREVIOUSINSTALL previous = ReadPreviousInstall(inikey);
    state.Choices.InstallDir = ChooseInstallDir(previous.Path, config.Text("InstallPath", ""),
                                                OSYS::GetSystemPath(OSYS::SYSTEMPATH_PROGRAMFILES));
    const STRING given = GetArgValue("DIR", 0);
    const STRING requested =
        given.NotNull() ? STRING(AbsoluteFromStartDir(given.Text(), gStartDir.Text()).c_str()) : given;
    if (RecoverFirst(state, previous, requested, mode)) {
        previous = ReadPreviousInstall(inikey); // an undone first installation leaves no earlier version
        state.Choices.InstallDir = ChooseInstallDir(previous.Path, config.Text("InstallPath", ""),
                                                    OSYS::GetSystemPath(OSYS::SYSTEMPATH_PROGRAMFILES));
    }
    // In an unattended run the administrator's word counts, even over an earlier version's folder.
    if (requested.NotEmpty() && mode.Unattended())
        state.Choices.InstallDir = requested;
    else if (requested.NotEmpty() && previous.Found())
        LogPrintf("SETUP::RunInstall /DIR ignored: the earlier version is updated in its folder\n");
    else if (requested.NotEmpty())
        state.Choices.InstallDir = requested;
    LogPrintf("SETUP::RunInstall %s into %s\n", state.ProductTitle.Text(), state.Choices.InstallDir.Text());
    return previous;
}

int RunInstall() {
    LogPrintf("SETUP::RunInstall\n");
    const RUNMODE mode = ReadRunMode();
    SETUPSTEP steps[INSTALL_STEP_COUNT];
    BuildInstallSteps(steps);

    INSTALLATION installation;
    INSTALLSTATE& state = installation.State();
    state.Unattended = mode.Unattended();
    if (!LoadSetupConfiguration(state.Config, SETUP_CONFIG_FILE)) {
        ShowError(mode, IDS_ERR_CONFIG_MISSING);
        return SETUP_EXIT_CANNOT_START;
    }
    if (!PackageRequirementsMet(state, mode))
        return SETUP_EXIT_PREREQUISITE_MISSING;
    const PRODUCTHOOKRUN producthook(state);

    CallSetupHook(SETUPHOOK_START, nullptr);
    CallNewSetupHook(NEWHOOK_STEP_TABLE, 0, 0, 0, 0, reinterpret_cast<intptr_t>(steps));
    CallNewSetupHook(NEWHOOK_CONFIGURATION, gLocale, 0, 0, 0, reinterpret_cast<intptr_t>(&state.Config));
    PostProcessConfig(state.Config, Message(IDS_LANGUAGE_SUFFIX));

    const CONFIGREADER config(state.Config);
    const STRING appname = config.Text("AppName", "");
    std::unique_ptr<MUTEXSEM> running;
    if (AnotherRunOfTheProduct(appname, running)) {
        ShowError(mode, IDS_ERR_ALREADY_RUNNING);
        LogPrintf("SETUP::~RunInstall exit code %d\n", SETUP_EXIT_IN_PROGRESS);
        return SETUP_EXIT_IN_PROGRESS;
    }
    state.ProductTitle = appname || " " || config.Text("AppVersion", "");
    const PREVIOUSINSTALL previous = ChooseDestination(state, mode);

    int result = 0;
    std::unique_ptr<INSTALLWIZARD> wizard;
    if (mode.Unattended()) {
        const SETUPEXITCODE refused = ChooseUnattended(state, previous);
        if (refused != SETUP_EXIT_SUCCESS) {
            LogPrintf("SETUP::~RunInstall exit code %d\n", refused);
            return refused;
        }
        result = RunUnattendedInstall(installation, mode, steps);
    } else {
        wizard = std::make_unique<INSTALLWIZARD>(installation, WizardCaption(appname).Text(),
                                                 Message(IDS_ASK_CONTINUE_SETUP).Text(), -1);
        wizard->SetHook(NewSetupHook);
        result = wizard->RunSteps(steps, STEPFINISH);
    }
    LogPrintf("SETUP::RunInstall wizard result %d\n", result);

    if (result == 1)
        CallSetupHook(SETUPHOOK_INSTALLED, state.Choices.InstallDir.Text());
    CallNewSetupHook(NEWHOOK_WIZARD_ENDED, result);
    DeleteAfterExtract(config.Text("DeleteAfterExtract", ""), state.Choices.InstallDir);
    if (wizard)
        wizard->Hide();

    if (result == 1) {
        // Nobody to tell and no folder to open when nothing is to be shown.
        if (wizard && config.Number("NoFinalPopup") == 0)
            TellInstallationComplete(appname);
        if (wizard && producthook.OpensStartmenuFolder())
            OpenStartmenuFolder(state.StartmenuFolder);
        CallNewSetupHook(NEWHOOK_LAST_ACTION, result);
    }
    const SETUPEXITCODE exitcode = InstallExitCode(result, state.Copy, state.CopyError);
    LogPrintf("SETUP::~RunInstall exit code %d\n", exitcode);
    return exitcode;
}
