// The install driver: loads "setup.cfg", checks what the package requires, chooses the product hook and the
// destination, runs the install wizard over its step table and tidies up afterwards.
#pragma once

#include "lib/strings.h"
#include "setup/wizard/setupdialog.h"

// Runs the installation from the current directory. Returns its exit code (setup/exitcodes.h).
int RunInstall();

// ---- pieces of the driver, each with one decision ---------------------------------------------------------

// The step table of the install wizard: the seven standard steps, seven spare records (all zero) that a
// hook library may fill, and the end marker at the last index.
constexpr int INSTALL_STEP_COUNT = 15;
constexpr int INSTALL_STANDARD_STEPS = 7;
void BuildInstallSteps(SETUPSTEP (&steps)[INSTALL_STEP_COUNT]);

// What the uninstall entry of an earlier installation records (HKEY_LOCAL_MACHINE, UNINSTALL_BASE_KEY +
// IniKey). Each value is kept only when it is not empty.
struct PREVIOUSINSTALL {
    STRING Path;    // UninstallPath: where it was installed
    STRING Version; // DisplayVersion
    bool Found() const { return Path.NotEmpty(); }
};
// An empty inikey means that the package keeps no uninstall entry: nothing is recorded.
PREVIOUSINSTALL ReadPreviousInstall(const STRING& inikey);

// The destination before the user sees it: the recorded folder of an earlier installation while it still
// exists, else InstallPath ("*rest" names the folder itself, anything else is below programfiles, which
// ends with "\").
STRING ChooseInstallDir(const STRING& recordedpath, const STRING& installpath, const STRING& programfiles);

// True when the DAO 3.6 database engine can be loaded (checked through the registry's Shared Tools entries).
bool DatabaseEngineLoadable();

// The mobile-device application manager's registered program ("App Paths" entry of "CEAppMgr.exe") when it
// names an existing file; else empty.
STRING FindDeviceManager();

// Deletes each non-empty field of the DeleteAfterExtract list from installdir. Returns how many were
// deleted.
int DeleteAfterExtract(const STRING& list, const STRING& installdir);
