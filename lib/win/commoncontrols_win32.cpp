#include "lib/win/commoncontrols.h"

#include <windows.h>

#include <commctrl.h>

#include "lib/osys.h"

namespace {

bool RegisterAllClasses() {
    // Loaded by name so that the program does not import it: the library stays loaded for the process, since
    // the classes it registers live in it.
    HMODULE library = LoadSystemLibrary("comctl32.dll");
    if (library == nullptr)
        return false;
    using INITIALISE = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto initialise = reinterpret_cast<INITIALISE>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
    const INITCOMMONCONTROLSEX controls = {sizeof controls, 0x7FF}; // every class
    return initialise != nullptr && initialise(&controls) != FALSE;
}

} // namespace

void InitialiseCommonControls() {
    static const bool registered = RegisterAllClasses();
    (void)registered;
}
