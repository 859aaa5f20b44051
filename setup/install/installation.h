// One installation: the run's state and the ordered actions that put the product onto the machine once the
// person's choices are made, whoever made them (the wizard's pages or the switches of an unattended run). It
// owns the configuration and the choices, writes what it did back into them and tells the person through
// the INTERACTION an action is given: the wizard's copy page, the small progress window of "/SILENT" or
// nobody. No window of its own enters it; the interaction's progress window goes to the hooks only.
#pragma once

#include <memory>

#include "lib/win/comwarmup.h"
#include "setup/exitcodes.h"
#include "setup/install/installstate.h"
#include "setup/interaction.h"
#include "setup/productservice.h"

class INSTALLATION {
public:
    INSTALLATION() = default;
    INSTALLATION(const INSTALLATION&) = delete;
    INSTALLATION& operator=(const INSTALLATION&) = delete;

    INSTALLSTATE& State() { return RunState; }
    const INSTALLSTATE& State() const { return RunState; }

    // The copy step: stops the product's service, extracts "setup.fil" and "custom.fil" into the install
    // directory, copies the CopyToDest files, registers the file types, writes the uninstall entry, tells
    // the hooks and restarts the service. The outcome is also kept in the state.
    COPYOUTCOME Copy(INTERACTION& interaction);

    // The shortcut step: the start-menu and desktop entries the choices ask for, their record in the
    // uninstall entry and the firewall exceptions; with ActiveSyncInstall the package goes to the device
    // manager instead. It asks nothing.
    void MakeShortcuts();

private:
    INSTALLSTATE RunState;
    // The shortcut step's COM classes, loaded on a thread of their own while the copy runs; they stay
    // loaded until the step has run or the copy has failed.
    std::unique_ptr<COMWARMUP> ShortcutClasses;
};
