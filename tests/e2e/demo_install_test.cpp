// DemoPad installed from its package like a person installs it: setup.exe started in the package folder,
// every page of the wizard read and answered by the UI robot, with a screenshot of each; afterwards the
// machine is inspected: the product's files, its uninstall entry, its file types and its shortcuts, and the
// installed program itself is started.
//
// With ORVIK_DEMO_FOLDER set (scripts/demo.sh), the session runs on that folder and leaves the installation
// on the machine for the demo to show.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/demo_session.h"
#include "tests/e2e/installed_system.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

using namespace uirobot;
using namespace e2e;

namespace {

// What the demo package's setup.cfg and advertisement file say, beyond demo_session.h.
const std::string kVersion = "2.4";
const std::string kWarning = "This is a demonstration package: DemoPad has no real use.\n\n"
                             "It can be removed again at any time through the uninstall entry.";
const std::string kWelcome = "Welcome! This wizard installs DemoPad, the note pad of the Orvik demo package.";
const std::string kFinish =
    "DemoPad is ready. Find it in the start menu under \"Orvik DemoPad\" and on the desktop.";

// Pages, known by the title messages of their headers.
constexpr int kWelcomeTitle = 2912, kLicenceTitle = 2904, kDestinationTitle = 2902, kCopyTitle = 2906,
              kShortcutTitle = 2916, kAdvertTitle = 2914, kFinishTitle = 2918;

// Text with "\n" line ends, whether a control holds "\r\n" or a bare "\r".
std::string WithoutCR(const std::string& text) {
    return Replaced(Replaced(text, "\r\n", "\n"), "\r", "\n");
}

// The words of a message box as the robot reads them: Wine's message boxes give their text back without the
// paragraph breaks they show (the screenshots show them), so line ends are left out on both sides.
std::string MessageWords(const std::string& text) {
    return Replaced(WithoutCR(text), "\n", "");
}

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// The local date as the uninstall entry's InstallDate writes it: "yyyymmdd".
std::string Today() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char text[16] = {};
    snprintf(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

// An archive member as the package's build packs it: its name and the file it is made from (empty for a
// directory or an empty member).
struct MEMBER {
    std::string Name, Source;
    bool IsFolder() const { return !Name.empty() && Name.back() == '/'; }
    bool IsDummy() const { return Name.size() >= 9 && Name.compare(Name.size() - 9, 9, "dummy.tmp") == 0; }
};

std::vector<MEMBER> Members(const std::string& list) {
    std::vector<MEMBER> members;
    for (const std::string& entry : Split(list, '|')) {
        const size_t equals = entry.find('=');
        MEMBER member{entry.substr(0, equals), ""};
        if (equals != std::string::npos && equals + 1 < entry.size())
            member.Source = "Z:" + entry.substr(equals + 1); // a Linux path, drive Z: under Wine
        members.push_back(member);
    }
    return members;
}

// The member name as a Windows path below folder.
std::string Below(const std::string& folder, std::string name) {
    for (char& c : name)
        if (c == '/')
            c = '\\';
    if (!name.empty() && name.back() == '\\')
        name.pop_back();
    return folder + "\\" + name;
}

class DemoInstallation : public testing::Test {
protected:
    void SetUp() override {
        if (const char* folder = std::getenv("ORVIK_DEMO_FOLDER"); folder && *folder) {
            Package = folder;
            DemoMode = true;
        } else {
            Shipped = std::make_unique<SETUPFOLDER>();
            Package = Shipped->Path.string();
            for (const auto& file : std::filesystem::directory_iterator(DEMO_PACKAGE_DIR))
                std::filesystem::copy_file(file.path(), Shipped->Path / file.path().filename(),
                                           std::filesystem::copy_options::overwrite_existing);
        }
        Destination = DemoPadFolder();
        StartMenu = ShellFolder(CSIDL_PROGRAMS) + "\\" + kStartmenuName;
        Desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
        RemoveDemoPad(); // a machine that has never seen DemoPad
    }
    void TearDown() override {
        CloseFolderWindows();
        if (!DemoMode)
            RemoveDemoPad();
    }

    // Waits for the start-menu folder's window (the shell opens it a moment after setup has ended), shows it
    // in a screenshot and closes it, so that it lies over nothing that comes later.
    void SeeAndCloseStartMenuFolder(const std::string& screenshot) const {
        EXPECT_TRUE(waitUntil([&] { return !windowsTitled(kStartmenuName).empty(); }, kPageTimeout))
            << "no window shows the folder " << StartMenu;
        if (const auto folders = windowsTitled(kStartmenuName); !folders.empty() && !screenshot.empty())
            Screenshot(folders.front(), screenshot);
        CloseFolderWindows();
    }

    RobotProcess StartSetup() const {
        return RobotProcess::start(Package + "\\setup.exe", "/LOGIT:" + Package + "\\setup.log", Package);
    }

    void Screenshot(const Window& window, const std::string& name) const {
        ScreenshotFolder folder(std::string(E2E_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        const std::string file = folder.save(captureWindow(window), name);
        EXPECT_TRUE(Exists(file)) << file;
    }

    // ---- the pages, as a person sees them on a first installation -------------------------------------

    Window Welcome(const RobotProcess& setup) const {
        // The package's dated warning comes first, in a box of its own.
        const MessageBoxWindow warning =
            MessageBoxWindow::waitFor(WindowFinder(setup), kAppName, kPageTimeout);
        EXPECT_EQ(MessageWords(warning.message()), MessageWords(kWarning));
        Screenshot(warning.window(), "01-warning");
        warning.answer("OK");

        const Window wizard = WaitForWizard(setup);
        WaitForPage(wizard, kWelcomeTitle);
        EXPECT_EQ(Title(wizard), Msg(kWelcomeTitle) + kAppName + " " + kVersion);
        EXPECT_EQ(Subtitle(wizard), kWelcome) << "the English welcome of setup.cfg";
        EXPECT_NE(sendMessage(wizard.child(916), STM_GETICON), 0) << "the header shows setup's icon 1";
        EXPECT_TRUE(RadioButton(PageItem(wizard, 401)).isSelected()) << "a new installation";
        EXPECT_FALSE(PageItem(wizard, 402).isEnabled());
        EXPECT_FALSE(PageItem(wizard, 403).isEnabled());
        Screenshot(wizard, "02-welcome");
        return wizard;
    }

    void Licence(const Window& wizard) const {
        WaitForPage(wizard, kLicenceTitle);
        const GEOID nation = GetUserGeoID(GEOCLASS_NATION);
        const bool german = nation == 94 || nation == 223 || nation == 14;
        const std::string text = ReadFile(Package + (german ? "\\LIZENZ.TXT" : "\\LICENSE.TXT"));
        EXPECT_EQ(WithoutCR(PageItem(wizard, 201).text()),
                  Replaced(text, "$PROGRAM", kAppName + " " + kVersion));
        EXPECT_FALSE(wizard.child(149).isEnabled()) << "Next waits for the licence to be accepted";
        CheckBox(PageItem(wizard, 301)).setChecked(true);
        ASSERT_TRUE(waitUntil([&] { return wizard.child(149).isEnabled(); }));
        Screenshot(wizard, "03-licence");
    }

    void DestinationFolder(const Window& wizard) const {
        WaitForPage(wizard, kDestinationTitle);
        EXPECT_EQ(Edit(PageItem(wizard, 201)).text(), Destination) << "Program Files and InstallPath";
        EXPECT_TRUE(PageItem(wizard, 201).isEnabled());
        EXPECT_TRUE(PageItem(wizard, 101).isEnabled());
        Screenshot(wizard, "04-destination");
    }

    void Copying(const Window& wizard) const {
        WaitForPage(wizard, kCopyTitle);
        const Window status = PageItem(wizard, 201);
        ASSERT_TRUE(waitUntil([&] { return status.text() == Msg(2911); }, kPageTimeout))
            << "the copy page still says '" << status.text() << "'";
        Window bar;
        for (const Window& control : wizard.children())
            if (control.className() == PROGRESS_CLASSA)
                bar = control;
        ASSERT_TRUE(bar) << "no progress bar on the copy page";
        EXPECT_EQ(sendMessage(bar, PBM_GETPOS), 100);
        EXPECT_TRUE(waitUntil([&] { return wizard.child(149).isEnabled(); }));
        Screenshot(wizard, "05-copy-complete");
    }

    void Shortcuts(const Window& wizard) const {
        WaitForPage(wizard, kShortcutTitle);
        EXPECT_TRUE(RadioButton(PageItem(wizard, 401)).isSelected()) << "the current user's start menu";
        const Window desktop = PageItem(wizard, 301);
        EXPECT_TRUE(desktop.isVisible()) << "DemoPad is offered for the desktop";
        EXPECT_TRUE(CheckBox(desktop).isChecked()) << "DesktopIcon=2 ticks the box";
        Screenshot(wizard, "06-shortcuts");
    }

    void Advertisement(const Window& wizard) const {
        WaitForPage(wizard, kAdvertTitle);
        EXPECT_EQ(Title(wizard), Replaced(Msg(kAdvertTitle), "$PROG", kAppName));
        EXPECT_EQ(Subtitle(wizard), Replaced(Msg(2915), "$PROG", "DemoPad Pro"));
        EXPECT_EQ(PageItem(wizard, 650).text(), "Get more out of DemoPad");
        EXPECT_EQ(PageItem(wizard, 651).text(), "Meet DemoPad Pro");
        EXPECT_EQ(PageItem(wizard, 201).text(),
                  "DemoPad Pro keeps your notes on every computer you use, finds "
                  "any word in all of your documents and prints them in colour.");
        EXPECT_EQ(PageItem(wizard, 101).text(), "http://www.demopad.example/pro");
        Screenshot(wizard, "07-advertisement");
    }

    void Finish(const RobotProcess& setup, const Window& wizard) const {
        WaitForPage(wizard, kFinishTitle);
        EXPECT_EQ(Subtitle(wizard), Replaced(Msg(2919), "$PROG", kAppName));
        EXPECT_EQ(PageItem(wizard, 651).text(), kFinish) << "FinishMsg and its two continuation keys";
        EXPECT_FALSE(wizard.child(149).isVisible());
        EXPECT_EQ(wizard.child(IDCANCEL).text(), Msg(3000));
        Screenshot(wizard, "08-finish");
        Button(wizard.child(IDCANCEL)).click();

        const MessageBoxWindow done =
            MessageBoxWindow::waitFor(WindowFinder(setup), Msg(2900) + " " + kAppName, kPageTimeout);
        EXPECT_EQ(MessageWords(done.message()), MessageWords(Replaced(Msg(2994), "$PROGRAM", kAppName)));
        Screenshot(done.window(), "09-complete");
        done.answer("OK");
    }

    // Every page of a first installation, each checked, then the end of setup.
    void InstallPageByPage() const {
        RobotProcess setup = StartSetup();
        const Window wizard = Welcome(setup);
        Next(wizard);
        Licence(wizard);
        Next(wizard);
        DestinationFolder(wizard);
        Next(wizard);
        Copying(wizard);
        Next(wizard);
        Shortcuts(wizard);
        Next(wizard);
        Advertisement(wizard);
        Next(wizard);
        Finish(setup, wizard);
        EXPECT_EQ(setup.exitCode(kPageTimeout), 0u);
    }

    std::string Uninstall(const char* value) const {
        return RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, value);
    }
    std::string Classes(const std::string& key) const { return RegistryText(HKEY_CLASSES_ROOT, key); }

    // What a person would list after the installation.
    void Report() const {
        std::cout << "DemoPad was installed into " << Destination << "\n";
        for (const std::string& name : FolderEntries(Destination))
            std::cout << "  " << name << (IsFolder(Destination + "\\" + name) ? "\\" : "") << "\n";
        std::cout << "Uninstall entry HKEY_LOCAL_MACHINE\\" << kUninstallKey << ":\n";
        // clang-format off
        for (const char* value :
             {"DisplayName", "DisplayVersion", "DisplayIcon", "Publisher", "URLInfoAbout", "AppName",
              "Version", "UninstallString", "UninstallFiles", "UninstallPath", "UninstallRootClasses",
              "UninstallProtect", "UninstallFirewall", "UninstallEmail", "UninstallStartmenu",
              "UninstallStartmenuFiles", "UninstallDesktopFiles", "InstallLocation", "QuietUninstallString",
              "InstallDate"})
            // clang-format on
            std::cout << "  " << value << " = " << Uninstall(value) << "\n";
        std::cout << "File types:\n";
        for (size_t i = 0; i + 1 < kFileTypes.size(); i += 2)
            std::cout << "  " << kFileTypes[i] << " -> " << Classes(kFileTypes[i]) << " ("
                      << Classes(kFileTypes[i + 1])
                      << "), open: " << Classes(kFileTypes[i + 1] + "\\Shell\\open\\command") << "\n";
        std::cout << "Shortcuts:\n";
        for (const std::string& name : Split(Uninstall("UninstallStartmenuFiles"), '|')) {
            const std::string link = StartMenu + "\\" + name + ".LNK";
            const SHORTCUT shortcut = ReadShortcut(link);
            if (shortcut.Loaded)
                std::cout << "  " << link << " -> " << shortcut.Path << " " << shortcut.Arguments << "\n";
            else
                std::cout << "  " << StartMenu << "\\" << name << ".URL\n";
        }
        const SHORTCUT desktop = ReadShortcut(Desktop + "\\DemoPad.LNK");
        std::cout << "  " << Desktop << "\\DemoPad.LNK -> " << desktop.Path << "\n";
        std::cout << "Screenshots: " << E2E_SCREENSHOT_ROOT << "/" << CurrentTestName() << "\n";
    }

    std::unique_ptr<SETUPFOLDER> Shipped; // the package folder of a test, removed afterwards
    std::string Package, Destination, StartMenu, Desktop;
    bool DemoMode = false;
    DisplayLock Display; // one robot session on the screen at a time
};

} // namespace

TEST_F(DemoInstallation, APersonInstallsDemoPadAndFindsItEverywhereWindowsLooks) {
    InstallPageByPage();
    if (HasFatalFailure())
        return;

    // Setup ends by opening the start-menu folder in the shell.
    SeeAndCloseStartMenuFolder("10-start-menu-folder");

    // The product's files: every archive member in the destination, byte for byte; the dummy member only
    // made its folder; the file needed during setup only is gone again.
    std::vector<std::string> recorded;
    uint64_t installedbytes = 0;
    for (const MEMBER& member : Members(DEMO_SETUP_MEMBERS + std::string("|") + DEMO_CUSTOM_MEMBERS)) {
        const std::string path = Below(Destination, member.Name);
        if (member.IsDummy()) {
            EXPECT_FALSE(Exists(path)) << path;
            EXPECT_TRUE(IsFolder(path.substr(0, path.rfind('\\')))) << path;
            EXPECT_TRUE(FolderEntries(path.substr(0, path.rfind('\\'))).empty()) << path;
            continue;
        }
        recorded.push_back(member.Name);
        if (member.IsFolder())
            EXPECT_TRUE(IsFolder(path)) << path;
        else if (member.Name == "setupinfo.tmp")
            EXPECT_FALSE(Exists(path)) << "DeleteAfterExtract removes " << path;
        else
            EXPECT_EQ(ReadFile(path), ReadFile(member.Source)) << path;
        if (!member.Source.empty())
            installedbytes += ReadFile(member.Source).size();
    }
    // CopyToDest: setup itself, its languages and the licence texts, from the package folder.
    for (const char* file :
         {"setup.exe", "setupenglish.dll", "setupgerman.dll", "LICENSE.TXT", "LIZENZ.TXT"}) {
        EXPECT_EQ(ReadFile(Destination + "\\" + file), ReadFile(Package + "\\" + file)) << file;
        installedbytes += ReadFile(Package + "\\" + file).size();
    }
    EXPECT_FALSE(Exists(Destination + "\\LICENSEFR.TXT")) << "not named by CopyToDest";

    // The uninstall entry records all of it.
    EXPECT_EQ(Uninstall("DisplayName"), kStartmenuName);
    EXPECT_EQ(Uninstall("DisplayVersion"), kVersion);
    EXPECT_EQ(Uninstall("Version"), kVersion);
    EXPECT_EQ(Uninstall("AppName"), kAppName);
    EXPECT_EQ(Uninstall("DisplayIcon"), Destination + "\\demoapp.exe");
    EXPECT_NE(Uninstall("Publisher"), "<absent>");
    EXPECT_NE(Uninstall("URLInfoAbout"), "<absent>");
    EXPECT_EQ(Uninstall("UninstallString"), "\"" + Destination + "\\Setup.exe\" -remove \"" + kIniKey + "\"");
    EXPECT_EQ(Uninstall("UninstallPath"), Destination);
    EXPECT_EQ(Uninstall("UninstallFiles"), Join(recorded, "|"));
    EXPECT_EQ(Uninstall("UninstallRootClasses"), Join(kFileTypes, "|"));
    EXPECT_EQ(Uninstall("UninstallProtect"), "demopad.ini");
    EXPECT_EQ(Uninstall("UninstallFirewall"), "demoapp.exe|demosync.exe");
    EXPECT_EQ(Uninstall("UninstallEmail"), "feedback@demopad.example;mail.demopad.example");
    EXPECT_EQ(Uninstall("UninstallStartmenu"), StartMenu);
    EXPECT_EQ(Uninstall("UninstallStartmenuFiles"),
              "DemoPad|Tools\\DemoPad Sync|Read me|DemoPad on the Web|" +
                  Replaced(Msg(2998), "$PROGRAM", kAppName));
    EXPECT_EQ(Uninstall("UninstallDesktopFiles"), "DemoPad");
    // What the program list and deployment tools read, after the values above.
    EXPECT_EQ(Uninstall("InstallLocation"), Destination);
    EXPECT_EQ(RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"),
              static_cast<int64_t>((installedbytes + 1023) / 1024))
        << installedbytes << " bytes installed";
    EXPECT_EQ(Uninstall("QuietUninstallString"), Uninstall("UninstallString") + " /VERYSILENT");
    EXPECT_EQ(RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify"), 1);
    EXPECT_EQ(RegistryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair"), 1);
    EXPECT_EQ(Uninstall("InstallDate"), Today());

    // File types: a document type that DemoPad opens, a log type with an icon only, a note type that
    // Notepad may also edit.
    EXPECT_EQ(Classes(".odemo"), "DemoPad.Document");
    EXPECT_EQ(Classes("DemoPad.Document"), "DemoPad document");
    EXPECT_EQ(Classes("DemoPad.Document\\DefaultIcon"), Destination + "\\demoapp.exe,1");
    EXPECT_EQ(Classes("DemoPad.Document\\Shell\\open\\command"), Destination + "\\demoapp.exe \"%1\"");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "DemoPad.Document\\Shell\\edit"));
    EXPECT_EQ(Classes(".odlog"), "DemoPad.SyncLog");
    EXPECT_EQ(Classes("DemoPad.SyncLog"), "DemoPad sync log");
    EXPECT_EQ(Classes("DemoPad.SyncLog\\DefaultIcon"), Destination + "\\demosync.exe,0");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "DemoPad.SyncLog\\Shell\\open\\command")) << "{null}";
    EXPECT_EQ(Classes(".odnote"), "DemoPad.Note");
    EXPECT_EQ(Classes("DemoPad.Note\\Shell\\open\\command"), Destination + "\\demoapp.exe \"%1\"");
    EXPECT_EQ(Classes("DemoPad.Note\\Shell\\edit\\command"), "notepad %1") << "{textedit}";

