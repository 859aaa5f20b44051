#include "setup/install/unattended.h"

#include <memory>

#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/timetext.h"
#include "setup/config.h"
#include "setup/install/installation.h"
#include "setup/install/installstate.h"
#include "setup/install/pages.h"
#include "setup/install/shortcutentries.h"
#include "setup/products/producthooks.h"
#include "setup/record/installrecord.h"
#include "setup/res/resourceids.h"
#include "setup/wizard/progresswindow.h"

namespace {

// "/SHORTCUTS:USER|ALL|NONE" on top of the radio button the shortcut page proposes; false for an unknown
// value: an administrator's typing mistake must not install something else than was meant.
bool ChooseStartMenu(const SHORTCUTPAGESETUP& proposed, STARTMENUCHOICE& choice) {
    choice =
        proposed.CheckedRadio == IDC_SHORTCUT_NONE ? STARTMENUCHOICE::None : STARTMENUCHOICE::CurrentUser;
    const STRING value = GetArgValue("SHORTCUTS", 0);
    if (value.IsEmpty())
        return true;
    if (StringCompareNoCase(value.Text(), "USER") == 0)
        choice = STARTMENUCHOICE::CurrentUser;
    else if (StringCompareNoCase(value.Text(), "ALL") == 0)
        choice = STARTMENUCHOICE::AllUsers;
    else if (StringCompareNoCase(value.Text(), "NONE") == 0)
        choice = STARTMENUCHOICE::None;
    else
        return false;
    return true;
}

// "/DESKTOPICON" and "/NODESKTOPICON" on top of the page's check box; nothing when the package offers no
// desktop entry (the page then hides its box).
bool ChooseDesktopIcon(const SHORTCUTPAGESETUP& proposed) {
    if (!proposed.ShowDesktopBox)
        return false;
    if (TestArg("NODESKTOPICON"))
        return false;
    return TestArg("DESKTOPICON") || proposed.DesktopChecked;
}

const char* StartMenuName(STARTMENUCHOICE choice) {
    switch (choice) {
    case STARTMENUCHOICE::CurrentUser:
        return "current user";
    case STARTMENUCHOICE::AllUsers:
        return "all users";
    case STARTMENUCHOICE::None:
        break;
    }
    return "none";
}

// The destination as the destination page leaves it, and the page's two checks without a page: a refused
// folder or a drive too small ends the run before anything is copied.
// SETUP_EXIT_SUCCESS when the destination will do; else why not, as an exit code.
SETUPEXITCODE DestinationUsable(INSTALLSTATE& state) {
    const CONFIGREADER config(state.Config);
    const STRING appname = config.Text("AppName", "");
    if (config.Number("ActiveSyncInstall") != 0) {
        state.Choices.InstallDir = DeviceManagerInstallDir(state.DeviceManagerPath, appname);
        return SETUP_EXIT_SUCCESS;
    }
    state.Choices.InstallDir = NormaliseInstallDir(state.Choices.InstallDir, appname);
    STRING refusal = DestinationRefusal(state.Choices.InstallDir);
    if (refusal.NotEmpty()) {
        LogPrintf("SETUP::RunInstall unattended: %s\n", refusal.Text());
        return SETUP_EXIT_INVALID_PARAMETER;
    }
    refusal = SpaceShortage(state.Config, state.Choices.InstallDir);
    if (refusal.NotEmpty()) {
        LogPrintf("SETUP::RunInstall unattended: %s\n", refusal.Text());
        return SETUP_EXIT_DISK_FULL;
    }
    return SETUP_EXIT_SUCCESS;
}

bool IsStandardStep(intptr_t idstep) {
    return idstep >= STEPWELCOME && idstep <= STEPFINISH;
}

// The steps a hook inserted into the table, in their order (after the shortcuts, where the wizard shows
// them): the built-in hook's take what their pages propose; a hook library's pages have nobody to ask.
void TakeHookStepProposals(const INSTALLSTATE& state, INTERACTION& interaction,
                           const SETUPSTEP (&steps)[INSTALL_STEP_COUNT]) {
    for (const SETUPSTEP& step : steps) {
        if (step.idstep == STEPEND)
            break;
        if (step.idstep == 0 || IsStandardStep(step.idstep))
            continue;
        if (!TakeBuiltInHookProposals(step.idstep, state, interaction))
            LogPrintf("SETUP::RunInstall unattended: the hook's step %d has no page here, skipped\n",
                      static_cast<int>(step.idstep));
    }
}

} // namespace

SETUPEXITCODE ChooseUnattended(INSTALLSTATE& state, const PREVIOUSINSTALL& previous) {
    const CONFIGREADER reader(state.Config);
    const CONFIGREADER config(state.Config);
    CHOICES& choices = state.Choices;
    choices.InstallMode = ProposeInstallKind(previous.Found(), previous.Version,
                                             config.Text("AppVersion", ""), choices.InstallMode)
                              .Mode;
    // Starting an unattended installation is the administrator's acceptance of the licence.
    choices.LicenceAccepted = true;
    const STRING warning = WelcomeWarningToShow(config.Text("WelcomeWarning", ""), TIMETEXT::DateNow());
    if (warning.NotEmpty())
        LogPrintf("SETUP::RunInstall unattended: the welcome warning is not shown: %s\n", warning.Text());

    const DESKTOPCANDIDATE candidate =
        FindDesktopCandidate(reader.Text("StartmenuOpts"), reader.Text("DesktopIcon"));
    const SHORTCUTPAGESETUP proposed = PrepareShortcutPage(choices.InstallMode, candidate);
    if (!ChooseStartMenu(proposed, choices.StartMenu)) {
        LogPrintf("SETUP::RunInstall unattended: /SHORTCUTS:%s is not USER, ALL or NONE\n",
                  GetArgValue("SHORTCUTS", 0).Text());
        return SETUP_EXIT_INVALID_PARAMETER;
    }
    choices.DesktopIcon = ChooseDesktopIcon(proposed);
    if (const SETUPEXITCODE refused = DestinationUsable(state); refused != SETUP_EXIT_SUCCESS)
        return refused;
    LogPrintf("SETUP::RunInstall unattended: mode %s, licence accepted, into %s, start menu %s, desktop %d\n",
              choices.InstallMode.Text(), choices.InstallDir.Text(), StartMenuName(choices.StartMenu),
              choices.DesktopIcon);
    return SETUP_EXIT_SUCCESS;
}

int RunUnattendedInstall(INSTALLATION& installation, const RUNMODE& mode,
                         const SETUPSTEP (&steps)[INSTALL_STEP_COUNT]) {
    std::unique_ptr<INTERACTION> interaction;
    if (mode.Ui == UIMODE::Silent)
        interaction =
            std::make_unique<PROGRESSWINDOW>(installation.State().ProductTitle, !mode.AnswersByDefault());
    else
        interaction = std::make_unique<QUIETINTERACTION>();

    // What a hook does when the destination page is left, it does for the chosen destination.
    TakeBuiltInHookProposals(STEPDESTINATION, installation.State(), *interaction);
    if (installation.Copy(*interaction) != COPYOUTCOME::Finished)
        return 0;
    installation.MakeShortcuts();
    TakeHookStepProposals(installation.State(), *interaction, steps);
    return 1;
}
