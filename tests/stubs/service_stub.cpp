// Test stand-in for the product's "service.exe": records how it was started and answers "/STOP" with the
// exit code in "service.stopcode" beside it (0, "stopped", when that file is missing), after the milliseconds
// in "service.stopdelay" (a service that takes its time to stop). Every other argument ("/START",
// "/UNINSTALL") ends with 0.
#include <cstring>

#include "tests/stubs/stubmain.h"

int main(int argc, char** argv) {
    const stubcalls::START start = stubcalls::RecordStart(argc, argv);
    for (const std::string& argument : start.Arguments)
        if (_stricmp(argument.c_str(), "/STOP") == 0) {
            Sleep(static_cast<DWORD>(stubcalls::ConfiguredNumber(start.Program, ".stopdelay", 0)));
            return stubcalls::ConfiguredNumber(start.Program, ".stopcode", 0);
        }
    return 0;
}
