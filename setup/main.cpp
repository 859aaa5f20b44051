// The setup program's main function.
#include "setup/main.h"

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/res/messages.h"

int SetupMain(int argc, char** argv) {
    InitApplication(argc > 0 ? argv[0] : nullptr, "setup", "1.00", nullptr);
    LogPrintf("SETUP::SetupMain %s %s runs, gLocale= %d, language suffix '%s'\n", gAppName.Text(),
              gAppVersion.Text(), gLocale, OSYS::GetStringFromResource(IDS_LANGUAGE_SUFFIX).Text());

    LogPrintf("SETUP::SetupMain no run mode is implemented yet: nothing installed or removed, exit code 0\n");
    return 0;
}
