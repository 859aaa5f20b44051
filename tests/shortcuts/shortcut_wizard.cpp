// A wizard with only the shortcut step, as the install driver would run it after copying: the test sets up
// the configuration and the install state through the arguments, a person (the robot) uses the page.
//   shortcut_wizard.exe setup.cfg installdir installmode resultfile [logfile]
// The exit code is the wizard's result (1 completed, 0 cancelled); the result file receives the shared
// state the page decided, one "name=value" line each.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/win/commoncontrols.h"
#include "setup/install/installation.h"
#include "setup/install/installwizard.h"
#include "setup/install/shortcuts.h"
#include "setup/res/messages.h"

namespace {

constexpr const char* Caption = "Orvik Shortcut Test";
constexpr int BadArguments = 90;
constexpr int NoLanguageLibrary = 91;
constexpr int NoConfiguration = 92;

// The finishing step closes at once: the test only looks at the shortcut step.
int CloseAtOnce(SETUPDIALOGBOX*, DATADIALOG*) {
    return PAGE_CLOSE;
}

SETUPSTEP Step(intptr_t id, int title, int templ, SETUPPAGEFUNCTION page) {
    return SETUPSTEP{id, title, title + 1, templ, nullptr, page, 0};
}

void WriteResult(const char* file, int result, const INSTALLSTATE& install) {
    FILE* out = std::fopen(file, "wb");
    if (out == nullptr)
        return;
    std::fprintf(out, "wizard=%d\nallusers=%s\nstartmenufolder=%s\n", result,
                 install.Choices.ForAllUsers() ? "1" : "0", install.StartmenuFolder.Text());
    std::fclose(out);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 5)
        return BadArguments;
    SetAssertSilent(true);
    if (__argc > 5)
        LogitOption((STRING("/LOGIT:") || __argv[5]).Text());
    InitialiseCommonControls();

    HMODULE library = LoadLibraryA(ORVIK_SETUP_BIN_DIR "\\setupenglish.dll");
    if (library == nullptr)
        return NoLanguageLibrary;
    gResourceModule = library;

    INSTALLATION installation;
    INSTALLSTATE& install = installation.State();
    if (!install.Config.Load(__argv[1]))
        return NoConfiguration;
    install.Choices.InstallDir = __argv[2];
    install.Choices.InstallMode = __argv[3];

    int result = 0;
    {
        INSTALLWIZARD wizard(installation, Caption, "Quit the shortcut test?", -1);
        SETUPSTEP steps[] = {Step(STEPSHORTCUTS, IDS_SHORTCUT_TITLE, IDD_PAGE_SHORTCUTS, ShortcutPage),
                             Step(STEPFINISH, IDS_FINISH_TITLE, IDD_PAGE_FINISH, CloseAtOnce),
                             SETUPSTEP{STEPEND, 0, 0, 0, nullptr, nullptr, 0}};
        result = wizard.RunSteps(steps, STEPFINISH);
    }
    WriteResult(__argv[4], result, install);
    LogitOption("/LOGITCLOSE");
    gResourceModule = nullptr;
    FreeLibrary(library);
    return result;
}
