// DemoPad installed without the wizard, as a deployment tool installs it: setup.exe with "/VERYSILENT" or
// "/SILENT" into a folder on the scratch drive Q:, the exit code read, the machine inspected afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/common/ziparchive.h"
#include "tests/e2e/demo_session.h"
#include "tests/e2e/installed_system.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

using namespace uirobot;
using namespace e2e;

namespace {

const std::string kProductTitle = "DemoPad 2.4";

class UnattendedInstallation : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : std::filesystem::directory_iterator(DEMO_PACKAGE_DIR))
            std::filesystem::copy_file(file.path(), Package.Path / file.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        Destination = "Q:\\unattended_" + std::to_string(GetCurrentProcessId()) + "\\DemoPad";
        UserMenu = ShellFolder(CSIDL_PROGRAMS) + "\\" + kStartmenuName;
        CommonMenu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + kStartmenuName;
        DesktopLink = ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\DemoPad.LNK";
        UninstallLink = Replaced(Msg(2998), "$PROGRAM", kAppName);
        RemoveDemoPad();
    }
    void TearDown() override {
        RemoveDemoPad();
        RemoveTree(Destination.substr(0, Destination.rfind('\\')));
    }

    RobotProcess StartSetup(const std::string& switches) const {
        return RobotProcess::start(Package.Program(), switches + " /LOGIT:" + Package.File("setup.log"),
                                   Package.Path.string());
    }

    // Runs setup to its end, watching that it never shows a window; returns its exit code.
    DWORD RunShowingNothing(const std::string& switches) const {
        RobotProcess setup = StartSetup(switches);
        std::vector<std::string> shown;
        std::optional<DWORD> exitcode;
        const auto deadline = std::chrono::steady_clock::now() + kPageTimeout;
        while (!(exitcode = setup.waitForExit(Milliseconds{20})) &&
               std::chrono::steady_clock::now() < deadline)
            for (const Window& window : WindowFinder(setup).topLevelWindows())
                shown.push_back(window.className() + " '" + window.text() + "'");
        EXPECT_TRUE(shown.empty()) << "shown: " << Join(shown, ", ");
        EXPECT_TRUE(exitcode.has_value()) << "setup did not end";
        if (!exitcode)
            setup.kill();
        return exitcode.value_or(~0u);
    }

    std::string Log() const { return Package.Read("setup.log"); }
    std::string Uninstall(const char* value) const {
        return RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, value);
    }
    // The file a member of setup.fil is packed from (a Linux path, drive Z: under Wine).
    static std::string Packaged(const std::string& member) {
        for (const std::string& entry : Split(DEMO_SETUP_MEMBERS, '|'))
            if (entry.rfind(member + "=", 0) == 0)
                return ReadFile("Z:" + entry.substr(member.size() + 1));
        return "<no member " + member + ">";
    }

    void Screenshot(const Window& window, const std::string& name) const {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        ScreenshotFolder folder(std::string(E2E_SCREENSHOT_ROOT) + "/" + info->test_suite_name() + "." +
                                info->name());
        EXPECT_TRUE(Exists(folder.save(captureWindow(window), name)));
    }

    // A file of the destination held open without sharing, as a running program holds its file.
    HANDLE HoldOpen(const std::string& name) const {
        std::filesystem::create_directories(Destination);
        const std::string path = Destination + "\\" + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
        return file;
    }

    SETUPFOLDER Package;
    std::string Destination, UserMenu, CommonMenu, DesktopLink, UninstallLink;
    DisplayLock Display;
};

