// The uninstall wizard: the wizard frame of one uninstallation. Its page functions get only the frame
// (SETUPPAGEFUNCTION is fixed by the hook libraries); they ask it for the state of the uninstallation whose
// options they set and whose removal they run.
#pragma once

#include "lib/orvik.h"
#include "setup/setupdialog.h"
#include "setup/uninstall.h"

class UNINSTALLWIZARD : public SETUPDIALOGBOX {
public:
    UNINSTALLWIZARD(UNINSTALLSTATE& state, const char* caption, const char* confirmation,
                    int subtitlefontsize)
        : SETUPDIALOGBOX(caption, confirmation, subtitlefontsize), Run(state) {}

    UNINSTALLSTATE& State() const { return Run; }

private:
    UNINSTALLSTATE& Run;
};

// The state of the uninstall wizard a page runs in. A page of the uninstall side shown by any other frame is
// a fault of the program.
inline UNINSTALLSTATE& UninstallStateOf(SETUPDIALOGBOX* wizard) {
    auto* uninstallwizard = dynamic_cast<UNINSTALLWIZARD*>(wizard);
    ORVIK_ASSERT_INFO(uninstallwizard != nullptr, "an uninstall page outside the uninstall wizard");
    return uninstallwizard->State();
}
