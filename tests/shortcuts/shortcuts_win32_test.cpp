// The shortcut step's work below its page: links and Internet shortcuts created in folders of the test and
// read back, the moved start-menu folder, the record in the uninstall entry, the firewall exceptions (against
// the in-process firewall of tests/firewall) and the hand-over to the device manager.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lib/orvik.h"
#include "lib/win/comwarmup.h"
#include "setup/install/installation.h"
#include "setup/install/installwizard.h"
#include "setup/install/shortcutentries.h"
#include "setup/install/shortcuts.h"
#include "tests/common/fakefirewall.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/shortcutfiles.h"
#include "tests/common/test_support.h"
#include "tests/common/uninstall_entry.h"
#include "tests/common/stubcalls.h"

namespace {

// A start-menu folder, a desktop and an install directory with the programs the links point to.
class ShortcutFolders : public testing::Test {
protected:
    ShortcutFolders() : Menu("menu"), Desktop("desktop"), Dest("dest") {
        Dest.Write("viewer.exe", "MZ");
        Dest.Write("bin\\tool.exe", "MZ");
        Dest.Write("setup.exe", "MZ");
    }
    SHORTCUTLISTS Create(const char* entries, bool startmenu) {
        return CreateShortcuts(entries, Dest.Text().c_str(),
                               SHORTCUTFOLDERS{Menu.Text().c_str(), Desktop.Text().c_str()}, startmenu);
    }
    SCRATCHFOLDER Menu, Desktop, Dest;
};

std::string S(const STRING& text) {
    return text.NotNull() ? text.Text() : "<null>";
}

} // namespace

// ---- links
// ------------------------------------------------------------------------------------------------------

using ShortcutLinks = ShortcutFolders;

TEST_F(ShortcutLinks, AStartMenuLinkStartsTheProgramInTheInstallDirectory) {
    const SHORTCUTLISTS created = Create("Viewer;*viewer.exe;-open last;viewer.exe:2", true);
    EXPECT_EQ("Viewer", S(created.StartMenu));
    EXPECT_EQ("", S(created.Desktop));

    const SHELLLINKDATA link = ReadShellLink(Menu.File("Viewer.LNK"));
    ASSERT_TRUE(link.Loaded);
    EXPECT_EQ(Dest.File("viewer.exe"), link.Path) << "the \"*\" mark is not part of the path";
    EXPECT_EQ("-open last", link.Arguments);
    EXPECT_EQ(Dest.Text(), link.WorkingDirectory);
    EXPECT_EQ("Viewer", link.Description);
    EXPECT_EQ(Dest.Text() + "\\viewer.exe", link.IconFile);
    EXPECT_EQ(2, link.IconNumber);
}

TEST_F(ShortcutLinks, ANameWithASubFolderCreatesThatFolderInsideTheStartMenuFolder) {
    const SHORTCUTLISTS created = Create("Tools\\Deep\\Tool;bin\\tool.exe|Readme;viewer.exe", true);
    EXPECT_EQ("Tools\\Deep\\Tool|Readme", S(created.StartMenu));
    const SHELLLINKDATA link = ReadShellLink(Menu.File("Tools\\Deep\\Tool.LNK"));
    ASSERT_TRUE(link.Loaded);
    EXPECT_EQ("Tool", link.Description) << "the last component describes the link";
    EXPECT_EQ(Dest.File("bin\\tool.exe"), link.Path);
    EXPECT_TRUE(FileExists(Menu.File("Readme.LNK")));
}

TEST_F(ShortcutLinks, TheDesktopEntryGoesToTheDesktopWithoutIconEvenWithoutStartMenu) {
    const SHORTCUTLISTS created = Create("Viewer;viewer.exe|Viewer;#viewer.exe;-desk", false);
    EXPECT_EQ("", S(created.StartMenu)) << "no start menu wanted";
    EXPECT_EQ("Viewer", S(created.Desktop));
    EXPECT_FALSE(FileExists(Menu.File("Viewer.LNK")));
    const SHELLLINKDATA link = ReadShellLink(Desktop.File("Viewer.LNK"));
    ASSERT_TRUE(link.Loaded);
    EXPECT_EQ(Dest.File("viewer.exe"), link.Path);
    EXPECT_EQ("-desk", link.Arguments);
    EXPECT_EQ("", link.IconFile);
}

