// The setup program's main function: names the application, loads the optional hook library and runs one of
// a command verb, nothing (ORDER), the uninstall driver (REMOVE) or the install driver.
#include "setup/main.h"

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/hooklibrary.h"
#include "setup/install/install.h"
#include "setup/res/messages.h"
#include "setup/runmode.h"
#include "setup/switchaliases.h"
#include "setup/uninstall/uninstall.h"
#include "setup/verbs.h"

namespace {

// AUTODIR: relative names of the verbs then mean files beside the program, wherever it was started from.
void MoveToProgramFolder() {
    const STRING folder = FILENAME("<self>").Path();
    const bool moved = OSYS::SetCurrentDir(folder.Text());
    LogPrintf("SETUP::SetupMain AUTODIR %s: %s\n", folder.Text(),
              moved ? "current directory" : "not changed");
}

// The run mode when no verb was given; returns the exit code of the installation or uninstallation.
int RunMode(const STRING& programpath) {
    if (TestArgValue("ORDER", 0)) {
        LogPrintf("SETUP::SetupMain ORDER: nothing to do\n");
        return 0;
    }
    if (TestArgValue("REMOVE", 0))
        return RunUninstall(programpath);
    return RunInstall();
}

} // namespace

int SetupMain(int argc, char** argv) {
    // Before the language library is loaded: "/LANG=" chooses it as "/LANG:" does.
    ApplySwitchAliases();
    // Nobody is there to answer an assertion's box: it is logged and written to "assert.log", and the run
    // goes on with the safe result.
    const RUNMODE mode = ReadRunMode();
    if (mode.Unattended() || mode.AnswersByDefault())
        SetAssertSilent(true);
    InitApplication(argc > 0 ? argv[0] : nullptr, "setup", "1.00", nullptr);
    LogPrintf("SETUP::SetupMain %s %s runs, gLocale= %d, language suffix '%s'\n", gAppName.Text(),
              gAppVersion.Text(), gLocale, OSYS::GetStringFromResource(IDS_LANGUAGE_SUFFIX).Text());

    if (TestArg("AUTODIR"))
        MoveToProgramFolder();
    if (TestArg("?")) {
        // Each text fits the string buffer on its own: the list is made of several.
        const STRING help = OSYS::GetStringFromResource(IDS_SWITCHES_HELP) || "\r\n" ||
                            OSYS::GetStringFromResource(IDS_SWITCHES_SILENT_HELP) || "\r\n" ||
                            OSYS::GetStringFromResource(IDS_SWITCHES_CHOICES_HELP) || "\r\n" ||
                            OSYS::GetStringFromResource(IDS_SWITCHES_REMOVE_HELP) || "\r\n" ||
                            OSYS::GetStringFromResource(IDS_SWITCHES_ALIASES_HELP) || "\r\n\r\n" ||
                            OSYS::GetStringFromResource(IDS_EXIT_CODES_HELP) || " " ||
                            OSYS::GetStringFromResource(IDS_EXIT_CODES_MORE_HELP);
        WINORVIK::InfoMsgBox(nullptr, OSYS::GetStringFromResource(IDS_MSGBOX_TITLE).Text(), help.Text());
        return 0;
    }

    int exitcode = 0;
    {
        // The hook entry points belong to the library only while this block runs.
        const HOOKLIBRARY hooks;
        if (!RunCommandVerb(exitcode))
            exitcode = RunMode(STRING(argc > 0 ? argv[0] : ""));
    }
    LogPrintf("SETUP::~SetupMain exit code %d\n", exitcode);
    return exitcode;
}
