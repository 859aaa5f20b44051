// The install wizard's own pages: welcome (kind of installation), licence agreement (with printing),
// destination folder, advertisement and finish. Each is a page function of the step table: it fills the page
// and the wizard's header, binds the page's controls to the install state and runs the page.
#pragma once

#include <windows.h>

#include "lib/hash.h"
#include "lib/strings.h"
#include "setup/res/resourceids.h"
#include "setup/wizard/setupdialog.h"

// The destination folder is at most this long when typed.
constexpr int INSTALL_DIR_MAX_TYPED = 64;

int WelcomePage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
int LicencePage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
int DestinationPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
int AdvertisePage(SETUPDIALOGBOX* wizard, DATADIALOG* page);
int FinishPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);

class PRINTER;
// Prints the licence text after the user has chosen a printer (nothing when the dialog is cancelled).
void PrintLicence(HWND owner, const STRING& text);
// The document itself, on a printer that already has its device context: Courier New 12 points, margins
// 25/25/15/20 mm, one job named "ORDER".
void PrintLicenceOn(PRINTER& printer, const STRING& text);

// ---- decisions of the pages -------------------------------------------------------------------------------

// The kind of installation the welcome page proposes and which of its choices it offers.
struct INSTALLKIND {
    STRING Mode;           // "0" new, "1" the same version again, "2" update of an older one
    bool ReinstallAllowed; // radio 402
    bool UpdateAllowed;    // radio 403
};
// recordedversion (null or empty when none was recorded) is compared with appversion as text, letter case
// ignored: older proposes an update, equal a re-installation, newer leaves currentmode as it is.
INSTALLKIND ProposeInstallKind(bool previousfound, const STRING& recordedversion, const STRING& appversion,
                               const STRING& currentmode);

// The text of a WelcomeWarning to show on the day today ("YYYY-MM-DD"); empty when nothing is to be shown.
// "ShowOnly=<DATE\ntext" shows text up to DATE inclusive, "ShowOnly=>DATE\ntext" only after DATE.
STRING WelcomeWarningToShow(const STRING& warning, const STRING& today);

// The welcome page's subtitle: WelcomeMsg up to its first line break (CR or LF).
STRING FirstLineOf(const STRING& text);

// The destination after the page: one trailing "\" removed; a folder shorter than five characters (a bare
// drive such as "D:") becomes a folder named appname on it.
STRING NormaliseInstallDir(const STRING& folder, const STRING& appname);
// Why folder cannot be the destination, as the message the person reads; empty when it can. A folder of the
// system or of the user (or one that holds such a folder) is never a destination.
STRING DestinationRefusal(const STRING& folder);
// The message saying that the destination's volume cannot take the installation of config; empty when it can
// (or when the system cannot measure the volume).
STRING SpaceShortage(const HASH& config, const STRING& folder);

// With the mobile-device manager the product goes into a folder named appname beside the manager's program.
STRING DeviceManagerInstallDir(const STRING& managerpath, const STRING& appname);