TEST_F(UnattendedInstallation, VerySilentInstallsDemoPadCompletelyWithTheShortcutsTheWizardProposes) {
    ASSERT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 0u) << Log();

    // The files of both archives and of CopyToDest; the file needed during setup only is gone again.
    EXPECT_EQ(ReadFile(Destination + "\\demoapp.exe"), Packaged("demoapp.exe"));
    EXPECT_EQ(ReadFile(Destination + "\\setup.exe"), Package.Read("setup.exe"));
    EXPECT_TRUE(Exists(Destination + "\\samples\\welcome.odemo"));
    EXPECT_FALSE(Exists(Destination + "\\setupinfo.tmp"));

    // The uninstall entry as the wizard writes it, for the folder of /DIR.
    EXPECT_EQ(Uninstall("UninstallPath"), Destination);
    EXPECT_EQ(Uninstall("InstallLocation"), Destination);
    EXPECT_EQ(Uninstall("UninstallString"), "\"" + Destination + "\\Setup.exe\" -remove \"" + kIniKey + "\"");
    EXPECT_EQ(Uninstall("DisplayVersion"), "2.4");
    EXPECT_EQ(Uninstall("UninstallFirewall"), "demoapp.exe|demosync.exe");
    EXPECT_GT(RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), 0);
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, "DemoPad.Document\\Shell\\open\\command"),
              Destination + "\\demoapp.exe \"%1\"");

    // The shortcut page's proposal: the current user's start menu and, DesktopIcon=2, the desktop.
    EXPECT_EQ(Uninstall("UninstallStartmenu"), UserMenu);
    EXPECT_EQ(Uninstall("UninstallStartmenuFiles"),
              "DemoPad|Tools\\DemoPad Sync|Read me|DemoPad on the Web|" + UninstallLink);
    EXPECT_EQ(Uninstall("UninstallDesktopFiles"), "DemoPad");
    EXPECT_EQ(ReadShortcut(UserMenu + "\\DemoPad.LNK").Path, Destination + "\\demoapp.exe");
    EXPECT_EQ(ReadShortcut(UserMenu + "\\" + UninstallLink + ".LNK").Arguments, "-remove " + kIniKey);
    EXPECT_EQ(ReadShortcut(DesktopLink).Path, Destination + "\\demoapp.exe");
    EXPECT_FALSE(Exists(CommonMenu));
}

TEST_F(UnattendedInstallation, SwitchesChooseTheShortcutsAndAReinstallTakesTheProposedAnswers) {
    ASSERT_EQ(RunShowingNothing("-VERYSILENT -DIR " + Destination + " /SHORTCUTS:ALL /NODESKTOPICON"), 0u)
        << Log();
    EXPECT_EQ(Uninstall("UninstallStartmenu"), CommonMenu);
    EXPECT_EQ(ReadShortcut(CommonMenu + "\\Tools\\DemoPad Sync.LNK").Arguments, "/status");
    EXPECT_FALSE(Exists(UserMenu));
    EXPECT_EQ(Uninstall("UninstallDesktopFiles"), "<absent>");
    EXPECT_FALSE(Exists(DesktopLink));

    // Again with the same version: no new entries unless asked, and a value the page does not offer is
    // refused before anything is touched.
    RemoveTree(CommonMenu);
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /SHORTCUTS:EVERYONE"), 12u); // invalid parameter
    // The user's settings and sample document changed since: the overwrite question for the sample takes
    // the answer it proposes (replace), the protected settings stay.
    std::ofstream(Destination + "\\samples\\welcome.odemo", std::ios::binary) << "changed";
    std::ofstream(Destination + "\\demopad.ini", std::ios::binary) << "changed";
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 0u) << Log();
    EXPECT_FALSE(Exists(CommonMenu));
    EXPECT_FALSE(Exists(UserMenu));
    EXPECT_EQ(ReadFile(Destination + "\\samples\\welcome.odemo"), Packaged("samples/welcome.odemo"));
    EXPECT_EQ(ReadFile(Destination + "\\demopad.ini"), "changed");
}