    // Shortcuts in the start menu, one in a sub-folder, the web site as an Internet shortcut, the
    // uninstaller, and DemoPad on the desktop.
    const SHORTCUT program = ReadShortcut(StartMenu + "\\DemoPad.LNK");
    ASSERT_TRUE(program.Loaded) << StartMenu << "\\DemoPad.LNK";
    EXPECT_EQ(program.Path, Destination + "\\demoapp.exe");
    EXPECT_EQ(program.WorkingDirectory, Destination);
    EXPECT_EQ(program.Description, "DemoPad");
    EXPECT_EQ(program.IconFile, Destination + "\\demoapp.exe");
    EXPECT_EQ(program.IconNumber, 0);
    const SHORTCUT sync = ReadShortcut(StartMenu + "\\Tools\\DemoPad Sync.LNK");
    EXPECT_TRUE(sync.Loaded);
    EXPECT_EQ(sync.Path, Destination + "\\demosync.exe");
    EXPECT_EQ(sync.Arguments, "/status");
    EXPECT_EQ(sync.Description, "DemoPad Sync");
    EXPECT_EQ(ReadShortcut(StartMenu + "\\Read me.LNK").Path, Destination + "\\docs\\readme.txt");
    EXPECT_NE(ReadFile(StartMenu + "\\DemoPad on the Web.URL").find("URL=http://www.demopad.example/"),
              std::string::npos);
    const SHORTCUT uninstall =
        ReadShortcut(StartMenu + "\\" + Replaced(Msg(2998), "$PROGRAM", kAppName) + ".LNK");
    EXPECT_EQ(uninstall.Path, Destination + "\\setup.exe");
    EXPECT_EQ(uninstall.Arguments, "-remove " + kIniKey);
    EXPECT_EQ(uninstall.IconFile, Destination + "\\setup.exe");
    EXPECT_EQ(uninstall.IconNumber, 1);
    const SHORTCUT desktop = ReadShortcut(Desktop + "\\DemoPad.LNK");
    EXPECT_TRUE(desktop.Loaded) << Desktop << "\\DemoPad.LNK";
    EXPECT_EQ(desktop.Path, Destination + "\\demoapp.exe");
    EXPECT_EQ(desktop.Arguments, "");

