// The uninstall wizard: the wizard frame of one uninstallation, which the uninstall side's pages ask for
// its state.
#pragma once

#include "setup/uninstall/uninstall.h"
#include "setup/wizard/setupdialog.h"

using UNINSTALLWIZARD = RUNWIZARD<UNINSTALLSTATE>;

inline UNINSTALLSTATE& UninstallStateOf(SETUPDIALOGBOX* wizard) {
    return RunOf<UNINSTALLSTATE>(wizard);
}