TEST_F(ShortcutLinks, TheUninstallEntryRunsSetupWithRemoveAndTheKey) {
    Create(UninstallShortcutEntry("Uninstall Orvik", "ORVIKTEST").Text(), true);
    const SHELLLINKDATA link = ReadShellLink(Menu.File("Uninstall Orvik.LNK"));
    ASSERT_TRUE(link.Loaded);
    EXPECT_EQ(Dest.File("setup.exe"), link.Path);
    EXPECT_EQ("-remove ORVIKTEST", link.Arguments);
    EXPECT_EQ(Dest.File("setup.exe"), link.IconFile);
    EXPECT_EQ(1, link.IconNumber);
}

TEST_F(ShortcutLinks, ATargetOnTheSearchPathBecomesTheLibrarysFullPath) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    Create("Kernel;%PATH%\\kernel32.dll|Missing;%PATH%\\no-such-library-here.dll", true);
    const SHELLLINKDATA found = ReadShellLink(Menu.File("Kernel.LNK"));
    ASSERT_TRUE(found.Loaded);
    EXPECT_EQ(0, _stricmp((std::string(system) + "\\kernel32.dll").c_str(), found.Path.c_str()))
        << found.Path;
    const SHELLLINKDATA missing = ReadShellLink(Menu.File("Missing.LNK"));
    ASSERT_TRUE(missing.Loaded);
    EXPECT_NE(std::string::npos, missing.Path.find("no-such-library-here.dll")) << missing.Path;
}

