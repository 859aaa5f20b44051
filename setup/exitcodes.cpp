#include "setup/exitcodes.h"

SETUPEXITCODE InstallExitCode(int wizardresult, COPYOUTCOME copy) {
    if (wizardresult == 1)
        return SETUP_EXIT_SUCCESS;
    switch (copy) {
    case COPYOUTCOME::NotStarted:
        return SETUP_EXIT_CANCELLED;
    case COPYOUTCOME::Failed:
        return SETUP_EXIT_COPY_FAILED;
    case COPYOUTCOME::Running:
    case COPYOUTCOME::Aborted:
    case COPYOUTCOME::Cancelled:
    case COPYOUTCOME::Finished: // the later steps (links, firewall, the hooks' last word) never ran
        return SETUP_EXIT_COPY_ABORTED;
    }
    return SETUP_EXIT_COPY_ABORTED;
}
