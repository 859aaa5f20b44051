// The install wizard: the wizard frame of one installation. The install side's page functions get only the
// frame (SETUPPAGEFUNCTION is fixed by the hook libraries); they ask it for the installation whose choices
// they make.
#pragma once

#include "lib/orvik.h"
#include "setup/installation.h"
#include "setup/setupdialog.h"

class INSTALLWIZARD : public SETUPDIALOGBOX {
public:
    INSTALLWIZARD(INSTALLATION& installation, const char* caption, const char* confirmation,
                  int subtitlefontsize)
        : SETUPDIALOGBOX(caption, confirmation, subtitlefontsize), Run(installation) {}

    INSTALLATION& Installation() const { return Run; }

private:
    INSTALLATION& Run;
};

// The installation of the install wizard a page runs in. A page of the install side shown by any other
// frame is a fault of the program.
inline INSTALLATION& InstallationOf(SETUPDIALOGBOX* wizard) {
    auto* installwizard = dynamic_cast<INSTALLWIZARD*>(wizard);
    ORVIK_ASSERT_INFO(installwizard != nullptr, "an install page outside the install wizard");
    return installwizard->Installation();
}
