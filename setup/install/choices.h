// Everything a person decides for an installation, in one record: the wizard's pages fill it as the person
// answers them; an unattended run fills it from the switches and from what the wizard would propose.
// The installation reads these decisions from here and nowhere else.
#pragma once

#include "lib/strings.h"

// Where the start-menu entries go: the radio buttons of the shortcut page.
enum class STARTMENUCHOICE { CurrentUser, AllUsers, None };

struct CHOICES {
    STRING InstallDir{""};   // destination, without trailing "\" once it is decided
    STRING InstallMode{"0"}; // "0" new, "1" same version again, "2" update of an older version
    STARTMENUCHOICE StartMenu = STARTMENUCHOICE::CurrentUser;
    bool DesktopIcon = false;     // the offered desktop entry is wanted
    bool LicenceAccepted = false; // the licence page's box, or the administrator's unattended run

    bool WantsStartMenu() const { return StartMenu != STARTMENUCHOICE::None; }
    bool ForAllUsers() const { return StartMenu == STARTMENUCHOICE::AllUsers; }
};