TEST_F(UnattendedInstallation, SilentShowsItsProgressWindowAndAsksBeforeGivingUpOnAFileInUse) {
    HANDLE held = HoldOpen("demosync.exe");
    RobotProcess setup = StartSetup("/SILENT /DIR:" + Destination);

    // The write of the held file fails: the question comes over the progress window.
    const MessageBoxWindow question = MessageBoxWindow::waitFor(WindowFinder(setup), Msg(2900), kPageTimeout);
    const Window progress = WindowFinder(setup).waitFor(WindowQuery::titled(kProductTitle), kPageTimeout);
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.child(201).text(), Msg(2909)) << "the status line while the files are extracted";
    EXPECT_EQ(progress.child(901).className(), PROGRESS_CLASSA);
    EXPECT_NE(question.message().find("demosync.exe"), std::string::npos) << question.message();
    EXPECT_EQ(question.buttons(), (std::vector<std::string>{"Yes", "No"}));
    Screenshot(progress, "01-progress");
    Screenshot(question.window(), "02-retry-question");
    // Meanwhile a second setup of the product ends at once, with nothing shown: it would write over the files
    // of the first.
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination + "2"), 9u);
    EXPECT_FALSE(Exists(Destination + "2"));

    // The program is closed; trying again installs everything.
    CloseHandle(held);
    question.answer("Yes");
    EXPECT_EQ(setup.exitCode(kPageTimeout), 0u) << Log();
    EXPECT_EQ(ReadFile(Destination + "\\demosync.exe"), Packaged("demosync.exe"));
    EXPECT_EQ(Uninstall("UninstallPath"), Destination);
}

TEST_F(UnattendedInstallation, VerySilentGivesUpOnAFileInUseAndSaysSoInItsExitCode) {
    HANDLE held = HoldOpen("demosync.exe");
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 11u); // a file in use
    CloseHandle(held);
    EXPECT_NE(Log().find("SETUP::ActualCopy cannot write demosync.exe"), std::string::npos) << Log();
    EXPECT_NE(Log().find("-> no (default)"), std::string::npos) << "the retry question took its default";
    EXPECT_EQ(Uninstall("UninstallPath"), "<absent>") << "an abandoned copy writes no uninstall entry";
    EXPECT_FALSE(Exists(UserMenu));
}

TEST_F(UnattendedInstallation, ARunThatCannotBeginShowsNothingAndSaysWhyInItsExitCode) {
    // A folder of Windows is never a destination, whoever names it.
    const std::string windows = ShellFolder(CSIDL_WINDOWS);
    const std::vector<std::string> before = FolderEntries(windows);
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + windows), 12u); // the destination refused
    EXPECT_EQ(FolderEntries(windows), before);
    EXPECT_EQ(Uninstall("UninstallPath"), "<absent>");

    // The mobile-device manager the package requires is not on this machine: a prerequisite is missing.
    std::string config = Package.Read("setup.cfg");
    config = Replaced(config, "ActiveSyncInstall=0", "ActiveSyncInstall=1");
    Package.Write("setup.cfg", config);
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 3u);

    std::filesystem::remove(Package.Path / "setup.cfg");
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 1u);
    EXPECT_FALSE(Exists(Destination));
}

// custom.fil replaced by an archive of the test's own writer: setup.fil is installed first, so a failure
// in custom.fil shows that the copy is undone as a whole.
class UnattendedArchives : public UnattendedInstallation {
protected:
    void WriteCustom(const std::vector<testzip::MEMBER>& members) const {
        ASSERT_TRUE(testzip::WriteZip(Package.File("custom.fil"), members));
    }
    // The copy's message as the log shows it in an unattended run, in the language library `library`.
    std::string LoggedMessage(const char* library, int id, const std::string& file,
                              const std::string& method) const {
        HMODULE module = LoadLibraryExA(Package.File(library).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        char text[1024] = {};
        const int length = module ? LoadStringA(module, static_cast<UINT>(id), text, sizeof text) : 0;
        if (module)
            FreeLibrary(module);
        std::string message(text, static_cast<size_t>(length > 0 ? length : 0));
        return Replaced(Replaced(message, "$FILE", file), "$METHOD", method);
    }
    // Each line of the message (those in ASCII: the log keeps its own code page) is in the log.
    void ExpectLogged(const std::string& message) const {
        const std::string log = Log();
        size_t lines = 0;
        for (const std::string& line : Split(message, '\n')) {
            bool ascii = true;
            for (char c : line)
                ascii = ascii && static_cast<unsigned char>(c) < 0x80;
            if (line.empty() || !ascii)
                continue;
            ++lines;
            EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
        }
        EXPECT_GE(lines, 2u) << message;
    }
    void ExpectNothingInstalled() const {
        EXPECT_FALSE(Exists(Destination + "\\demoapp.exe")) << "setup.fil's files are undone";
        EXPECT_FALSE(Exists(Destination + "\\site.ini"));
        EXPECT_EQ(Uninstall("UninstallPath"), "<absent>");
    }
};

TEST_F(UnattendedArchives, AMemberPackedWithBzip2EndsTheRunWithFourNamingTheFileAndTheMethod) {
    testzip::MEMBER packed{"templates/letter.odemo", "bzip2 bytes", 0, 11, 12};
    packed.VersionNeeded = 46;
    WriteCustom({{"site.ini", "[site]\n"}, packed});
    ASSERT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 4u) << Log();
    const std::string english =
        LoggedMessage("setupenglish.dll", 3036, "templates/letter.odemo", "bzip2 (method 12)");
    EXPECT_NE(english.find("bzip2 (method 12)"), std::string::npos) << english;
    ExpectLogged(english);
    ExpectNothingInstalled();

