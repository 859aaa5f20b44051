// The removal behind the uninstall wizard's progress page or an unattended uninstall: it reads what the
// installation recorded in its uninstall entry and removes it, in a fixed order. Every deletion goes through
// the deletion guard: recorded names are joined literally and never leave their folder, and a remove-all
// never wipes a folder that is not the product's own.
#pragma once

#include <windows.h>

#include "lib/strings.h"

class FIREWALLSYSTEM;
class INTERACTION;
struct UNINSTALLSTATE;

// The values of the uninstall entry the removal uses; a missing value is an empty list.
struct REMOVALRECORD {
    STRING Files{""};          // UninstallFiles: names relative to the install path
    STRING Startmenu{""};      // UninstallStartmenu: the program group folder
    STRING StartmenuFiles{""}; // UninstallStartmenuFiles: link names without extension
    STRING DesktopFiles{""};   // UninstallDesktopFiles
    STRING Protect{""};        // UninstallProtect: file names that are never deleted
    STRING RootClasses{""};    // UninstallRootClasses: keys below HKEY_CLASSES_ROOT
    STRING RootValues{""};     // UninstallRootValues: "key;text" default values written into earlier keys
    STRING Firewall{""};       // UninstallFirewall: programs relative to the install path
};
REMOVALRECORD ReadRemovalRecord(const STRING& keyname);

// ---- the rules, each on its own ---------------------------------------------------------------------------

// True when the file-name part of entry equals (ignoring case) a whole entry of the protect list.
bool IsProtectedFile(const STRING& entry, const STRING& protectlist);
// "Pelov" for uninstall keys beginning with "Corvantide" (ignoring case), else "Orvik".
const char* VendorFor(const STRING& keyname);
// Keys below HKEY_CLASSES_ROOT that belong to the system whatever an entry says: "*", "CLSID", "Directory"
// and the like, and any name with "\" (a subkey of something else) or that is empty.
bool IsSystemClassKey(const STRING& name);
// The recorded program group, when it lies inside one of the program menus: the folder itself when it is
// strictly below one of them; the menu itself when the links went straight into it (then only the links go,
// never the menu). Empty when the recorded folder is anywhere else.
struct PROGRAMGROUP {
    STRING Folder{""};
    bool MayRemoveFolder = false;
};
PROGRAMGROUP ProgramGroupFor(const STRING& recorded, const STRING& userprograms,
                             const STRING& commonprograms);

// ---- the steps ------------------------------------------------------------------------------------------

// Deletes every recorded file below installpath that is not protected. Returns how many were deleted.
int RemoveRecordedFiles(const STRING& installpath, const REMOVALRECORD& record);
// How many recorded files below installpath that are not protected are still there.
int CountRecordedLeftovers(const STRING& installpath, const REMOVALRECORD& record);
// Deletes the recorded links of the program group (".LNK" and ".URL") and the group folder when it is empty.
void RemoveProgramGroup(const PROGRAMGROUP& group, const STRING& linknames);
// Deletes the recorded desktop links (".LNK") from desktop.
void RemoveDesktopLinks(const STRING& desktop, const STRING& linknames);
// Remove-all: the install folder's tree and the product's application-data tree, each only when the guard
// allows it, then the product's registry keys. Says which of the trees are not gone: refused by the guard,
// or not removed wholly.
struct REMOVEALLRESULT {
    bool InstallTreeLeft = false;
    bool DataTreeLeft = false;
};
REMOVEALLRESULT RemoveAllData(const STRING& keyname, const STRING& installpath);
// True when datadir ("ApplicationDataDir") names, in whatever spelling, one of the product's standard
// application-data folders: userappdata or commonappdata + "\" + vendor + "\" + keyname.
bool IsStandardDataFolder(const STRING& datadir, const STRING& keyname, const STRING& userappdata,
                          const STRING& commonappdata);
// Deletes the recorded file-type keys below HKEY_CLASSES_ROOT, never one of the system's; of the keys that
// existed before the installation, only the default values it wrote, and only while they still hold what
// it wrote.
void RemoveFileTypes(const STRING& rootclasses, const STRING& rootvalues = STRING(""));
// Takes the recorded programs off the firewall's list of authorised applications.
void RemoveFirewallExceptions(const STRING& programs, const STRING& installpath, FIREWALLSYSTEM& system);

// The removal of one installation: reads what its uninstall entry recorded and runs the steps in their fixed
// order (service, files, program group, desktop links, all data when chosen, file types, firewall, the entry
// itself), then moves the progress to its end. It shows nothing itself: progress and the window given to
// the hooks come from the interaction, the wizard's progress page or nobody.
class REMOVAL {
public:
    // owner: the window handed to the hooks as the wizard's; null when there is none.
    REMOVAL(UNINSTALLSTATE& state, INTERACTION& interaction, HWND owner)
        : State(state), Interaction(interaction), Owner(owner) {}
    // Runs every step; records in the state that it ran and what it left.
    void Run();

private:
    void StopService() const;
    void DeleteEntry();
    void FinishProgress();

    UNINSTALLSTATE& State;
    INTERACTION& Interaction;
    HWND Owner;
};
