// The built-in product hooks of the engine's own product "KYR", one per product generation, and what they
// share with the settings migration.
#pragma once

#include <cstdint>

#include "lib/strings.h"
#include "setup/installstate.h"
#include "setup/interaction.h"
#include "setup/setupdialog.h"

// The version-4 hook (installations of "AppVersion" below 4.8): finds the earlier installation, offers to
// take its settings over when the destination is left and copies them after the copy step.
int NewSetupHookKYR4(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);
// The version-5 hook ("AppVersion" 4.8 up to 5.6, uninstall key "KYR5") and the version-6 hook ("AppVersion"
// 5.6 and later, uninstall key "KYR6"): two pages of their own (configuration profile, user-data folder),
// "admin.ini", the settings migration, earlier uninstall entries, the user data at uninstall and the
// product's start at the end.
int NewSetupHookKYR5(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);
int NewSetupHookKYR6(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);

// The built-in hook for an installation of "KYR" with this "AppVersion", working on run, the state of that
// installation, until ReleaseBuiltInProductHooks.
NEWSETUPHOOK BuiltInProductHook(double appversion, const INSTALLSTATE& run);
// An installation without pages: when the built-in hook selected for run has something to do for the step
// idstep (its own pages; the check of the destination), the step takes what its page proposes (a question
// goes to interaction) and the result is true.
bool TakeBuiltInHookProposals(intptr_t idstep, const INSTALLSTATE& run, INTERACTION& interaction);
// The installation that selected a built-in hook has ended: the hooks no longer see its state.
void ReleaseBuiltInProductHooks();
// The built-in hook for an uninstallation under this key name ("KYR5", "KYR6", letter case ignored); null
// for any other key.
NEWSETUPHOOK UninstallProductHook(const STRING& keyname);

// Copies the tree from into to (missing folders created, existing files overwritten, links not followed).
// Refused, and logged, when to is from itself or lies below it: the copy would take in its own output.
bool CopyTreeOutside(const STRING& from, const STRING& to, const char* context);

// Switches off the REXX interpreter's "GlobalSCBs" option for the current user, which the product's scripts
// must run without.
void SwitchOffRexxGlobalScbs();
