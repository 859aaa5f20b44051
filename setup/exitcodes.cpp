#include "setup/exitcodes.h"

namespace {

// The system's error codes (winerror.h), named here so that the mapping builds natively too.
constexpr int ERROR_CODE_SHARING_VIOLATION = 32;
constexpr int ERROR_CODE_LOCK_VIOLATION = 33;
constexpr int ERROR_CODE_HANDLE_DISK_FULL = 39;
constexpr int ERROR_CODE_DISK_FULL = 112;
constexpr int ERROR_CODE_USER_MAPPED_FILE = 1224;

} // namespace

SETUPEXITCODE AbortedCopyExitCode(int systemerror) {
    switch (systemerror) {
    case ERROR_CODE_DISK_FULL:
    case ERROR_CODE_HANDLE_DISK_FULL:
        return SETUP_EXIT_DISK_FULL;
    case ERROR_CODE_SHARING_VIOLATION:
    case ERROR_CODE_LOCK_VIOLATION:
    case ERROR_CODE_USER_MAPPED_FILE:
        return SETUP_EXIT_FILE_IN_USE;
    default:
        return SETUP_EXIT_COPY_ABORTED;
    }
}

SETUPEXITCODE InstallExitCode(int wizardresult, COPYOUTCOME copy, int copyerror) {
    if (wizardresult == 1)
        return SETUP_EXIT_SUCCESS;
    switch (copy) {
    case COPYOUTCOME::NotStarted:
        return SETUP_EXIT_CANCELLED;
    case COPYOUTCOME::Failed:
        return SETUP_EXIT_COPY_FAILED;
    case COPYOUTCOME::Aborted:
        return AbortedCopyExitCode(copyerror);
    case COPYOUTCOME::Cancelled:
    case COPYOUTCOME::Running:
    case COPYOUTCOME::Finished: // the later steps (links, firewall, the hooks' last word) never ran
        return SETUP_EXIT_COPY_ABORTED;
    }
    return SETUP_EXIT_COPY_ABORTED;
}
