// A setup program that runs the install driver and nothing else: the application root hands over the
// arguments, the language library beside the program is loaded, then RunInstall runs in the current folder.
#include <windows.h>

#include "lib/approot.h"
#include "setup/install/install.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AppProcessEntry(instance, [](int argc, char** argv, char**) {
        InitApplication(argc > 0 ? argv[0] : nullptr, "setup", "1.00", nullptr);
        return RunInstall();
    });
}
