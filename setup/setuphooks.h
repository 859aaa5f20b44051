// The two hook entry points through which a hook library (or a built-in product hook) follows the setup
// engine. Both are process-wide: the install and uninstall sides read them at every call point.
#pragma once

#include <cstdint>

#include "setup/hookcodes.h"

// (code, text) -> result; only the ADMIN verb uses the result (nonzero = done).
using SETUPHOOK = int (*)(int code, const char* text);

// Default of SetupHook before any library is loaded: does nothing and returns 1.
int SetupHookDefault(int code, const char* text);
// Default of NewSetupHook: logs "SETUP::NewSetupHookDummy %d %d %08x\n" and returns 1.
int NewSetupHookDummy(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);

// Null switches the calls off.
extern SETUPHOOK SetupHook;
extern NEWSETUPHOOK NewSetupHook;

// Call helpers that skip a null entry point; NewSetupHook results are never used.
int CallSetupHook(int code, const char* text);
void CallNewSetupHook(int code, int value, intptr_t p1 = 0, intptr_t p2 = 0, intptr_t p3 = 0,
                      intptr_t p4 = 0);
