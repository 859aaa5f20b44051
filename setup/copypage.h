// The copy step of the install wizard: its page shows a progress bar while a worker thread stops the
// product's service, extracts "setup.fil" and "custom.fil" into the install directory, copies the extra
// files, registers the file types, writes the uninstall entry, tells the hooks and restarts the service.
#pragma once

#include <windows.h>

#include "setup/res/resourceids.h"
#include "setup/setupdialog.h"

// The console title of the product's service program while setup starts it.
constexpr const char* SERVICE_CONTROL_TITLE = "Orvik Service-Control";
// The product's service program in the install directory.
constexpr const char* SERVICE_PROGRAM = "service.exe";

// What the worker gets from the page.
struct COPYJOB {
    SETUPDIALOGBOX* Wizard;
    HWND ProgressBar;
    HWND Page;
};

// Page function of the copy step: runs the page until the worker lets the user go on.
int CopyPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);

// The worker's body; returns 0. It touches the wizard only through window messages, which the page's
// loop on the main thread serves.
int ActualCopy(COPYJOB* job);
