// The codes with which setup calls the hook library's two entry points, in one place. SetupHook gets
// (code, text); NewSetupHook gets (code, value, p1, p2, p3, p4), each p a window handle, a pointer or a
// number. An unattended uninstall has no wizard: its handle is then null, and so is the progress bar's
// unless "/SILENT" shows the small progress window.
#pragma once

#include <cstdint>

// The hook entry point of the hook library: (code, value, p1..p4), each p a window handle, a pointer or a
// number depending on the code. Its result is not used.
using NEWSETUPHOOK = int (*)(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4);

// SetupHook(code, text).
enum SETUPHOOKCODE : int {
    SETUPHOOK_START = 1,         // install driver: configuration checked, before the wizard; text null
    SETUPHOOK_INSTALLED = 2,     // install driver: wizard completed; text = the install directory
    SETUPHOOK_REMOVAL_START = 3, // uninstall removal: entry read; text = the install path
    SETUPHOOK_REMOVAL_END = 4,   // uninstall removal: entry deleted; text null
    SETUPHOOK_COPY_END = 8,      // end of the file copy; text = the install directory
    SETUPHOOK_ADMIN = 256,       // command verb ADMIN; text = its value; the result is used
};

// NewSetupHook(code, value, p1, p2, p3, p4).
enum NEWSETUPHOOKCODE : int {
    NEWHOOK_STEP_TABLE = 0,       // install: p4 = the step table, whose spare records the hook may fill
    NEWHOOK_CONFIGURATION = 1,    // install: value = gLocale, p4 = the configuration table
    NEWHOOK_WIZARD_ENDED = 2,     // install: value = the wizard result
    NEWHOOK_UNINSTALL_START = 3,  // uninstall: p1 = wizard, p4 = the uninstall key name
    NEWHOOK_UNINSTALL_END = 4,    // uninstall: after its wizard
    NEWHOOK_BEFORE_PAGE = 5,      // wizard: value = step id, p1 = wizard, p2 = page, p3 = page function,
                                  // p4 = the step record's last field
    NEWHOOK_AFTER_PAGE = 6,       // wizard: the same, p4 = the page's result
    NEWHOOK_COPY_START = 7,       // copy: p1 = wizard, p2 = progress bar, p4 = the install mode number
    NEWHOOK_COPY_END = 8,         // copy: p1 = wizard, p2 = progress bar
    NEWHOOK_STARTMENU_FOLDER = 9, // shortcuts: p4 = the start-menu folder string, which the hook may change
    NEWHOOK_SHORTCUTS_DONE = 10,  // shortcuts: p4 = the IniKey text
    NEWHOOK_REMOVAL_START = 11,   // removal: p1 = wizard, p2 = progress bar, p4 = the remove-all choice
    NEWHOOK_ENTRY_DELETED = 12,   // removal: p1 = wizard, p2 = progress bar
    NEWHOOK_LAST_ACTION = 13,     // install: completed, last call; value = the wizard result
    NEWHOOK_RECORD_READ = 14,     // removal: p1 = wizard, p2 = progress bar, p4 = the install path
};
