// The install wizard: the wizard frame of one installation, which the install side's pages ask for it.
#pragma once

#include "setup/install/installation.h"
#include "setup/wizard/setupdialog.h"

using INSTALLWIZARD = RUNWIZARD<INSTALLATION>;

inline INSTALLATION& InstallationOf(SETUPDIALOGBOX* wizard) {
    return RunOf<INSTALLATION>(wizard);
}
