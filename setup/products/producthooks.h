// The products the engine brings hooks of its own for (today one, in products/kyr/). The install and the
// uninstall reach them only through these four functions, so that no other file of the engine names a
// product.
#pragma once

#include <cstdint>

#include "lib/strings.h"
#include "setup/hookcodes.h"
#include "setup/install/installstate.h"
#include "setup/interaction.h"

// What the engine's own hooks change in the installation of run.
struct PRODUCTHOOKCHOICE {
    // The product has hooks in the engine: it starts itself at the end, so the wizard does not open its
    // start-menu folder.
    bool BuiltIn = false;
    // The hook the run takes, attached to run until ReleaseBuiltInProductHooks; null when the product has
    // none or the hook library's NewSetupHook stays (hooklibraryhook: the package brings one).
    NEWSETUPHOOK Hook = nullptr;
};
PRODUCTHOOKCHOICE ChooseBuiltInProductHook(const INSTALLSTATE& run, bool hooklibraryhook);

// An installation without pages: when the built-in hook selected for run has something to do for the step
// idstep (its own pages; the check of the destination), the step takes what its page proposes (a question
// goes to interaction) and the result is true.
bool TakeBuiltInHookProposals(intptr_t idstep, const INSTALLSTATE& run, INTERACTION& interaction);

// The installation that selected a built-in hook has ended: the hooks no longer see its state.
void ReleaseBuiltInProductHooks();

// The built-in hook for the uninstallation of the entry keyname; null for a product without one.
NEWSETUPHOOK UninstallProductHook(const STRING& keyname);
