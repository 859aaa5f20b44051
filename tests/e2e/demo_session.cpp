// DemoPad's sessions: the robot's steps shared by the end-to-end tests.
#include "tests/e2e/demo_session.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include "tests/e2e/installed_system.h"
#include "tests/common/setup_folder.h"

using namespace uirobot;

namespace e2e {

std::string Msg(int id) {
    return LibraryString(std::string(ORVIK_SETUP_BIN_DIR) + "/setupenglish.dll", id);
}

std::string DemoPadFolder() {
    return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Orvik\\DemoPad";
}

void RemoveDemoPad() {
    RemoveTree(DemoPadFolder());
    RemoveTree(ShellFolder(CSIDL_PROGRAMS) + "\\" + kStartmenuName);
    RemoveTree(ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kStartmenuName);
    RemoveTree(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\DemoPad.LNK");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    for (const std::string& key : kFileTypes)
        DeleteRegistryTree(HKEY_CLASSES_ROOT, key);
}

void CloseFolderWindows() {
    std::vector<HANDLE> shells;
    for (const Window& window : windowsTitled(kStartmenuName)) {
        if (HANDLE shell = OpenProcess(SYNCHRONIZE, FALSE, window.processId()))
            shells.push_back(shell);
        postMessage(window, WM_CLOSE);
    }
    waitUntil([] { return windowsTitled(kStartmenuName).empty(); });
    for (HANDLE shell : shells) {
        WaitForSingleObject(shell, static_cast<DWORD>(kPageTimeout.count()));
        CloseHandle(shell);
    }
}

Window WaitForWizard(const RobotProcess& setup) {
    return WindowFinder(setup).waitFor(WindowQuery::titled(Replaced(Msg(2900), "Orvik", kAppName)),
                                       kPageTimeout);
}

void WaitForPage(const Window& wizard, int titlemessage) {
    wizardui::WaitForPage(wizard, Msg(titlemessage), kPageTimeout);
}

void Next(const Window& wizard) {
    ASSERT_TRUE(waitUntil([&] { return wizard.child(149).isEnabled(); }, kPageTimeout));
    Button(wizard.child(149)).click();
}

void InstallWithDefaults(const std::string& package, const std::string& destination) {
    RobotProcess setup = RobotProcess::start(package + "\\setup.exe", "", package);
    MessageBoxWindow::waitFor(WindowFinder(setup), kAppName, kPageTimeout).answer("OK"); // the dated warning
    const Window wizard = WaitForWizard(setup);
    WaitForPage(wizard, 2912);
    Next(wizard);
    WaitForPage(wizard, 2904);
    CheckBox(PageItem(wizard, 301)).setChecked(true);
    Next(wizard);
    for (int title : {2902, 2906, 2916, 2914}) {
        WaitForPage(wizard, title);
        if (title == 2902 && !destination.empty())
            Edit(PageItem(wizard, 201)).setText(destination);
        Next(wizard);
    }
    WaitForPage(wizard, 2918);
    Button(wizard.child(IDCANCEL)).click();
    MessageBoxWindow::waitFor(WindowFinder(setup), Msg(2900) + " " + kAppName, kPageTimeout).answer("OK");
    ASSERT_EQ(setup.exitCode(kPageTimeout), 0u);
    waitUntil([] { return !windowsTitled(kStartmenuName).empty(); }, kPageTimeout);
    CloseFolderWindows();
}

} // namespace e2e
