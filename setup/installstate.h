// State shared by the install side: the configuration table of "setup.cfg" and what the wizard pages decide.
// One instance per process; it lives from the start of the install driver to the end of the process.
#pragma once

#include "lib/hash.h"
#include "lib/strings.h"
#include "setup/exitcodes.h"

struct INSTALLSTATE {
    HASH Config;             // "setup.cfg" after language selection and continuation
    STRING InstallDir{""};   // destination, without trailing "\" once the destination page has run
    STRING InstallMode{"0"}; // "0" new, "1" same version again, "2" update of an older version
    STRING AllUsers{"0"};    // "1" when start-menu entries go to the common program folder
    STRING StartmenuFolder{""};
    STRING DeviceManagerPath{""};
    STRING ProductTitle{""};                    // AppName, blank, AppVersion
    COPYOUTCOME Copy = COPYOUTCOME::NotStarted; // written by the copy worker, read once the wizard ended
};

INSTALLSTATE& Install();

// The uninstall entry's registry key below HKEY_LOCAL_MACHINE.
constexpr const char* UNINSTALL_BASE_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
