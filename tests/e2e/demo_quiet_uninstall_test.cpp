// DemoPad uninstalled without a person, the way a deployment tool does it: the uninstall entry's
// QuietUninstallString run as the registry has it. The command must come back only once the removal has
// ended, with the exit code of the removal, and no window of setup may appear on the way.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/demo_session.h"
#include "tests/e2e/installed_system.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"
#include "tests/common/stubcalls.h"

using namespace uirobot;
using namespace e2e;

namespace {

// A product folder below a maker's folder on the scratch drive: a remove-all may take the first only.
const std::string kMakerFolder = "Q:\\QuietMaker";
const std::string kDestination = kMakerFolder + "\\DemoPad";

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// The visible top-level windows of every setup.exe process.
std::vector<Window> SetupWindows() {
    std::vector<Window> windows;
    for (const Window& window : WindowFinder::anyProcess().topLevelWindows()) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, window.processId());
        if (!process)
            continue;
        char image[MAX_PATH] = "";
        DWORD size = sizeof image;
        const bool named = QueryFullProcessImageNameA(process, 0, image, &size) != 0;
        CloseHandle(process);
        const std::string name = named ? std::filesystem::path(image).filename().string() : "";
        if (_stricmp(name.c_str(), "setup.exe") == 0)
            windows.push_back(window);
    }
    return windows;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class QuietUninstallation : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : std::filesystem::directory_iterator(DEMO_PACKAGE_DIR))
            std::filesystem::copy_file(file.path(), Package.Path / file.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        RemoveDemoPad();
        RemoveTree(kMakerFolder);
        InstallWithDefaults(Package.Path.string(), kDestination);
        QuietCommand = RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
    }
    void TearDown() override {
        RemoveDemoPad();
        RemoveTree(kMakerFolder);
    }

    // Runs command ("\"program\" arguments") from the product folder and waits for it to end, watching all
    // the while for a window of setup: none may appear but one titled allowed, which is kept as a
    // screenshot. Returns the exit code.
    DWORD RunUnseen(const std::string& command, const std::string& extra = "",
                    const std::string& allowed = "") {
        EXPECT_EQ(command.front(), '"') << command;
        const size_t end = command.find('"', 1);
        const std::string directory = IsFolder(kDestination) ? kDestination : Package.Path.string();
        RobotProcess run =
            RobotProcess::start(command.substr(1, end - 1), command.substr(end + 2) + extra, directory);
        for (;;) {
            for (const Window& window : SetupWindows()) {
                // Read without a message: the window's thread may be busy with the removal.
                char title[256] = "";
                GetWindowTextA(window.handle(), title, sizeof title);
                if (allowed.empty() || title != allowed) {
                    ADD_FAILURE() << "a window of setup appeared: '" << title << "'";
                } else if (!Screenshot) {
                    Screenshot = SaveScreenshot(window, "progress-window");
                }
            }
            if (const auto code = run.waitForExit(Milliseconds{50}))
                return *code;
        }
    }

    // False while the window is still being placed or already going.
    static bool SaveScreenshot(const Window& window, const std::string& name) {
        try {
            ScreenshotFolder folder(std::string(E2E_SCREENSHOT_ROOT) + "/" + CurrentTestName());
            return Exists(folder.save(captureWindow(window), name));
        } catch (const RobotError&) {
            return false;
        }
    }

    // Stands for a product service that takes its time to stop: the removal lasts well beyond the first
    // pass's own work.
    void SlowService() const {
        std::filesystem::copy_file(std::string(ORVIK_STUBS_DIR) + "/service.exe",
                                   kDestination + "\\service.exe");
        { std::ofstream(kDestination + "\\service.stopdelay") << 2000; }
    }

    SETUPFOLDER Package;
    std::string QuietCommand;
    bool Screenshot = false;
    DisplayLock Display;
};

} // namespace

