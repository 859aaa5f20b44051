// A wizard page whose work runs on a worker thread while the page shows a progress bar: the copy step and
// the uninstall's removal. The page cannot be left before the worker is done: the wizard's buttons stay
// disabled until the worker enables them.
#pragma once

#include <windows.h>

#include <functional>

#include "setup/wizard/setupdialog.h"

// The work, given the page's progress bar.
using PAGEWORK = std::function<void(HWND progressbar)>;

// Cancel while the work runs: left enabled or not, and what a press (of Cancel, Escape or the close box)
// does: true when it took the press (asked, stopped the work, refused with a word). Once the work is done,
// Cancel is the page's ordinary Cancel again.
struct WORKERCANCEL {
    bool Enabled = false;
    std::function<bool()> Press;
};

// Replaces the page's placeholder control progressid by a progress bar of the same place and id, disables
// Back, Next and Cancel (unless cancel leaves it enabled), runs work on a worker thread (on this thread
// before the page when no thread can be started), runs the page and waits for the worker, serving the
// messages it still sends. Returns the page's result.
int RunWorkerPage(SETUPDIALOGBOX* wizard, DATADIALOG* page, int progressid, const PAGEWORK& work,
                  const WORKERCANCEL& cancel);
