// The copy step of the install wizard: its page shows a progress bar while a worker thread runs the
// installation's copy step (setup/install/installation.h) and then lets the user go on.
#pragma once

#include <windows.h>

#include <atomic>

#include "setup/install/installation.h"
#include "setup/res/resourceids.h"
#include "setup/wizard/setupdialog.h"

// Cancel while the copy runs: the page asks on the main thread, the worker stops at the next member. The
// one of them that comes second ends the page.
struct COPYSTOP {
    std::atomic<bool> Requested{false};
    std::atomic<bool> WorkerDone{false};
};

// What the worker gets from the page.
struct COPYJOB {
    SETUPDIALOGBOX* Wizard;
    HWND ProgressBar;
    HWND Page;
    COPYSTOP* Stop = nullptr; // null: the copy cannot be cancelled
};

// Page function of the copy step: runs the page until the worker lets the user go on.
int CopyPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);

// The worker's body; returns 0. It touches the wizard only through window messages, which the page's
// loop on the main thread serves.
int ActualCopy(COPYJOB* job);