    // The same in German.
    ASSERT_EQ(RunShowingNothing("/VERYSILENT -LANG GER /DIR:" + Destination), 4u) << Log();
    const std::string german =
        LoggedMessage("setupgerman.dll", 3036, "templates/letter.odemo", "bzip2 (method 12)");
    EXPECT_NE(german.find("gepackt"), std::string::npos) << german;
    ExpectLogged(german);
    ExpectNothingInstalled();
}

TEST_F(UnattendedArchives, AnEndRecordThatCountsFewerMembersIsADamagedPackageAndNothingStays) {
    WriteCustom({{"site.ini", "[site]\n"}, {"templates/letter.odemo", "letter"}});
    std::string archive = Package.Read("custom.fil");
    const size_t end = archive.rfind("PK\x05\x06");
    archive[end + 8] = archive[end + 10] = 1; // the second member would go missing without a word
    Package.Write("custom.fil", archive);
    // Both directories are read before anything is copied: the archive itself is the damage.
    ASSERT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 4u) << Log();
    EXPECT_NE(Log().find("the package is damaged at custom.fil"), std::string::npos) << Log();
    ExpectNothingInstalled();
}

// As today's Windows tools write archives: the MS-DOS host, names in mixed case, and an old archiver's
// upper-case name and folder marked only by its attribute.
TEST_F(UnattendedArchives, NamesAreInstalledAndRecordedAsTheyAreWritten) {
    testzip::MEMBER folder{"OLDDIR", "", 0, 0};
    folder.Attributes = 0x10;
    WriteCustom({{"site.ini", "[site]\n"},
                 {"notes:v2.txt", "colon"},
                 {"OLD.TXT;1", "version", 0, 0},
                 {"DemoPad Notes.Txt", "case", 0, 0},
                 folder,
                 {"OLDDIR/INSIDE.TXT", "inside", 0, 0}});
    ASSERT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 0u) << Log();
    EXPECT_EQ(ReadFile(Destination + "\\notes_v2.txt"), "colon");
    EXPECT_EQ(ReadFile(Destination + "\\old.txt"), "version");
    EXPECT_EQ(ReadFile(Destination + "\\olddir\\inside.txt"), "inside");
    std::vector<std::string> onDisk;
    for (const auto& entry : std::filesystem::directory_iterator(Destination))
        onDisk.push_back(entry.path().filename().string());
    EXPECT_NE(std::find(onDisk.begin(), onDisk.end(), "DemoPad Notes.Txt"), onDisk.end())
        << "the case is kept";
    EXPECT_TRUE(std::filesystem::is_directory(Destination + "\\olddir"));
    const std::string files = "|" + Uninstall("UninstallFiles") + "|";
    for (const char* recorded :
         {"|notes_v2.txt|", "|old.txt|", "|DemoPad Notes.Txt|", "|olddir/|", "|olddir/inside.txt|"})
        EXPECT_NE(files.find(recorded), std::string::npos) << recorded << " in " << files;
    EXPECT_EQ(files.find("notes:v2"), std::string::npos) << files;
    EXPECT_EQ(files.find(";1"), std::string::npos) << files;
}

