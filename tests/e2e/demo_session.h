// DemoPad, the product of the demo package, as the end-to-end sessions install it: what its setup.cfg names,
// the wizard as the UI robot walks it, the shell's folder window that setup opens at the end, and the removal
// of every trace DemoPad leaves, so that each session starts on a machine that has never seen it.
#pragma once

#include <string>
#include <vector>

#include "tests/common/wizard_helpers.h"
#include "tests/robot/uirobot.h"

namespace e2e {

inline constexpr uirobot::Milliseconds kPageTimeout{30000};

// What the demo package's setup.cfg says.
inline const std::string kAppName = "DemoPad";
inline const std::string kIniKey = "OrvikDemoPad";
inline const std::string kStartmenuName = "Orvik DemoPad";
inline const std::vector<std::string> kFileTypes = {".odemo",          "DemoPad.Document", ".odlog",
                                                    "DemoPad.SyncLog", ".odnote",          "DemoPad.Note"};
inline const std::string kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kIniKey;

// A text of the English language library.
std::string Msg(int id);

// The folder DemoPad is installed into: Orvik\DemoPad in Program Files.
std::string DemoPadFolder();
// DemoPad's folder, its start-menu folders and desktop shortcut, its uninstall entry and its file types
// removed.
void RemoveDemoPad();

// Closes the shell's windows on the start-menu folder, which setup opens at the end of an installation, and
// waits for their processes to end too: Wine does not show a folder that setup opens while the process of
// the previous folder window is still ending.
void CloseFolderWindows();

// The wizard of a running setup, once it shows.
uirobot::Window WaitForWizard(const uirobot::RobotProcess& setup);
// Waits until the wizard shows the page whose header has the title message titlemessage.
void WaitForPage(const uirobot::Window& wizard, int titlemessage);
// Clicks Next as soon as it is enabled.
void Next(const uirobot::Window& wizard);

// Installs DemoPad from the package folder with every proposal of the wizard taken, as a person in a hurry
// does, but for the destination folder when one is given; returns once setup has ended and the start-menu
// folder's window is closed.
void InstallWithDefaults(const std::string& package, const std::string& destination = "");

using wizardui::PageItem;
using wizardui::Subtitle;
using wizardui::Title;

} // namespace e2e
