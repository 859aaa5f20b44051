#include "setup/hooklibrary.h"

#include "lib/filename.h"
#include "lib/orvik.h"
#include "setup/setuphooks.h"

namespace {
const char* const HOOK_LIBRARY_NAME = "SETUPHOOK.dll";

STRING HookLibraryPath() {
    return FILENAME("<self>").Path() || "\\" || HOOK_LIBRARY_NAME;
}
} // namespace

HOOKLIBRARY::HOOKLIBRARY() : Library(HookLibraryPath().Text(), nullptr, false) {
    if (!Library.IsLoaded()) {
        LogPrintf("SETUP::HOOKLIBRARY no hook library: the built-in hooks stay\n");
        return;
    }
    SetupHook = reinterpret_cast<SETUPHOOK>(Library.GetFunction("SetupHook"));
    Assert(SetupHook != nullptr, "fpSetupHook", __FILE__, __LINE__, nullptr, false);
    // A library may leave NewSetupHook out; then no step is reported, not even to a built-in product hook.
    NewSetupHook = reinterpret_cast<NEWSETUPHOOK>(Library.GetFunction("NewSetupHook"));
    LogPrintf("SETUP::HOOKLIBRARY loaded, SetupHook %s, NewSetupHook %s\n",
              SetupHook ? "exported" : "missing", NewSetupHook ? "exported" : "missing");
}

HOOKLIBRARY::~HOOKLIBRARY() {
    if (!Library.IsLoaded())
        return;
    SetupHook = nullptr;
    NewSetupHook = nullptr;
    Library.Unload();
    LogPrintf("SETUP::HOOKLIBRARY released\n");
}
