// The shortcut page as a person uses it: a wizard with only this step runs under Wine, the robot reads the
// page, makes the choices and presses Next; the test then reads the links back from the real start menu and
// desktop of the Wine prefix and the record from the uninstall entry.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "lib/osys.h"
#include "tests/robot/uirobot.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/shortcutfiles.h"
#include "tests/common/test_support.h"
#include "tests/common/uninstall_entry.h"

using namespace uirobot;

namespace {

const char* const Caption = "Orvik Shortcut Test";
constexpr int CurrentUser = 401, AllUsers = 402, NoStartMenu = 403, DesktopBox = 301, NextButton = 149;

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

std::string Folder(int type) {
    STRING path = OSYS::GetSystemPath(type);
    std::string text = path.NotNull() ? path.Text() : "";
    while (!text.empty() && text.back() == '\\')
        text.pop_back();
    return text;
}

// The control with the keyboard focus in the wizard's thread.
HWND GetFocusOf(const Window& wizard) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(wizard.threadId(), &info);
    return info.hwndFocus;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

// One session of the shortcut wizard with a product of its own: its start-menu folder name and uninstall
// key are unique, and everything it leaves in the prefix is removed afterwards.
class ShortcutPageTest : public testing::Test {
protected:
    ShortcutPageTest() : Work("shortcutpage") {
        const std::string unique =
            std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
        Name = "Orvik Shortcut Test " + unique;
        Key = "OrvikShortcutTest" + unique;
        Dest = Work.File("dest");
        Work.Write("dest\\viewer.exe", "MZ");
        Work.Write("dest\\bin\\tool.exe", "MZ");
        Work.Write("dest\\setup.exe", "MZ");
        UserPrograms = Folder(0);
        CommonPrograms = Folder(10);
        Desktop = Folder(8);
    }
    ~ShortcutPageTest() override {
        RemoveTree(UserPrograms + "\\" + Name);
        RemoveTree(UserPrograms + "\\" + Name + " old");
        if (!CommonPrograms.empty())
            RemoveTree(CommonPrograms + "\\" + Name);
        DeleteFileA((Desktop + "\\" + DesktopName + ".LNK").c_str());
        DeleteUninstallEntry(Key);
    }

    // setup.cfg in the HASH text form (a backslash in a value is written twice).
    void WriteConfig(const std::string& extra) {
        DesktopName = "Viewer " + Key;
        Work.Write("setup.cfg", "AppName=Orvik Viewer\r\nIniKey=" + Key + "\r\nStartmenuName=" + Name +
                                    "\r\nStartmenuOpts=" + DesktopName +
                                    ";*viewer.exe;-open;viewer.exe:1|Tools\\\\Helper;bin\\\\tool.exe;-h|"
                                    "Home page;https://www.orvik.example/start\r\n" +
                                    extra);
    }

    RobotProcess Start(const char* installmode) {
        return RobotProcess::start(ownDirectory() + "shortcut_wizard.exe",
                                   "\"" + Work.File("setup.cfg") + "\" \"" + Dest + "\" " + installmode +
                                       " \"" + Work.File("result.txt") + "\" \"" + Work.File("run.log") +
                                       "\"");
    }

    // The wizard once its page shows the start-menu choices.
    Window WaitForPage(const RobotProcess& process) {
        Window wizard = WindowFinder(process).waitFor(WindowQuery::titled(Caption));
        EXPECT_TRUE(waitUntil([&] { return static_cast<bool>(Control(wizard, CurrentUser, false)); }))
            << "the page did not appear";
        process.waitForIdle();
        return wizard;
    }

    // A control of the page (a child of a child of the wizard) by its id.
    static Window Control(const Window& wizard, int id, bool required = true) {
        for (const Window& control : wizard.children())
            if (control.id() == id && control.className() == "Button")
                return control;
        if (required)
            throw RobotError("no control " + std::to_string(id) + " on " + wizard.describe());
        return Window();
    }