    // The installed DemoPad opens the sample document the way its file type says.
    const std::string sample = Destination + "\\samples\\welcome.odemo";
    RobotProcess demopad = RobotProcess::start(program.Path, "\"" + sample + "\"", program.WorkingDirectory);
    const Window window = WindowFinder(demopad).waitFor(
        WindowQuery::titled("DemoPad " + kVersion + " - " + sample), kPageTimeout);
    EXPECT_EQ(WithoutCR(window.child(100).text()), ReadFile(sample));
    Screenshot(window, "11-demopad");
    postMessage(window, WM_CLOSE);
    EXPECT_EQ(demopad.exitCode(), 0u);

    Report();
}

TEST_F(DemoInstallation, StartingSetupAgainOffersToReinstallTheSameVersionInItsFolder) {
    InstallPageByPage();
    if (HasFatalFailure())
        return;
    SeeAndCloseStartMenuFolder("");

    RobotProcess setup = StartSetup();
    MessageBoxWindow::waitFor(WindowFinder(setup), kAppName, kPageTimeout).answer("OK");
    const Window wizard = WaitForWizard(setup);
    WaitForPage(wizard, kWelcomeTitle);
    EXPECT_TRUE(RadioButton(PageItem(wizard, 402)).isSelected()) << "the same version is installed";
    EXPECT_TRUE(PageItem(wizard, 401).isEnabled());
    EXPECT_TRUE(PageItem(wizard, 402).isEnabled());
    EXPECT_FALSE(PageItem(wizard, 403).isEnabled()) << "nothing older to update";
    Screenshot(wizard, "01-welcome-reinstall");
    Next(wizard);

    // No licence the second time: straight to the folder, which stays where DemoPad is.
    WaitForPage(wizard, kDestinationTitle);
    EXPECT_EQ(PageItem(wizard, 201).text(), Destination);
    EXPECT_FALSE(PageItem(wizard, 201).isEnabled());
    EXPECT_FALSE(PageItem(wizard, 101).isEnabled());
    Screenshot(wizard, "02-destination-kept");

    // Leaving: Cancel, and No to going on.
    Button(wizard.child(IDCANCEL)).click();
    Window question;
    ASSERT_TRUE(waitUntil([&] {
        for (const Window& window : WindowFinder(setup).topLevelWindows())
            if (window != wizard && window.className() == "#32770")
                question = window;
        return static_cast<bool>(question);
    })) << "no question after Cancel";
    EXPECT_EQ(MessageWords(MessageBoxWindow(question).message()), MessageWords(Msg(2987)));
    Screenshot(question, "03-cancel-question");
    MessageBoxWindow(question).answer("No");
    EXPECT_EQ(setup.exitCode(kPageTimeout), 2u); // cancelled before copying
    EXPECT_EQ(Uninstall("DisplayVersion"), kVersion) << "the installation is still recorded";
}
