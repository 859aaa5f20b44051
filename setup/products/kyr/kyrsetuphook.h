// The built-in product hooks of the engine's own product "KYR", one per product generation, and what they
// share with the settings migration.
#pragma once

#include <cstdint>

#include "lib/strings.h"
#include "setup/install/installstate.h"
#include "setup/interaction.h"
#include "setup/products/producthooks.h"
#include "setup/wizard/setupdialog.h"

// The version-4 hook (installations of "AppVersion" below 4.8): finds the earlier installation, offers to
// take its settings over when the destination is left and copies them after the copy step.
int NewSetupHookKYR4(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);
// The version-5 hook ("AppVersion" 4.8 up to 5.6, uninstall key "KYR5") and the version-6 hook ("AppVersion"
// 5.6 and later, uninstall key "KYR6"): two pages of their own (configuration profile, user-data folder),
// "admin.ini", the settings migration, earlier uninstall entries, the user data at uninstall and the
// product's start at the end.
int NewSetupHookKYR5(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);
int NewSetupHookKYR6(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);

// The generation of the built-in hook for an installation of this "AppVersion": 1 below 4.8, 2 from 4.8 to
// below 5.6, 3 from 5.6 on.
int ProductHookGeneration(double appversion);
// The built-in hook of that generation, working on run, the state of that installation, until
// ReleaseBuiltInProductHooks (setup/products/producthooks.h).
NEWSETUPHOOK BuiltInProductHook(double appversion, const INSTALLSTATE& run);

// Copies the tree from into to (missing folders created, existing files overwritten, links not followed).
// Refused, and logged, when to is from itself or lies below it: the copy would take in its own output.
bool CopyTreeOutside(const STRING& from, const STRING& to, const char* context);

// Switches off the REXX interpreter's "GlobalSCBs" option for the current user, which the product's scripts
// must run without.
void SwitchOffRexxGlobalScbs();
