// Process entry of setup.exe: the application root turns the Windows entry into a call of SetupMain.
#include <windows.h>

#include "lib/approot.h"
#include "setup/main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AppProcessEntry(instance, [](int argc, char** argv, char**) { return SetupMain(argc, argv); });
}
