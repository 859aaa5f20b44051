#include "setup/setuphooks.h"

#include "lib/orvik.h"

int SetupHookDefault(int, const char*) { return 1; }

int NewSetupHookDummy(int code, int value, intptr_t, intptr_t, intptr_t, intptr_t p4) {
    LogPrintf("SETUP::NewSetupHookDummy %d %d %p\n", code, value, reinterpret_cast<void*>(p4));
    return 1;
}

SETUPHOOK SetupHook = SetupHookDefault;
NEWSETUPHOOK NewSetupHook = NewSetupHookDummy;

int CallSetupHook(int code, const char* text) { return SetupHook ? SetupHook(code, text) : 0; }

void CallNewSetupHook(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
    if (NewSetupHook)
        NewSetupHook(code, value, p1, p2, p3, p4);
}
