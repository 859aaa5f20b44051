// The text work of the shortcut step: reading StartmenuOpts entries, choosing the desktop entry, building
// the list of entries to create, naming firewall exceptions and the paths of the links. Nothing here touches
// the disk, the registry or COM; shortcuts_win32.cpp does that.
#pragma once

#include <vector>

#include "lib/hash.h"
#include "lib/strings.h"

// A link's full path with its terminator must fit into this many characters (the system's path limit).
constexpr int SHORTCUT_PATH_MAX = 260;

// One entry of StartmenuOpts: "name;target;arguments;icon file:icon number". Missing fields are empty.
struct SHORTCUTENTRY {
    STRING Name;   // file name without extension, relative to its folder; may hold sub-folders
    STRING Target; // relative to the install directory or absolute; "*", "#", "%PATH%\" and URLs see below
    STRING Arguments;
    STRING Icon;

    static SHORTCUTENTRY Parse(const STRING& field);

    // The name's last component: the link's description.
    STRING Description() const;
    // A target beginning with "http://" or "https://" (any letter case) makes an Internet shortcut.
    bool IsInternet() const;
    // A target beginning with "#" goes to the desktop.
    bool IsDesktopEntry() const;
    // A target beginning with "%PATH%\" (any letter case) names a library found through the search path.
    bool IsOnSearchPath() const;
    // The icon field split at its first ":"; the number is 0 when missing.
    STRING IconFile() const;
    int IconNumber() const;
};

// The fields of StartmenuOpts with blanks and tabs trimmed at both ends; empty ones left out.
std::vector<STRING> TrimmedEntries(const STRING& startmenuopts);

// What the page offers for the desktop: the last entry whose target begins with "*", as a desktop entry.
struct DESKTOPCANDIDATE {
    STRING Entry{""}; // "name;#target;arguments"; empty when StartmenuOpts offers none
    int Option = 0;   // DesktopIcon: 0 not offered, 1 offered, 2 or more offered and ticked

    bool Offered() const { return Entry.NotEmpty() && Option != 0; }
};
// desktopicon is the DesktopIcon value: null when the key is absent (then 1), empty counts as 0.
DESKTOPCANDIDATE FindDesktopCandidate(const STRING& startmenuopts, const STRING& desktopicon);

// How the page looks when it opens.
struct SHORTCUTPAGESETUP {
    int CheckedRadio;    // 401 current user, 403 no start-menu entries
    bool ShowDesktopBox; // check box 301
    bool DesktopChecked;
};
// installmode "1" (the same version again) proposes no new entries.
SHORTCUTPAGESETUP PrepareShortcutPage(const STRING& installmode, const DESKTOPCANDIDATE& candidate);

// The start-menu entry that uninstalls: linkname (message 2998 with "$PROGRAM" replaced) runs setup.exe of
// the install directory with "-remove" and inikey, with icon 1 of setup.exe.
STRING UninstallShortcutEntry(const STRING& linkname, const STRING& inikey);

// The "|" list of the entries to create: StartmenuOpts and the uninstall entry when the start menu is
// wanted, then the desktop entry when the desktop is wanted. Empty parts are left out.
STRING ShortcutEntryList(bool startmenu, const STRING& startmenuopts, const STRING& uninstallentry,
                         bool desktop, const STRING& desktopentry);

// The name of the firewall exception for program (a field of AddToFirewall): the name of the first entry
// of StartmenuOpts whose target, without one leading "*", equals program (letter case ignored), else appname.
STRING FirewallExceptionName(const STRING& startmenuopts, const STRING& program, const STRING& appname);

// folder "\" name extension into path, or false (path untouched) when it would not fit SHORTCUT_PATH_MAX.
bool MakeShortcutPath(const STRING& folder, const STRING& name, const char* extension, STRING& path);

// Appends name and "|" to a list of created entries; Finished removes the trailing "|".
void AppendCreated(STRING& list, const STRING& name);
STRING FinishedList(const STRING& list);
