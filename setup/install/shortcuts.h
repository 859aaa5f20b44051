// The shortcut step of the install wizard: start-menu and desktop links, Internet shortcuts, their record in
// the uninstall entry and the firewall exceptions of the product's programs.
#pragma once

#include <guiddef.h>

#include <vector>

#include "lib/hash.h"
#include "lib/strings.h"
#include "setup/res/resourceids.h"
#include "setup/wizard/setupdialog.h"

class FIREWALLSYSTEM;
struct CHOICES;
struct INSTALLSTATE;

// The page function of step 5. With ActiveSyncInstall it hands the package to the device manager instead
// and shows nothing.
int ShortcutPage(SETUPDIALOGBOX* wizard, DATADIALOG* page);

// What the page does once the choices are made (the installation's shortcut step): the start-menu folder
// of the choices (the hook may move it), the entries, their record and the firewall exceptions.
void MakeShortcutsFor(INSTALLSTATE& install);

// The COM classes the shortcut step of config will create when the choices stay as they are: links,
// Internet shortcuts (start menu only), the firewall's manager. None for a mobile-device package.
std::vector<CLSID> ShortcutStepClasses(const HASH& config, const CHOICES& choices);

// ---- the steps of the page, each usable on its own
// ---------------------------------------------------------

// The product's start-menu folder: StartmenuName joined literally below the program folder. An empty name
// (or one that would leave the program folder) puts the links directly into the program folder.
STRING StartmenuFolderFor(const STRING& programfolder, const STRING& startmenuname);

// Runs the mobile-device manager synchronously with "installdir\pcinstall.ini" (quoted) as its argument.
bool RunDeviceManager(const STRING& managerpath, const STRING& installdir);

// Where the entries go.
struct SHORTCUTFOLDERS {
    STRING StartMenu; // the product's start-menu folder
    STRING Desktop;   // the user's desktop, without trailing "\"
};
// What was created: names as written in the entries, joined by "|".
struct SHORTCUTLISTS {
    STRING StartMenu{""};
    STRING Desktop{""};
};

// Creates the entries of the "|" list (StartmenuOpts form) as links below installdir. Start-menu entries and
// Internet shortcuts are made only when startmenu is wanted; desktop entries ("#" target) always.
SHORTCUTLISTS CreateShortcuts(const STRING& entrylist, const STRING& installdir,
                              const SHORTCUTFOLDERS& folders, bool startmenu);

// A start-menu folder recorded by an earlier installation that differs from newfolder is renamed to the last
// component of newfolder, within its own parent. A failed rename is ignored.
void RenameMovedStartmenuFolder(const STRING& oldfolder, const STRING& newfolder);

// Writes UninstallStartmenu and UninstallStartmenuFiles (when start-menu entries were made) and
// UninstallDesktopFiles (when desktop entries were made) into the uninstall entry of config.
void RecordShortcuts(const HASH& config, const STRING& startmenufolder, const SHORTCUTLISTS& created);

// When AddToFirewall is present: every program it lists, below installdir, becomes a firewall exception.
void AddFirewallExceptions(const HASH& config, const STRING& installdir, FIREWALLSYSTEM& system);
