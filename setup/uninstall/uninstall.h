// The uninstall driver: what setup.exe does when the uninstall entry starts it with "-remove KEY". The first
// pass asks, copies the program and its libraries into a fresh, private folder below "TEMP" and starts that
// copy with "-final"; the final pass runs the uninstall wizard (feedback, removal options, removal) from
// there, so that every file of the installation folder can go.
#pragma once

#include <vector>

#include "lib/strings.h"
#include "setup/res/resourceids.h"
#include "setup/wizard/setupdialog.h"

// Runs the uninstallation for the program at programpath (the first program argument). Returns its exit
// code (setup/exitcodes.h); a first pass that handed the work to its final pass returns success.
int RunUninstall(const STRING& programpath);

// What the uninstall side shares: written by the driver and the options page on the main thread before the
// removal worker starts, only read by it.
struct UNINSTALLSTATE {
    STRING KeyName;        // the uninstall key name; null when the command line has none
    STRING InstallPath;    // "UninstallPath" of the entry; null when missing
    STRING AppName;        // "AppName" of the entry, else the key name
    STRING RemoveAll{"0"}; // "1" when the user chose to remove all data
    // Written by the removal worker, read by the driver once the wizard has ended.
    bool RemovalRan = false;
    int Leftovers = 0; // recorded files, trees, and the uninstall entry, that are still there afterwards
    // Remove-all could not delete all of the install folder: the driver counts it as left over unless what
    // is left is held by the running first pass and goes at the next restart.
    bool InstallTreeLeft = false;
};

// The step table: feedback, removal options, removal (the finishing step 7), three empty slots and the end
// marker.
constexpr int UNINSTALL_STEP_COUNT = 7;
void BuildUninstallSteps(SETUPSTEP (&steps)[UNINSTALL_STEP_COUNT]);

// The uninstall entry's values that name the product: install path and application name (the key name
// when the entry has none).
void ReadUninstallIdentity(UNINSTALLSTATE& state);

// The files the first pass copies for the final pass: the program itself, the "setup*.dll" libraries of the
// install folder and its hook library "SETUPHOOK.dll" when there is one. Fewer than two "setup*.dll" (the
// hook counts): no copy (an uninstall then runs where it is).
struct FINALPASSFILES {
    STRING Program;
    std::vector<STRING> Libraries; // "setup*.dll" but the hook
    STRING Hook;                   // empty without a hook library
    bool Enough() const { return Libraries.size() + (Hook.NotEmpty() ? 1 : 0) >= 2; }
};
FINALPASSFILES CollectFinalPassFiles(const STRING& programpath, const STRING& installpath);

// A new, empty folder below temp for the final pass ("<temp>\OrvikUninstall-<suffix>") that only the current
// user, the Administrators and SYSTEM may write to; empty when none could be made.
STRING MakeFinalPassFolder(const STRING& temp);

// Copies the files into folder under their own names, none over a file that is there already. False when any
// copy failed.
bool CopyFinalPassFiles(const FINALPASSFILES& files, const STRING& folder);

// True for a folder that the first pass makes: directly below temp, named "OrvikUninstall-...".
bool IsFinalPassFolder(const STRING& folder, const STRING& temp);

// Removes at once the files of a final-pass folder and the folder (the copy or the start failed); nothing
// when folder is no final-pass folder. Returns how many were removed.
int RemoveFinalPassFolder(const STRING& folder, const STRING& temp);

// Final pass: every file of the folder the program runs from, and the folder, are deleted at the next
// restart, when that folder is one that the first pass made below temp. Returns how many requests were made.
int ScheduleFinalPassCleanup(const STRING& programpath, const STRING& temp);

// Page functions of the uninstall wizard.
int FeedbackPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
int RemoveOptionsPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
int RemovingPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