// A library on the search path is found where it lies, but not loaded: its start code would run in this
// elevated process. The program's own folder is not searched: anybody may have put a library there.
TEST_F(ShortcutLinks, ALibraryOnTheSearchPathIsFoundWithoutLoadingIt) {
    const std::string folder = Dest.File("onpath");
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA(ORVIK_MARKER_LIBRARY, (folder + "\\markerlib.dll").c_str(), FALSE);
    char path[32768] = {};
    GetEnvironmentVariableA("PATH", path, sizeof path);
    SetEnvironmentVariableA("PATH", (folder + ";" + path).c_str());
    Create("Marker;%PATH%\\markerlib.dll", true);
    SetEnvironmentVariableA("PATH", path);
    const SHELLLINKDATA found = ReadShellLink(Menu.File("Marker.LNK"));
    ASSERT_TRUE(found.Loaded);
    EXPECT_EQ(0, _stricmp((folder + "\\markerlib.dll").c_str(), found.Path.c_str())) << found.Path;
    EXPECT_EQ(GetFileAttributesA((folder + "\\markerlib.dll.loaded").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the library was loaded";
}

TEST_F(ShortcutLinks, APathLongerThanTheSystemLimitIsRefusedAndLoggedWhileTheOthersAreMade) {
    const std::string logfile = Dest.File("long.log");
    LogitOption(("/LOGIT:" + logfile).c_str());
    // The start-menu folder's path plus "\" plus the name plus ".LNK" must stay below 260 characters.
    const int room = 259 - static_cast<int>(Menu.Text().size()) - 1 - 4;
    const std::string fits(room, 'a');
    const std::string toolong(room + 1, 'b');
    const SHORTCUTLISTS created =
        Create((toolong + ";viewer.exe|" + fits + ";viewer.exe|Web" + std::string(room, 'w') +
                ";http://www.orvik.example/|Short;viewer.exe")
                   .c_str(),
               true);
    LogitOption("/LOGITCLOSE");
    EXPECT_EQ(fits + "|Short", S(created.StartMenu)) << "only what was made is recorded";
    EXPECT_TRUE(ReadShellLink(Menu.File(fits + ".LNK")).Loaded);
    EXPECT_TRUE(FileExists(Menu.File("Short.LNK")));
    const std::string log = ReadWholeFile(logfile);
    EXPECT_NE(std::string::npos, log.find(toolong + ".LNK not created")) << log;
    EXPECT_NE(std::string::npos, log.find("w.URL not created")) << log;
}

// ---- Internet shortcuts
// --------------------------------------------------------------------------------------------

using ShortcutInternet = ShortcutFolders;

TEST_F(ShortcutInternet, AnUrlTargetMakesAUrlFileInTheStartMenu) {
    const SHORTCUTLISTS created =
        Create("Home page;https://www.orvik.example/start|Help\\Online;HTTP://help.orvik.example", true);
    EXPECT_EQ("Home page|Help\\Online", S(created.StartMenu));
    const std::string home = ReadWholeFile(Menu.File("Home page.URL"));
    EXPECT_NE(std::string::npos, home.find("[InternetShortcut]")) << home;
    EXPECT_NE(std::string::npos, home.find("URL=https://www.orvik.example/start")) << home;
    const std::string help = ReadWholeFile(Menu.File("Help\\Online.URL"));
    EXPECT_NE(std::string::npos, help.find("help.orvik.example")) << help;
}

TEST_F(ShortcutInternet, WithoutTheStartMenuNoUrlFileIsMade) {
    const SHORTCUTLISTS created = Create("Home page;https://www.orvik.example/", false);
    EXPECT_EQ("", S(created.StartMenu));
    EXPECT_FALSE(FileExists(Menu.File("Home page.URL")));
    EXPECT_TRUE(std::filesystem::is_empty(Desktop.Path())) << "Internet shortcuts never go to the desktop";
}

// ---- the classes made ready during the copy
// ---------------------------------------------------------------

namespace {

const CLSID ShellLinkClassId = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const CLSID InternetShortcutClassId = {
    0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
const CLSID FirewallManagerClassId = {
    0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};

bool Holds(const std::vector<CLSID>& classes, const CLSID& clsid) {
    return std::any_of(classes.begin(), classes.end(),
                       [&](const CLSID& c) { return IsEqualCLSID(c, clsid); });
}

} // namespace

TEST(ShortcutStepClasses, FollowTheEntriesTheFirewallListAndTheStartMenuChoice) {
    HASH config;
    config["StartmenuOpts"] = "Viewer;*viewer.exe|Home;https://www.orvik.example/";
    config["AddToFirewall"] = "viewer.exe";
    CHOICES choices;
    choices.StartMenu = STARTMENUCHOICE::CurrentUser;
    std::vector<CLSID> classes = ShortcutStepClasses(config, choices);
    EXPECT_EQ(3u, classes.size());
    EXPECT_TRUE(Holds(classes, ShellLinkClassId) && Holds(classes, InternetShortcutClassId) &&
                Holds(classes, FirewallManagerClassId));

    // Internet shortcuts go only to the start menu.
    choices.StartMenu = STARTMENUCHOICE::None;
    classes = ShortcutStepClasses(config, choices);
    EXPECT_TRUE(Holds(classes, ShellLinkClassId));
    EXPECT_FALSE(Holds(classes, InternetShortcutClassId));

    config["AddToFirewall"] = "";
    config["StartmenuOpts"] = "Viewer;viewer.exe";
    choices.StartMenu = STARTMENUCHOICE::AllUsers;
    classes = ShortcutStepClasses(config, choices);
    EXPECT_EQ(1u, classes.size());

    // A mobile-device package makes no shortcut at all.
    config["ActiveSyncInstall"] = "1";
    EXPECT_TRUE(ShortcutStepClasses(config, choices).empty());
}

TEST_F(ShortcutInternet, LinksAreMadeWhileTheirClassesAreHeldReadyAndAnUnknownClassIsNotReady) {
    {
        COMWARMUP ready(std::vector<CLSID>{ShellLinkClassId, InternetShortcutClassId});
        EXPECT_TRUE(ready.WaitReady());
        const SHORTCUTLISTS created = Create("Viewer;viewer.exe|Home;https://www.orvik.example/", true);
        EXPECT_EQ("Viewer|Home", S(created.StartMenu));
    }
    const CLSID unknown = {0x0BADC0DE, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    COMWARMUP partly(std::vector<CLSID>{ShellLinkClassId, unknown});
    EXPECT_FALSE(partly.WaitReady());
    EXPECT_FALSE(COMWARMUP(std::vector<CLSID>{}).WaitReady()) << "nothing to load starts no thread";
}

// ---- the moved start-menu folder
// ---------------------------------------------------------------------------

TEST(ShortcutMovedFolder, TheRecordedFolderTakesTheNewNameWithinItsParent) {
    SCRATCHFOLDER programs("programs");
    programs.Write("Orvik 4\\Viewer.LNK", "old link");
    RenameMovedStartmenuFolder(programs.File("Orvik 4").c_str(), programs.File("Orvik Viewer").c_str());
    EXPECT_FALSE(FileExists(programs.File("Orvik 4")));
    EXPECT_EQ("old link", ReadWholeFile(programs.File("Orvik Viewer\\Viewer.LNK")));
}

TEST(ShortcutMovedFolder, TheSameFolderInAnotherCaseAndAnExistingTargetAreLeftAlone) {
    SCRATCHFOLDER programs("programs");
    programs.Write("Orvik\\a.txt", "a");
    RenameMovedStartmenuFolder(programs.File("Orvik").c_str(), programs.File("ORVIK").c_str());
    EXPECT_EQ("a", ReadWholeFile(programs.File("Orvik\\a.txt")));

    programs.Write("New\\b.txt", "b");
    RenameMovedStartmenuFolder(programs.File("Orvik").c_str(), programs.File("New").c_str());
    EXPECT_EQ("a", ReadWholeFile(programs.File("Orvik\\a.txt"))) << "no overwrite";
    EXPECT_EQ("b", ReadWholeFile(programs.File("New\\b.txt")));

    RenameMovedStartmenuFolder("", programs.File("New").c_str());
    EXPECT_EQ("b", ReadWholeFile(programs.File("New\\b.txt")));
}

// ---- the record in the uninstall entry
// --------------------------------------------------------------------------

class ShortcutRecord : public testing::Test {
protected:
    ShortcutRecord() : Key("OrvikShortcutRecord" + std::to_string(GetCurrentProcessId())) {
        DeleteUninstallEntry(Key);
        Config["IniKey"] = Key.c_str();
    }
    ~ShortcutRecord() override { DeleteUninstallEntry(Key); }
    std::string Key;
    HASH Config;
};

TEST_F(ShortcutRecord, WritesTheFolderAndBothListsWhenBothWereMade) {
    SHORTCUTLISTS created;
    created.StartMenu = "Viewer|Tools\\Tool";
    created.Desktop = "Viewer";
    RecordShortcuts(Config, "C:\\Menu\\Orvik", created);
    EXPECT_EQ("C:\\Menu\\Orvik", UninstallValue(Key, "UninstallStartmenu"));
    EXPECT_EQ("Viewer|Tools\\Tool", UninstallValue(Key, "UninstallStartmenuFiles"));
    EXPECT_EQ("Viewer", UninstallValue(Key, "UninstallDesktopFiles"));
}

TEST_F(ShortcutRecord, OnlyTheDesktopListWhenNoStartMenuEntryWasMade) {
    SHORTCUTLISTS created;
    created.Desktop = "Viewer";
    RecordShortcuts(Config, "C:\\Menu\\Orvik", created);
    EXPECT_EQ("<absent>", UninstallValue(Key, "UninstallStartmenu"));
    EXPECT_EQ("<absent>", UninstallValue(Key, "UninstallStartmenuFiles"));
    EXPECT_EQ("Viewer", UninstallValue(Key, "UninstallDesktopFiles"));
}

TEST_F(ShortcutRecord, NothingWithoutAnIniKey) {
    HASH config;
    SHORTCUTLISTS created;
    created.StartMenu = "Viewer";
    RecordShortcuts(config, "C:\\Menu\\Orvik", created);
    EXPECT_FALSE(config.Contains("IniKey")) << "the configuration is only read";
    EXPECT_EQ("<absent>", UninstallValue(Key, "UninstallStartmenu"));
}

// ---- firewall exceptions
// ------------------------------------------------------------------------------------------

TEST(ShortcutFirewall, EachListedProgramIsAddedUnderItsShortcutsNameOrTheAppName) {
    FAKEFIREWALL firewall;
    HASH config;
    config["AppName"] = "Orvik Viewer";
    config["StartmenuOpts"] = "Viewer;viewer.exe|Remote Viewer;*bin\\remote.exe;-r";
    config["AddToFirewall"] = "bin\\remote.exe||service.exe";
    AddFirewallExceptions(config, "C:\\Orvik", firewall);
    ASSERT_EQ(2u, firewall.List.size());
    EXPECT_EQ(L"C:\\Orvik\\bin\\remote.exe", firewall.List[0].Path);
    EXPECT_EQ(L"Remote Viewer", firewall.List[0].Name);
    EXPECT_EQ(L"C:\\Orvik\\service.exe", firewall.List[1].Path);
    EXPECT_EQ(L"Orvik Viewer", firewall.List[1].Name);
    EXPECT_TRUE(firewall.List[0].Enabled && firewall.List[1].Enabled);
    EXPECT_EQ(0, firewall.LiveObjects) << "the firewall is destroyed afterwards";
}

TEST(ShortcutFirewall, AnAbsentKeyMakesNoFirewallAndAnEmptyOneAddsNothing) {
    FAKEFIREWALL firewall;
    HASH config;
    AddFirewallExceptions(config, "C:\\Orvik", firewall);
    EXPECT_EQ(0, firewall.AllCalls());
    EXPECT_FALSE(config.Contains("AddToFirewall"));

    config["AddToFirewall"] = "";
    AddFirewallExceptions(config, "C:\\Orvik", firewall);
    EXPECT_EQ(1, firewall.Calls(FAKEOP::CreateManager)) << "a present key makes the firewall";
    EXPECT_TRUE(firewall.List.empty());
}

TEST(ShortcutFirewall, AnUnusableFirewallIsSkipped) {
    FAKEFIREWALL firewall;
    firewall.Fail(FAKEOP::CurrentProfile, E_ACCESSDENIED);
    HASH config;
    config["AddToFirewall"] = "viewer.exe";
    AddFirewallExceptions(config, "C:\\Orvik", firewall);
    EXPECT_TRUE(firewall.List.empty());
    EXPECT_EQ(0, firewall.Calls(FAKEOP::AuthorizedApplications));
}

// ---- the mobile-device manager
// ------------------------------------------------------------------------------------

class ShortcutDeviceManager : public testing::Test {
protected:
    ShortcutDeviceManager() : Folder("devicemanager") {
        Manager = Folder.File("CEAppMgr.exe");
        CopyFileA(ORVIK_STUBS_DIR "\\CEAppMgr.exe", Manager.c_str(), FALSE);
    }
    SCRATCHFOLDER Folder;
    std::string Manager;
};

TEST_F(ShortcutDeviceManager, GetsThePackagesIniFileQuotedAsItsOnlyArgument) {
    ASSERT_TRUE(FileExists(Manager));
    EXPECT_TRUE(RunDeviceManager(Manager.c_str(), "C:\\Program Files\\Orvik Mobile"));
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"C:\\Program Files\\Orvik Mobile\\pcinstall.ini"}}),
              stubcalls::Arguments(Manager));
}

