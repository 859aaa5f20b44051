// The optional hook library "SETUPHOOK" of a product: while a HOOKLIBRARY lives, the library's exports are
// the hook entry points SetupHook and NewSetupHook (setup/setuphooks.h).
#pragma once

#include "lib/osys.h"

class HOOKLIBRARY {
public:
    // Loads "SETUPHOOK.dll" by its full path in the program's own folder, never through the search path (the
    // current folder, PATH). Without a library the entry points keep what they had.
    HOOKLIBRARY();
    // Switches both entry points off before the library goes: nothing may call into a released library.
    ~HOOKLIBRARY();
    HOOKLIBRARY(const HOOKLIBRARY&) = delete;
    HOOKLIBRARY& operator=(const HOOKLIBRARY&) = delete;

    bool IsLoaded() const { return Library.IsLoaded(); }

private:
    DLLINTERFACE Library;
};
