// State shared by the install side: the configuration table of "setup.cfg", what the person decides (the
// wizard's pages or the switches of an unattended run) and what the installation found and did.
// Each run has its own: the run's INSTALLATION owns it and lends it to the pages, the hooks and the steps.
#pragma once

#include "lib/hash.h"
#include "lib/strings.h"
#include "setup/exitcodes.h"
#include "setup/install/choices.h"

struct INSTALLSTATE {
    HASH Config; // "setup.cfg" after language selection and continuation
    CHOICES Choices;
    STRING StartmenuFolder{""}; // where the start-menu entries went (the hook may have moved it)
    STRING DeviceManagerPath{""};
    STRING ProductTitle{""};                    // AppName, blank, AppVersion
    COPYOUTCOME Copy = COPYOUTCOME::NotStarted; // written by the copy worker, read once the wizard ended
    int CopyError = 0; // the system's error code of the write that ended an aborted copy
    bool Unattended = false; // nobody in front of the run: nothing is started or opened for a person
};