TEST_F(ShortcutDeviceManager, TheShortcutPageHandsOverAndShowsNothing) {
    ASSERT_TRUE(FileExists(Manager));
    INSTALLATION installation;
    INSTALLSTATE& install = installation.State();
    install.Config["ActiveSyncInstall"] = "1";
    install.Config["StartmenuOpts"] = "Viewer;*viewer.exe";
    install.DeviceManagerPath = Manager.c_str();
    install.Choices.InstallDir = Folder.Text().c_str();
    // The page takes the installation from its wizard and returns before it touches the page.
    INSTALLWIZARD wizard(installation, "Orvik Device Manager Test", "", -1);
    EXPECT_EQ(PAGE_NEXT, ShortcutPage(&wizard, nullptr));
    EXPECT_EQ((std::vector<std::vector<std::string>>{{Folder.File("pcinstall.ini")}}),
              stubcalls::Arguments(Manager));
}

TEST(StartmenuFolder, AnEmptyNamePutsTheLinksIntoTheProgramMenuNeverIntoANullNamedFolder) {
    const STRING programs("C:\\Users\\jo\\Start Menu\\Programs");
    EXPECT_STREQ(StartmenuFolderFor(programs, STRING("Orvik\\Demo")).Text(),
                 "C:\\Users\\jo\\Start Menu\\Programs\\Orvik\\Demo");
    EXPECT_STREQ(StartmenuFolderFor(programs, STRING("")).Text(), programs.Text());
    EXPECT_STREQ(StartmenuFolderFor(programs, STRING()).Text(), programs.Text());
    EXPECT_STREQ(StartmenuFolderFor(programs, STRING("..\\..\\Desktop")).Text(), programs.Text());
    EXPECT_STREQ(StartmenuFolderFor(programs, STRING("%APPDATA%")).Text(),
                 "C:\\Users\\jo\\Start Menu\\Programs\\%APPDATA%");
}
