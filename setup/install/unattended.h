// An installation without the wizard ("/SILENT", "/VERYSILENT"): the choices come from the switches and,
// where no switch speaks, from what the wizard would propose; the installation then runs on this thread.
#pragma once

#include "setup/exitcodes.h"
#include "setup/install/install.h"
#include "setup/install/installation.h"
#include "setup/runmode.h"

// Fills the choices of the run's state for an unattended run, the destination already chosen.
// Returns SETUP_EXIT_SUCCESS, or the exit code of a run that cannot begin: a switch with a value it does
// not know, or a destination that is refused or whose drive lacks the space.
SETUPEXITCODE ChooseUnattended(INSTALLSTATE& state, const PREVIOUSINSTALL& previous);

// Runs the installation of the chosen choices with the window the run mode asks for. The steps a hook
// inserted follow the shortcuts as in the wizard: the built-in hook's take what their pages propose, a hook
// library's are logged as skipped. Returns what the wizard would have returned: 1 when the product is
// installed, else 0.
int RunUnattendedInstall(INSTALLATION& installation, const RUNMODE& mode,
                         const SETUPSTEP (&steps)[INSTALL_STEP_COUNT]);
