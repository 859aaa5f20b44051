// The built-in product hooks of the engine's own product "KYR", one per product generation, and what they
// share with the settings migration.
#pragma once

#include <cstdint>

#include "lib/strings.h"
#include "setup/setupdialog.h"

// The version-4 hook (installations of "AppVersion" below 4.8): finds the earlier installation, offers to
// take its settings over when the destination is left and copies them after the copy step.
int NewSetupHookKYR4(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);

// The built-in hook for an installation of "KYR" with this "AppVersion"; null when this build has none for
// that generation.
NEWSETUPHOOK BuiltInProductHook(double appversion);

// Copies the tree from into to (missing folders created, existing files overwritten, links not followed).
// Refused, and logged, when to is from itself or lies below it: the copy would take in its own output.
bool CopyTreeOutside(const STRING& from, const STRING& to, const char* context);

// Switches off the REXX interpreter's "GlobalSCBs" option for the current user, which the product's scripts
// must run without.
void SwitchOffRexxGlobalScbs();
