// DemoPad installed from its bundle, the one program file that "setuppack bundle" makes of the package:
// through the wizard as a person installs it, unattended as a deployment tool does, and from a damaged
// download.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/demo_session.h"
#include "tests/e2e/installed_system.h"
#include "tests/robot/uirobot.h"

using namespace uirobot;
using namespace e2e;

namespace {

std::string TempFolder() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathA(MAX_PATH + 1, buffer);
    std::string folder(buffer, n);
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

// The bundle's unpacking folders below TEMP ("setup-" and a number).
std::vector<std::string> UnpackFolders() {
    std::vector<std::string> found;
    for (const std::string& name : FolderEntries(TempFolder()))
        if (name.rfind("setup-", 0) == 0)
            found.push_back(name);
    return found;
}

// A resource of a program file, as bytes; empty when it has none.
std::string ResourceOf(const std::string& file, LPCSTR type, int id) {
    HMODULE module =
        LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    std::string bytes;
    if (HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(id), type) : nullptr) {
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        bytes.assign(data, SizeofResource(module, found));
    }
    if (module)
        FreeLibrary(module);
    return bytes;
}

std::string VersionText(const std::string& file, const std::string& key) {
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    char* value = nullptr;
    UINT length = 0;
    if (info.empty() || !GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
        !VerQueryValueA(info.data(), ("\\StringFileInfo\\040904B0\\" + key).c_str(),
                        reinterpret_cast<void**>(&value), &length))
        return "<none>";
    return std::string(value);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The file a member of the demo's setup.fil was packed from.
std::string PackedFrom(const std::string& member) {
    for (const std::string& entry : Split(DEMO_SETUP_MEMBERS, '|'))
        if (entry.rfind(member + "=", 0) == 0)
            return "Z:" + entry.substr(member.size() + 1);
    return "";
}

class DemoBundle : public testing::Test {
protected:
    void SetUp() override {
        Folder = "Q:\\bundle_" + std::to_string(GetCurrentProcessId());
        RemoveTree(Folder);
        std::filesystem::create_directories(Folder + "\\start");
        Bundle = Folder + "\\DemoPadSetup.exe";
        std::filesystem::copy_file(DEMO_BUNDLE, Bundle);
        Before = UnpackFolders();
        RemoveDemoPad();
    }
    void TearDown() override {
        // A setup that a failed check left behind would take the next test's windows for its own.
        for (const Window& window : windowsTitled(kAppName)) {
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, window.processId());
            if (process && window.processId() != GetCurrentProcessId())
                TerminateProcess(process, 1);
            if (process)
                CloseHandle(process);
        }
        RemoveDemoPad();
        RemoveTree(Folder);
    }

    RobotProcess Start(const std::string& arguments, const std::string& program = "") const {
        return RobotProcess::start(program.empty() ? Bundle : program, arguments, Folder + "\\start");
    }

    // Runs the bundle to its end with nobody there: no window of any process may show. Its exit code.
    DWORD RunShowingNothing(const std::string& arguments, const std::string& program = "") const {
        RobotProcess bundle = Start(arguments, program);
        std::optional<DWORD> exitcode;
        const auto deadline = std::chrono::steady_clock::now() + kPageTimeout;
        while (!(exitcode = bundle.waitForExit(Milliseconds{20})) &&
               std::chrono::steady_clock::now() < deadline)
            EXPECT_TRUE(windowsTitled(kAppName).empty()) << "a window of DemoPad's setup showed";
        EXPECT_TRUE(exitcode.has_value()) << "the bundle did not end";
        return exitcode.value_or(~0u);
    }

    void Screenshot(const Window& window, const std::string& name) const {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        ScreenshotFolder folder(std::string(E2E_SCREENSHOT_ROOT) + "/" + info->test_suite_name() + "." +
                                info->name());
        EXPECT_TRUE(Exists(folder.save(captureWindow(window), name)));
    }

    // A copy of the bundle with one byte of its appended package changed, or cut short there.
    std::string Damaged(bool cut) const {
        std::string bytes = ReadFile(Bundle);
        const size_t at = bytes.size() - bytes.size() / 4; // inside the archive, past the program
        const std::string path = Folder + (cut ? "\\cut.exe" : "\\flipped.exe");
        if (cut)
            bytes.resize(at);
        else
            bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string Folder, Bundle;
    std::vector<std::string> Before;
};

TEST_F(DemoBundle, NamesTheProductWithItsVersionAndIconAndAsksWhatSetupAsks) {
    EXPECT_EQ(VersionText(Bundle, "ProductName"), kAppName);
    EXPECT_EQ(VersionText(Bundle, "ProductVersion"), "2.4");
    EXPECT_EQ(VersionText(Bundle, "FileDescription"), "DemoPad 2.4 Setup");
    EXPECT_EQ(VersionText(Bundle, "OriginalFilename"), "DemoPadSetup.exe");
    // The icon of UninstallIcon=demoapp.exe, not setup's.
    const std::string demoapp = PackedFrom("demoapp.exe");
    ASSERT_FALSE(ResourceOf(demoapp, RT_ICON, 1).empty()) << demoapp;
    EXPECT_EQ(ResourceOf(Bundle, RT_ICON, 1), ResourceOf(demoapp, RT_ICON, 1));
    EXPECT_NE(ResourceOf(Bundle, RT_ICON, 1),
              ResourceOf(std::string(ORVIK_SETUP_BIN_DIR) + "\\setup.exe", RT_ICON, 1));

    // The bundle and setup.exe declare the same to Windows: administrator rights, Windows 7 to 11, sharp at
    // every scale, long paths.
    for (const std::string& file : {Bundle, std::string(ORVIK_SETUP_BIN_DIR) + "\\setup.exe"}) {
        const std::string manifest = ResourceOf(file, RT_MANIFEST, 1);
        EXPECT_EQ(Count(manifest, "<supportedOS "), 4u) << file;
        for (const char* setting :
             {"requireAdministrator", "PerMonitorV2", "true/pm", "<longPathAware", "Common-Controls"})
            EXPECT_NE(manifest.find(setting), std::string::npos) << file << ": " << setting;
    }
}

TEST_F(DemoBundle, InstallsThroughTheWizardFromAPrivateFolderAndLeavesNothingBelowTemp) {
    const std::string destination = Folder + "\\Wizard DemoPad";
    RobotProcess bundle = Start("");
    const WindowFinder anyone = WindowFinder::anyProcess();
    MessageBoxWindow::waitFor(anyone, kAppName, kPageTimeout).answer("OK"); // the dated warning

    // setup.exe runs from a folder of its own below TEMP (Wine keeps no access list on it: the list the
    // bundle asks for is checked in bundle_test.cpp).
    const std::vector<std::string> unpacked = UnpackFolders();
    EXPECT_EQ(unpacked.size(), Before.size() + 1);
    const std::string folder = TempFolder() + "\\" + (unpacked.empty() ? "?" : unpacked.back());
    EXPECT_TRUE(Exists(folder + "\\setup.exe"));
    EXPECT_TRUE(Exists(folder + "\\setup.fil"));

    const Window wizard =
        anyone.waitFor(WindowQuery::titled(Replaced(Msg(2900), "Orvik", kAppName)), kPageTimeout);
    WaitForPage(wizard, 2912);
    Screenshot(wizard, "01-welcome");
    Next(wizard);
    WaitForPage(wizard, 2904);
    CheckBox(PageItem(wizard, 301)).setChecked(true);
    Next(wizard);
    for (int title : {2902, 2906, 2916, 2914}) {
        WaitForPage(wizard, title);
        if (title == 2902)
            Edit(PageItem(wizard, 201)).setText(destination);
        Next(wizard);
    }
    WaitForPage(wizard, 2918);
    Screenshot(wizard, "02-finish");
    Button(wizard.child(IDCANCEL)).click();
    MessageBoxWindow::waitFor(anyone, Msg(2900) + " " + kAppName, kPageTimeout).answer("OK");
    waitUntil([] { return !windowsTitled(kStartmenuName).empty(); }, kPageTimeout);
    CloseFolderWindows();
    EXPECT_EQ(bundle.exitCode(kPageTimeout), 0u);

    // The product keeps the plain setup.exe for its uninstall; the unpacked folder is gone.
    EXPECT_EQ(ReadFile(destination + "\\demoapp.exe").substr(0, 2), "MZ");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallPath"), destination);
    EXPECT_EQ(ReadFile(destination + "\\setup.exe"), ReadFile(std::string(DEMO_PACKAGE_DIR) + "\\setup.exe"));
    EXPECT_EQ(UnpackFolders(), Before);
}

TEST_F(DemoBundle, UnattendedRunsTakeTheArgumentsAndStartFolderAndEndWithSetupsExitCode) {
    // Another installer's spelling of the switches, a destination with a blank, and an argument file beside
    // the bundle in the folder it was started from.
    std::ofstream(Folder + "\\start\\setup_commandline.ini") << "/SHORTCUTS:NONE\n";
    const std::string destination = Folder + "\\Demo Pad";
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /NORESTART /SP- /DIR=\"" + destination + "\" /LOG=\"" + Folder +
                                "\\setup.log\""),
              0u);
    EXPECT_TRUE(Exists(destination + "\\demoapp.exe")) << ReadFile(Folder + "\\setup.log");
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_PROGRAMS) + "\\" + kStartmenuName)) << "the argument file was read";
    EXPECT_NE(ReadFile(Folder + "\\setup.log").find("SETUP::SwitchAliases"), std::string::npos);
    EXPECT_EQ(UnpackFolders(), Before);
    RemoveDemoPad();

    // A relative destination is taken from the folder the bundle started in, not from where setup runs.
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:relative\\DemoPad"), 0u);
    EXPECT_TRUE(Exists(Folder + "\\start\\relative\\DemoPad\\demoapp.exe"));
    RemoveDemoPad();

    // Setup's exit codes come through: a refused value, a refused destination.
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /SHORTCUTS:EVERYONE"), 12u);
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + ShellFolder(CSIDL_WINDOWS)), 12u);
    EXPECT_EQ(UnpackFolders(), Before);
}

TEST_F(DemoBundle, ADamagedBundleSaysSoInThePackagesWordsAndRunsNothing) {
    const std::string flipped = Damaged(false);
    RobotProcess bundle = Start("", flipped);
    const MessageBoxWindow box = MessageBoxWindow::waitFor(
        WindowFinder::anyProcess(), Replaced(Msg(2900), "Orvik", kAppName), kPageTimeout);
    // The language library's damage message, naming the member that failed.
    const std::string text = Msg(3015);
    EXPECT_NE(box.message().find(text.substr(0, text.find('\n'))), std::string::npos) << box.message();
    EXPECT_EQ(box.message().find("$FILE"), std::string::npos) << box.message();
    EXPECT_NE(box.message().find("setup"), std::string::npos) << "names the member: " << box.message();
    Screenshot(box.window(), "01-damaged");
    box.answer("OK");
    EXPECT_EQ(bundle.exitCode(kPageTimeout), 4u);
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(UnpackFolders(), Before);

    // Cut short, with nobody there: no message, the same exit code.
    EXPECT_EQ(RunShowingNothing("/VERYSILENT", Damaged(true)), 4u);
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(UnpackFolders(), Before);
}

} // namespace