// A value of the current user's registry for the life of the object; what was there before comes back.
class USERVALUE {
public:
    USERVALUE(const std::string& key, const std::string& name, const std::string& value)
        : Key(key), Name(name) {
        RegCreateKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Handle,
                        nullptr);
        RegSetValueExA(Handle, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    ~USERVALUE() {
        RegDeleteValueA(Handle, Name.c_str());
        RegCloseKey(Handle);
    }
    USERVALUE(const USERVALUE&) = delete;
    USERVALUE& operator=(const USERVALUE&) = delete;

private:
    std::string Key, Name;
    HKEY Handle = nullptr;
};

// The program's folder is a download folder anybody may write to, and so is a folder of PATH: no library put
// there is loaded. Wine takes its own libraries first; the override makes it look into the program's folder
// first, as the Windows loader does for a library that is not one of the system's known ones.
TEST_F(UnattendedInstallation, NoLibraryPlantedBesideItOrOnThePathIsLoaded) {
    const std::vector<std::string> planted = {"bcrypt.dll", "dbghelp.dll", "secur32.dll", "comdlg32.dll",
                                              "comctl32.dll"};
    std::vector<std::unique_ptr<USERVALUE>> overrides;
    for (const std::string& name : planted) {
        std::filesystem::copy_file(ORVIK_MARKER_LIBRARY, Package.Path / name);
        overrides.push_back(
            std::make_unique<USERVALUE>("Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides",
                                        name.substr(0, name.size() - 4), "native,builtin"));
    }
    const std::filesystem::path onpath = Package.Path / "onpath";
    std::filesystem::create_directories(onpath);
    std::filesystem::copy_file(ORVIK_MARKER_LIBRARY, onpath / "SETUPHOOK.dll");
    char path[32768] = {};
    GetEnvironmentVariableA("PATH", path, sizeof path);
    SetEnvironmentVariableA("PATH", (onpath.string() + ";" + path).c_str());
    const DWORD exitcode = RunShowingNothing("/VERYSILENT /DIR:" + Destination);
    SetEnvironmentVariableA("PATH", path);

    EXPECT_EQ(exitcode, 0u) << Log();
    for (const std::string& name : planted)
        EXPECT_FALSE(Exists(Package.File(name.c_str()) + ".loaded"))
            << name << " beside setup.exe was loaded";
    EXPECT_FALSE(Exists((onpath / "SETUPHOOK.dll.loaded").string())) << "the hook was found through PATH";
    EXPECT_NE(Log().find("no hook library"), std::string::npos);
    EXPECT_TRUE(Exists(Destination + "\\demoapp.exe"));
}

// An argument file beside setup.exe may switch the log on, but asks for no verb and no mode: the install
// runs, the copy it asks for does not.
TEST_F(UnattendedInstallation, AnArgumentFileBesideItCannotTurnTheRunIntoAVerb) {
    const std::string target = Destination.substr(0, Destination.rfind('\\')) + "\\planted.cfg";
    std::filesystem::create_directories(Destination.substr(0, Destination.rfind('\\')));
    Package.Write("commandline.ini",
                  "/COPYFILE:" + Package.File("setup.cfg") + "|" + target + "|1\n/ORDER\n-remove\nDemoPad\n");
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 0u);
    EXPECT_FALSE(Exists(target)) << "the verb of the argument file ran";
    EXPECT_TRUE(Exists(Destination + "\\demoapp.exe")) << Log();
    EXPECT_NE(Log().find("'/COPYFILE:"), std::string::npos) << Log();
    EXPECT_NE(Log().find("ignored, only the command line may ask for it"), std::string::npos);
}

// A truncated archive is a damaged package: nobody is asked anything, nothing is installed, and the exit code
// says so at once.
TEST_F(UnattendedInstallation, ATruncatedArchiveEndsWithFourAndInstallsNothing) {
    const std::string archive = Package.File("setup.fil");
    std::filesystem::resize_file(archive, std::filesystem::file_size(archive) * 2 / 3);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(RunShowingNothing("/VERYSILENT /DIR:" + Destination), 4u) << Log();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_FALSE(Exists(Destination + "\\demoapp.exe"));
    EXPECT_EQ(Uninstall("UninstallPath"), "<absent>");
    EXPECT_EQ(Log().find("ASSERTION FAILED"), std::string::npos) << Log();
    EXPECT_NE(Log().find("the package is damaged at setup.fil"), std::string::npos) << Log();
}

} // namespace
