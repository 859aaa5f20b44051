// Test stand-in for the mobile-device application manager "CEAppMgr.exe": records how it was started and
// ends at once with the exit code in "CEAppMgr.exitcode" beside it (0 when that file is missing). Tests
// register it under "Software\Microsoft\Windows\CurrentVersion\App Paths\CEAppMgr.exe".
#include "tests/stubs/stubmain.h"

int main(int argc, char** argv) {
    const stubcalls::START start = stubcalls::RecordStart(argc, argv);
    return stubcalls::ConfiguredNumber(start.Program, ".exitcode", 0);
}