TEST_F(QuietUninstallation, ProgramOnlyEndsWithTheRemovalAndASecondRunFindsNothing) {
    ASSERT_EQ(QuietCommand, "\"" + kDestination + "\\Setup.exe\" -remove \"" + kIniKey + "\" /VERYSILENT");
    SlowService();
    std::filesystem::create_directories(kDestination + "\\mine");
    { std::ofstream(kDestination + "\\mine\\notes.odemo") << "my own notes"; }

    EXPECT_EQ(RunUnseen(QuietCommand), 0u);
    // Checked at once: the command has come back, so the removal is over.
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    for (const std::string& key : kFileTypes)
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_PROGRAMS) + "\\" + kStartmenuName));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\DemoPad.LNK"));
    for (const char* file : {"demoapp.exe", "demosync.exe", "docs\\readme.txt", "samples\\welcome.odemo"})
        EXPECT_FALSE(Exists(kDestination + "\\" + file)) << file;
    EXPECT_EQ(ReadFile(kDestination + "\\mine\\notes.odemo"), "my own notes") << "program only";
    EXPECT_TRUE(Exists(kDestination + "\\demopad.ini")) << "UninstallProtect";
    EXPECT_EQ(stubcalls::Arguments(kDestination + "\\service.exe"),
              (std::vector<std::vector<std::string>>{{"/STOP"}, {"/UNINSTALL"}}));

    // The same command line again, from a copy of setup.exe: nothing to uninstall, and no box says so.
    const size_t end = QuietCommand.find('"', 1);
    EXPECT_EQ(RunUnseen("\"" + Package.Program() + "\"" + QuietCommand.substr(end + 1)), 6u);
}

TEST_F(QuietUninstallation, RemoveAllTakesTheProductFolderAndTheLogFollowsBothPasses) {
    { std::ofstream(kDestination + "\\mine.odemo") << "my own notes"; }
    const std::string log = Package.File("quiet.log");
    // Nothing restarts the test machine: earlier runs' requests are still there.
    const std::string earlier = PendingDeletions();

    EXPECT_EQ(RunUnseen(QuietCommand, " /REMOVEALL \"/LOGIT:" + log + "\""), 0u);
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    // The first pass waited with its own program and language library loaded from the folder: those, and
    // nothing else, are left, and go with the folder at the next restart.
    EXPECT_FALSE(Exists(kDestination + "\\mine.odemo"));
    const std::string pending = PendingDeletions();
    const auto requested = [&](const std::string& path) {
        return Occurrences(pending, path + "|") > Occurrences(earlier, path + "|");
    };
    for (const std::string& left : FolderEntries(kDestination))
        EXPECT_TRUE(requested(kDestination + "\\" + left)) << left << " in " << pending;
    EXPECT_TRUE(requested(kDestination)) << pending;
    EXPECT_TRUE(IsFolder(kMakerFolder)) << "the maker's folder is not the product's";

    // One log: the first pass, the final pass's removal, and the first pass again with the final code.
    const std::string text = ReadFile(log);
    const size_t started = text.find("final pass with /VERYSILENT /REMOVEALL");
    const size_t removed = text.find("remove-all: install folder");
    const size_t ended = text.find("final pass ended with 0");
    ASSERT_NE(started, std::string::npos) << text;
    ASSERT_NE(removed, std::string::npos) << text;
    ASSERT_NE(ended, std::string::npos) << text;
    EXPECT_LT(started, removed);
    EXPECT_LT(removed, ended);
}

TEST_F(QuietUninstallation, SilentShowsTheProgressWindowOnly) {
    SlowService();
    const size_t switchat = QuietCommand.rfind(" /VERYSILENT");
    const std::string silent = QuietCommand.substr(0, switchat) + " /SILENT";
    EXPECT_EQ(RunUnseen(silent, "", Replaced(Msg(2901), "Orvik", kAppName)), 0u);
    EXPECT_TRUE(Screenshot) << "the progress window of the removal";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(Exists(kDestination + "\\demoapp.exe"));
}

// Another kind of object under the name of the uninstall mutex: whoever holds it may be an uninstall too, so
// this one does nothing, says why in its log and exit code, and asks nobody.
TEST_F(QuietUninstallation, AnEventHoldingTheMutexNameIsAnotherUninstallRunning) {
    const HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, ("Orvik_Uninstall_" + kAppName).c_str());
    ASSERT_NE(squatter, nullptr);
    const std::string log = Package.File("squatted.log");
    EXPECT_EQ(RunUnseen(QuietCommand, " \"/LOGIT:" + log + "\""), 9u); // another uninstall is running
    CloseHandle(squatter);
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "nothing is removed";
    EXPECT_TRUE(Exists(kDestination + "\\demoapp.exe"));
    const std::string text = ReadFile(log);
    EXPECT_NE(text.find("is already being uninstalled"), std::string::npos) << text;
    EXPECT_EQ(text.find("ASSERTION FAILED"), std::string::npos) << text;
}