    void Screenshot(const Window& wizard, const std::string& name) const {
        ScreenshotFolder folder(std::string(ROBOT_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        const std::string file = folder.save(captureWindow(wizard), name);
        EXPECT_TRUE(FileExists(file)) << file;
    }

    // Presses Next and waits for the wizard to end; the decisions it reported.
    std::map<std::string, std::string> Next(const RobotProcess& process, const Window& wizard) {
        Button(wizard.child(NextButton)).click();
        EXPECT_EQ(1u, process.exitCode(Milliseconds{30000})) << ReadWholeFile(Work.File("run.log"));
        std::map<std::string, std::string> result;
        std::istringstream lines(ReadWholeFile(Work.File("result.txt")));
        for (std::string line; std::getline(lines, line);)
            result[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        return result;
    }

    std::string Value(const char* name) const { return UninstallValue(Key, name); }

    DisplayLock Display;
    SCRATCHFOLDER Work;
    std::string Name, Key, Dest, DesktopName;
    std::string UserPrograms, CommonPrograms, Desktop;
};

} // namespace

TEST_F(ShortcutPageTest, ANewInstallationMakesTheProposedEntriesAndRecordsThem) {
    WriteConfig("StartmenuUninstall=1\r\nDesktopIcon=2\r\n");
    RobotProcess process = Start("0");
    Window wizard = WaitForPage(process);
    Screenshot(wizard, "proposed");

    EXPECT_TRUE(RadioButton(Control(wizard, CurrentUser)).isSelected());
    EXPECT_FALSE(RadioButton(Control(wizard, AllUsers)).isSelected());
    EXPECT_FALSE(RadioButton(Control(wizard, NoStartMenu)).isSelected());
    EXPECT_TRUE(Control(wizard, DesktopBox).isVisible());
    EXPECT_TRUE(CheckBox(Control(wizard, DesktopBox)).isChecked()) << "DesktopIcon=2 ticks the box";
    EXPECT_EQ(Control(wizard, CurrentUser).handle(), GetFocusOf(wizard))
        << "the proposed choice has the focus";

    const auto result = Next(process, wizard);
    const std::string menu = UserPrograms + "\\" + Name;
    EXPECT_EQ("0", result.at("allusers"));
    EXPECT_EQ(menu, result.at("startmenufolder"));

    const SHELLLINKDATA viewer = ReadShellLink(menu + "\\" + DesktopName + ".LNK");
    ASSERT_TRUE(viewer.Loaded);
    EXPECT_EQ(Dest + "\\viewer.exe", viewer.Path);
    EXPECT_EQ("-open", viewer.Arguments);
    EXPECT_EQ(Dest + "\\viewer.exe", viewer.IconFile);
    EXPECT_EQ(1, viewer.IconNumber);
    const SHELLLINKDATA helper = ReadShellLink(menu + "\\Tools\\Helper.LNK");
    ASSERT_TRUE(helper.Loaded) << "the sub-folder is made inside the start-menu folder";
    EXPECT_EQ(Dest + "\\bin\\tool.exe", helper.Path);
    EXPECT_NE(std::string::npos,
              ReadWholeFile(menu + "\\Home page.URL").find("URL=https://www.orvik.example/start"));
    const SHELLLINKDATA uninstall = ReadShellLink(menu + "\\Uninstall Orvik Viewer.LNK");
    ASSERT_TRUE(uninstall.Loaded);
    EXPECT_EQ(Dest + "\\setup.exe", uninstall.Path);
    EXPECT_EQ("-remove " + Key, uninstall.Arguments);
    const SHELLLINKDATA desktop = ReadShellLink(Desktop + "\\" + DesktopName + ".LNK");
    ASSERT_TRUE(desktop.Loaded);
    EXPECT_EQ(Dest + "\\viewer.exe", desktop.Path);
    EXPECT_EQ("", desktop.IconFile) << "the desktop entry has no icon field";

    EXPECT_EQ(menu, Value("UninstallStartmenu"));
    EXPECT_EQ(DesktopName + "|Tools\\Helper|Home page|Uninstall Orvik Viewer",
              Value("UninstallStartmenuFiles"));
    EXPECT_EQ(DesktopName, Value("UninstallDesktopFiles"));
}

TEST_F(ShortcutPageTest, ReinstallingProposesNoEntriesAndTheDesktopOnlyChoiceMakesOnlyTheDesktopLink) {
    WriteConfig("DesktopIcon=2\r\n");
    RobotProcess process = Start("1");
    Window wizard = WaitForPage(process);
    Screenshot(wizard, "proposed");
    EXPECT_TRUE(RadioButton(Control(wizard, NoStartMenu)).isSelected());
    EXPECT_FALSE(RadioButton(Control(wizard, CurrentUser)).isSelected());
    EXPECT_TRUE(Control(wizard, DesktopBox).isVisible());
    EXPECT_FALSE(CheckBox(Control(wizard, DesktopBox)).isChecked()) << "mode 1 leaves the box unticked";

    CheckBox(Control(wizard, DesktopBox)).setChecked(true);
    Screenshot(wizard, "desktop-only");
    const auto result = Next(process, wizard);

    EXPECT_TRUE(ReadShellLink(Desktop + "\\" + DesktopName + ".LNK").Loaded);
    EXPECT_FALSE(FileExists(UserPrograms + "\\" + Name)) << "no start-menu folder is made";
    EXPECT_EQ("<absent>", Value("UninstallStartmenu"));
    EXPECT_EQ("<absent>", Value("UninstallStartmenuFiles"));
    EXPECT_EQ(DesktopName, Value("UninstallDesktopFiles"));
    EXPECT_EQ("0", result.at("allusers"));
}

TEST_F(ShortcutPageTest, DesktopIconAbsentOffersAnUntickedBoxAndEmptyOffersNone) {
    WriteConfig("");
    {
        RobotProcess process = Start("0");
        Window wizard = WaitForPage(process);
        Screenshot(wizard, "desktopicon-absent");
        EXPECT_TRUE(Control(wizard, DesktopBox).isVisible());
        EXPECT_FALSE(CheckBox(Control(wizard, DesktopBox)).isChecked());
        // Nowhere: no start-menu entries and no desktop icon.
        RadioButton(Control(wizard, NoStartMenu)).select();
        Next(process, wizard);
        EXPECT_FALSE(FileExists(UserPrograms + "\\" + Name));
        EXPECT_FALSE(FileExists(Desktop + "\\" + DesktopName + ".LNK"));
        EXPECT_EQ("<absent>", Value("UninstallStartmenuFiles"));
        EXPECT_EQ("<absent>", Value("UninstallDesktopFiles"));
    }
    WriteConfig("DesktopIcon=\r\n");
    RobotProcess process = Start("0");
    Window wizard = WaitForPage(process);
    Screenshot(wizard, "desktopicon-empty");
    EXPECT_FALSE(Control(wizard, DesktopBox).isVisible());
    Next(process, wizard);
    EXPECT_FALSE(FileExists(Desktop + "\\" + DesktopName + ".LNK"));
    EXPECT_TRUE(FileExists(UserPrograms + "\\" + Name + "\\" + DesktopName + ".LNK"));
}

TEST_F(ShortcutPageTest, AllUsersPutsTheEntriesIntoTheCommonProgramFolder) {
    WriteConfig("DesktopIcon=0\r\n");
    RobotProcess process = Start("0");
    Window wizard = WaitForPage(process);
    ASSERT_FALSE(CommonPrograms.empty());
    ASSERT_TRUE(Control(wizard, AllUsers).isEnabled()) << "the common program folder is readable here";
    RadioButton(Control(wizard, AllUsers)).select();
    Screenshot(wizard, "all-users");
    const auto result = Next(process, wizard);

    const std::string menu = CommonPrograms + "\\" + Name;
    EXPECT_EQ("1", result.at("allusers"));
    EXPECT_EQ(menu, result.at("startmenufolder"));
    EXPECT_TRUE(ReadShellLink(menu + "\\" + DesktopName + ".LNK").Loaded);
    EXPECT_FALSE(FileExists(UserPrograms + "\\" + Name));
    EXPECT_EQ(menu, Value("UninstallStartmenu"));
}

TEST_F(ShortcutPageTest, AnUpdateRenamesTheRecordedStartMenuFolderToTheNewName) {
    WriteConfig("");
    const std::string old = UserPrograms + "\\" + Name + " old";
    std::filesystem::create_directories(old);
    { std::ofstream(old + "\\Earlier.LNK") << "earlier"; }
    SetUninstallValue(Key, "UninstallStartmenu", old);

    RobotProcess process = Start("2");
    Window wizard = WaitForPage(process);
    CheckBox(Control(wizard, DesktopBox)).setChecked(false);
    Next(process, wizard);

    const std::string menu = UserPrograms + "\\" + Name;
    EXPECT_FALSE(FileExists(old));
    EXPECT_EQ("earlier", ReadWholeFile(menu + "\\Earlier.LNK")) << "the old folder moved with its contents";
    EXPECT_TRUE(ReadShellLink(menu + "\\" + DesktopName + ".LNK").Loaded);
    EXPECT_EQ(menu, Value("UninstallStartmenu"));
}
