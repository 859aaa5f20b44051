// The process exit codes of an installation or an uninstallation, so that a script or a deployment tool can
// tell what happened without reading the log. The command verbs keep their own codes, and a missing English
// language library still ends the process with 99.
#pragma once

enum SETUPEXITCODE : int {
    SETUP_EXIT_SUCCESS = 0,
    SETUP_EXIT_CANNOT_START = 1,         // no or unreadable "setup.cfg"
    SETUP_EXIT_CANCELLED = 2,            // cancelled before anything was copied
    SETUP_EXIT_PREREQUISITE_MISSING = 3, // a component the package requires is not on the machine
    SETUP_EXIT_COPY_FAILED = 4,          // copying failed (a damaged package) and the user left the wizard
    SETUP_EXIT_COPY_ABORTED = 5,         // the user gave up copying after a write failure, or left unfinished
    SETUP_EXIT_NOTHING_TO_UNINSTALL = 6, // no uninstall entry, or it names no install folder
    SETUP_EXIT_UNINSTALL_CANCELLED = 7,  // the user said No or left the uninstall wizard before the removal
    SETUP_EXIT_REMOVAL_INCOMPLETE = 8,   // recorded files or the uninstall entry could not be removed
    // The cases a deployment tool must tell apart: each has a response of its own in a software catalogue.
    SETUP_EXIT_IN_PROGRESS = 9,        // another setup or uninstall of this product is running
    SETUP_EXIT_DISK_FULL = 10,         // not enough space on the destination drive
    SETUP_EXIT_FILE_IN_USE = 11,       // a file of the product is in use: it could not be replaced
    SETUP_EXIT_INVALID_PARAMETER = 12, // the destination or a switch's value was refused
};

// How far the copy step came: read by the install driver after the wizard has ended.
enum class COPYOUTCOME {
    NotStarted,
    Running,   // started; not finished when the wizard ended
    Finished,  // archives, extra files, file types and uninstall entry done
    Failed,    // the package is damaged: copying stopped
    Aborted,   // the user said No to trying a failed write again
    Cancelled, // the user cancelled while copying: what was copied is undone
};

// The exit code of an installation from the wizard's result (1 finished), the copy step's outcome and the
// system's error code of the write that made the user (or the default answer) give up copying.
SETUPEXITCODE InstallExitCode(int wizardresult, COPYOUTCOME copy, int copyerror = 0);

// What a failed write says to a deployment tool: a full disk, a file in use, or just an incomplete copy.
SETUPEXITCODE AbortedCopyExitCode(int systemerror);
