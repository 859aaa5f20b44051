// Installations of the KYR test product by the real setup.exe under Wine, one per hook version, driven by the
// UI robot through the product's own pages: "admin.ini" compared byte for byte with the files in data/,
// the settings of an earlier generation checked file by file where they were taken over, earlier uninstall
// entries and program groups gone, and the product started at the end.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/kyr/kyr_session.h"
#include "tests/common/stubcalls.h"

using namespace kyrtest;
using uirobot::ComboBox;
using uirobot::Edit;
using uirobot::RadioButton;
using uirobot::waitUntil;

namespace {

const std::string kOrvik = "Software\\Orvik\\";
const std::string kVersionFourStandard = "Path=\"Q:\\kyrtest\\v6de\\old\\Script\"\r\n"
                                         "Path=\"q:\\KYRTEST\\v6de\\OLD\"\r\n"
                                         "Path=\"Q:\\kyrtest\\v6de\\older\\x\"\r\n";
const std::string kEntry = kUninstallBranch + "\\";

std::string Expected(const char* name) {
    return FileText(fs::path(KYR_TEST_DATA_DIR) / name);
}

// The product was started once, in its folder, without arguments.
void ExpectStartedIn(const std::string& destination) {
    const std::string program = destination + "\\kyr.exe";
    ASSERT_TRUE(waitUntil([&] { return !stubcalls::Read(program).empty(); }, kTimeout))
        << "kyr.exe never ran";
    const std::vector<stubcalls::CALL> calls = stubcalls::Read(program);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].WorkingDirectory, destination);
    EXPECT_TRUE(calls[0].Arguments.empty());
}

class KyrInstall : public testing::Test {
protected:
    void SetUp() override {
        ForgetKyr();
        RemoveTree(Root);
        RemoveTree(Documents() / "KYR6 Dateien");
        RemoveTree(OldGroup());
    }
    void TearDown() override { SetUp(); }

    static fs::path Documents() { return ShellFolder(CSIDL_PERSONAL); }

    // Version 4 in Q:\\kyrtest\\v6de\\old: program and data in one folder.
    void PutVersionFour() const {
        const fs::path old = "Q:\\kyrtest\\v6de\\old";
        SetText(HKEY_CURRENT_USER, kOrvik + "KYR4", "HomePath", old.string());
        SetText(HKEY_CURRENT_USER, kOrvik + "KYR4", "WorkPath", old.string() + "\\");
        PutFile(old / "Options" / "standard.cfg", kVersionFourStandard);
        PutFile(old / "Options" / "Colortable.cfg", "colours");
        PutFile(old / "PHONEBK", "[host]\r\nscript=\"Q:\\kyrtest\\v6de\\old\\Script\\dial.rex\"\r\n");
        PutFile(old / "Script" / "dial.rex", "dial");
        PutFile(old / "SSH" / "known_hosts", "hosts");
    }
    static void ExpectVersionFourTakenOverIntoTheDocuments(const std::string& destination);
    static fs::path OldGroup() { return fs::path(ShellFolder(CSIDL_PROGRAMS)) / "KYR4 Test Group"; }

    const fs::path Root{"Q:\\kyrtest"};
};

} // namespace

// Version 6 over a version-5 installation: the hint on the destination page, profile 4 with the first
// feature level, a folder of the user's own for the data, the version-5 data taken over.
TEST_F(KyrInstall, VersionSixTakesOverTheDataOfVersionFiveIntoAFolderOfTheUsersChoice) {
    const std::string destination = "Q:\\kyrtest\\v6\\KYR";
    const fs::path data = "Q:\\kyrtest\\v6\\data\\KYR6 data";
    const fs::path old = "Q:\\kyrtest\\v6\\old";
    SetText(HKEY_CURRENT_USER, kOrvik + "KYR5", "%KYR%", (old / "program").string());
    SetText(HKEY_CURRENT_USER, kOrvik + "KYR5", "%KYRFILES%", (old / "files").string());
    PutFile(old / "files" / "options" / "standard.cfg", "Path=\"Q:\\kyrtest\\v6\\old\\files\\Script\"\r\n");
    PutFile(old / "files" / "options" / "colortable.ini", "colours");
    PutFile(old / "files" / "options" / "KYRHOSTS.INI", "[hosts]");
    PutFile(old / "files" / "Script" / "logon.rex", "say 'old'");
    PutFile(old / "files" / "SSH" / "id_rsa", "key");
    PutFile(old / "files" / "PHONEBK", "phones");
    PutFile(old / "files" / "trace.LOG", "log");
    PutFile(old / "files" / "help" / "KYR.hlp", "help");
    // Earlier entries: version 4 and the first generation in this folder (version 4 with its program group),
    // version 5 elsewhere.
    SetText(HKEY_LOCAL_MACHINE, kEntry + "KYR4", "UninstallPath", destination);
    SetText(HKEY_LOCAL_MACHINE, kEntry + "KYR4", "UninstallStartmenu", OldGroup().string());
    SetText(HKEY_LOCAL_MACHINE, kEntry + "KYR", "UninstallPath", destination + "\\");
    SetText(HKEY_LOCAL_MACHINE, kEntry + "KYR5", "UninstallPath", (old / "program").string());
    PutFile(OldGroup() / "KYR4.lnk", "link");
    PutFile(OldGroup() / "KYR4 on the web.url", "url");
    SetText(HKEY_CURRENT_USER, kOrvik + "KYR6", "UserConfigFolder", "somewhere");

    KYRSESSION setup(false);
    setup.Open("6.0", "KYR6", destination);
    EXPECT_EQ(setup.Item(202).text(), setup.Msg(3014)) << "an earlier version is installed";
    setup.Screenshot(setup.Wizard, "1-destination");
    setup.CopyAndChooseShortcuts(403);

    setup.WaitForPage(2922);
    EXPECT_TRUE(RadioButton(setup.Item(401)).isSelected());
    ComboBox levels(setup.Item(501));
    EXPECT_EQ(levels.items(),
              (std::vector<std::string>{"Basic features", "Standard features", "All features"}));
    EXPECT_EQ(levels.selectedIndex(), 2);
    RadioButton(setup.Item(404)).select();
    levels.select(0);
    setup.Screenshot(setup.Wizard, "2-profile");
    setup.Next();

    setup.WaitForPage(2920);
    EXPECT_TRUE(RadioButton(setup.Item(401)).isSelected());
    EXPECT_NE(setup.Item(401).text().find("\"KYR6 Files\""), std::string::npos) << setup.Item(401).text();
    EXPECT_NE(setup.Item(403).text().find(" (" + destination + "\\Userfiles)"), std::string::npos)
        << setup.Item(403).text();
    EXPECT_FALSE(setup.Item(403).isEnabled()) << "not on this system (Vista and later)";
    EXPECT_FALSE(setup.Item(404).isEnabled()) << "the start menu was not set up for all users";
    EXPECT_FALSE(setup.Item(201).isEnabled());
    EXPECT_EQ(setup.Item(201).text(), "%USERPROFILE%");
    RadioButton(setup.Item(405)).select();
    ASSERT_TRUE(waitUntil([&] { return setup.Item(201).isEnabled() && setup.Item(101).isEnabled(); }));
    Edit(setup.Item(201)).type(data.string());
    setup.Screenshot(setup.Wizard, "3-user-data");
    setup.Next();

    const uirobot::MessageBoxWindow question = setup.WaitForMessageBox(setup.Msg(2900));
    EXPECT_NE(question.message().find((old / "program").string()), std::string::npos) << question.message();
    setup.Screenshot(question.window(), "4-take-over");
    question.answer(IDYES);
    setup.Finish();

    EXPECT_EQ(FileText(fs::path(destination) / "admin.ini"), Expected("admin-v6-custom.ini"));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kEntry + "KYR6", "%KYRFILES%"), "<absent>") << "a folder of one's own";
    EXPECT_EQ(Number(HKEY_CURRENT_USER, kOrvik + "KYR6", "SetupForceWorkdir"), 1);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kOrvik + "KYR6", "UserConfigFolder"), "<absent>");
    EXPECT_EQ(Number(HKEY_CURRENT_USER, "Software\\Enterprise Alternatives\\REXX\\ExecOptions", "GlobalSCBs"),
              0);

    // The version-5 data, without logs and help files, in the backup and in the new folder; the colour
    // table renamed in the new folder only.
    const fs::path backup = data / "KYR Files V5 Backup";
    for (const fs::path& into : {backup, data}) {
        SCOPED_TRACE(into.string());
        EXPECT_EQ(FileText(into / "options" / "standard.cfg"),
                  "Path=\"Q:\\kyrtest\\v6\\old\\files\\Script\"\r\n");
        EXPECT_EQ(FileText(into / "options" / "KYRHOSTS.INI"), "[hosts]");
        EXPECT_EQ(FileText(into / "Script" / "logon.rex"), "say 'old'");
        EXPECT_EQ(FileText(into / "SSH" / "id_rsa"), "key");
        EXPECT_EQ(FileText(into / "PHONEBK"), "phones");
        EXPECT_FALSE(fs::exists(into / "trace.LOG"));
        EXPECT_FALSE(fs::exists(into / "help" / "KYR.hlp"));
    }
    EXPECT_EQ(Names(backup / "options"),
              (std::vector<std::string>{"KYRHOSTS.INI", "colortable.ini", "standard.cfg"}));
    EXPECT_EQ(Names(data / "options"),
              (std::vector<std::string>{"ColorTable.kyrini", "KYRHOSTS.INI", "standard.cfg"}));
    EXPECT_EQ(FileText(data / "options" / "ColorTable.kyrini"), "colours");
    EXPECT_EQ(FileText(old / "files" / "trace.LOG"), "log") << "the earlier installation is left as it was";

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry + "KYR4"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry + "KYR"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntry + "KYR5")) << "installed elsewhere";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntry + "KYR6"));
    EXPECT_FALSE(fs::exists(OldGroup())) << "the version-4 program group";
    ExpectStartedIn(destination);
}

// Version 6 in German over a version-4 installation (program and data in one folder): the preset profile
// and feature level, the data in the user's documents, Path= and script= rewritten to the new folder.
TEST_F(KyrInstall, VersionSixInGermanTakesOverVersionFourAndRewritesItsFolderNames) {
    const std::string destination = "Q:\\kyrtest\\v6de\\KYR";
    PutVersionFour();

    KYRSESSION setup(true);
    setup.Open("5.6", "KYR6", destination);
    EXPECT_EQ(setup.Item(202).text(), setup.Msg(3014));
    setup.Screenshot(setup.Wizard, "1-zielordner");
    setup.CopyAndChooseShortcuts(403);

    setup.WaitForPage(2922);
    EXPECT_EQ(ComboBox(setup.Item(501)).selectedText(), "Alle Funktionen");
    setup.Screenshot(setup.Wizard, "2-profil");
    setup.Next();

    setup.WaitForPage(2920);
    EXPECT_NE(setup.Item(401).text().find("\"KYR6 Dateien\""), std::string::npos) << setup.Item(401).text();
    EXPECT_NE(setup.Item(403).text().find(" (" + destination + "\\Benutzerdateien)"), std::string::npos);
    setup.Screenshot(setup.Wizard, "3-benutzerdateien");
    setup.Next();
    const uirobot::MessageBoxWindow question = setup.WaitForMessageBox(setup.Msg(2900));
    EXPECT_NE(question.message().find("Q:\\kyrtest\\v6de\\old"), std::string::npos) << question.message();
    setup.Screenshot(question.window(), "4-uebernehmen");
    question.answer(IDYES);
    setup.Finish();
    ExpectVersionFourTakenOverIntoTheDocuments(destination);
    ExpectStartedIn(destination);
}

// The same installation unattended: no page, no question, and the result of a person who takes whatever
// the pages propose and answers the question with its proposed Yes; but nobody is there to use the product,
// so it is not started.
TEST_F(KyrInstall, UnattendedInGermanTakesWhatThePagesProposeAndTheEarlierSettings) {
    const std::string destination = "Q:\\kyrtest\\v6de\\KYR";
    PutVersionFour();

    KYRSESSION setup(true);
    setup.Package("5.6", "KYR6", destination);
    const auto code = setup.RunUnattended("/VERYSILENT");
    ASSERT_TRUE(code.has_value()) << "setup waits for an answer nobody gives";
    EXPECT_EQ(*code, 0u);
    ExpectVersionFourTakenOverIntoTheDocuments(destination);
    const std::string log = setup.Log();
    EXPECT_NE(log.find("-> yes (default)"), std::string::npos) << log;
    EXPECT_EQ(log.find("has no page here"), std::string::npos)
        << "the standard steps are nobody's hook pages";
    EXPECT_NE(log.find("unattended: the product is not started"), std::string::npos) << log;
    EXPECT_TRUE(stubcalls::Read(destination + "\\kyr.exe").empty());
}

// What the German installation over version 4 leaves, however its choices were made.
void KyrInstall::ExpectVersionFourTakenOverIntoTheDocuments(const std::string& destination) {
    const fs::path data = Documents() / "KYR6 Dateien";
    EXPECT_EQ(FileText(fs::path(destination) / "admin.ini"), Expected("admin-v6-documents.ini"));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kEntry + "KYR6", "%KYRFILES%"), "%USERPROFILE%\\KYR6 Dateien");
    EXPECT_EQ(Number(HKEY_CURRENT_USER, kOrvik + "KYR6", "SetupForceWorkdir"), 1);

    const fs::path backup = data / "Previous Version Files (Backup)";
    EXPECT_EQ(FileText(backup / "Options" / "standard.cfg"), kVersionFourStandard)
        << "the backup keeps the old folder";
    EXPECT_EQ(FileText(backup / "Script" / "dial.rex"), "dial");
    EXPECT_EQ(FileText(backup / "SSH" / "known_hosts"), "hosts");
    EXPECT_EQ(FileText(data / "Options" / "standard.cfg"), "Path=\"%KYRFILES%\\Script\"\r\n"
                                                           "Path=\"%KYRFILES%\"\r\n"
                                                           "Path=\"Q:\\kyrtest\\v6de\\older\\x\"\r\n");
    EXPECT_EQ(FileText(data / "Options" / "KYRHOSTS.INI"),
              "[host]\r\nscript=\"%KYRFILES%\\Script\\dial.rex\"\r\n")
        << "made from the phone book";
    EXPECT_EQ(FileText(data / "Options" / "Colortable.kyrini"), "colours");
    EXPECT_EQ(FileText(data / "Options" / "Colortable.cfg.old"), "colours");
    EXPECT_FALSE(fs::exists(data / "Options" / "Colortable.cfg"));
    EXPECT_EQ(FileText(data / "Script" / "dial.rex"), "dial");
    EXPECT_EQ(FileText(data / "SSH" / "known_hosts"), "hosts");
}

// Version 5 over a version-4 installation, with the start menu for all users: the shared folder is
// offered; the data stays in the program folder, which has the product's "Script" folder.
TEST_F(KyrInstall, VersionFiveKeepsTheDataInTheProgramFolderAndTakesOverVersionFour) {
    const std::string destination = "Q:\\kyrtest\\v5\\KYR";
    const fs::path old = "Q:\\kyrtest\\v5\\old";
    SetText(HKEY_CURRENT_USER, kOrvik + "KYR4", "HomePath", old.string());
    PutFile(old / "Options" / "standard.cfg", "Path=\"Q:\\kyrtest\\v5\\old\\Script\\a.rex\"\r\n");
    PutFile(old / "Options" / "KYRHOSTS.INI", "script=\"Q:\\kyrtest\\v5\\old\\Script\\b.rex\"\r\n");
    PutFile(old / "Script" / "b.rex", "b");
    PutFile(old / "Colortable.cfg", "colours");
    PutFile(old / "PHONEBK", "phones");
    // The recorded program group is no folder of the program menu: its files are not the entry's to delete.
    SetText(HKEY_LOCAL_MACHINE, kEntry + "KYR4", "UninstallPath", destination);
    SetText(HKEY_LOCAL_MACHINE, kEntry + "KYR4", "UninstallStartmenu", "Q:\\kyrtest\\v5\\letters");
    PutFile("Q:\\kyrtest\\v5\\letters\\to mother.txt", "dear");

    KYRSESSION setup(false);
    setup.Open("5.0", "KYR5", destination);
    setup.CopyAndChooseShortcuts(402);

    setup.WaitForPage(2922);
    RadioButton(setup.Item(402)).select();
    ComboBox(setup.Item(501)).select(1);
    setup.Next();

    setup.WaitForPage(2920);
    EXPECT_NE(setup.Item(401).text().find("\"KYR Files\""), std::string::npos) << setup.Item(401).text();
    EXPECT_TRUE(setup.Item(404).isEnabled()) << "the start menu went to all users";
    RadioButton(setup.Item(405)).select();
    ASSERT_TRUE(waitUntil([&] { return setup.Item(201).isEnabled(); }));
    Edit(setup.Item(201)).type(destination);
    setup.Screenshot(setup.Wizard, "1-user-data");
    setup.Next();
    const uirobot::MessageBoxWindow question = setup.WaitForMessageBox(setup.Msg(2900));
    EXPECT_NE(question.message().find(old.string()), std::string::npos) << question.message();
    question.answer(IDYES);
    setup.Finish();
    RemoveTree(fs::path(ShellFolder(CSIDL_COMMON_PROGRAMS)) / "KYR Test");

    EXPECT_EQ(FileText(fs::path(destination) / "admin.ini"), Expected("admin-v5-program-folder.ini"));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kEntry + "KYR5", "%KYRFILES%"), "<absent>");
    EXPECT_EQ(Number(HKEY_CURRENT_USER, kOrvik + "KYR5", "SetupForceWorkdir"), 1);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry + "KYR4"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntry + "KYR5")) << "the new installation's own entry";
    EXPECT_EQ(FileText("Q:\\kyrtest\\v5\\letters\\to mother.txt"), "dear");

    const fs::path options = fs::path(destination) / "Options";
    EXPECT_EQ(FileText(old / "OptionsV4.bak" / "standard.cfg"),
              "Path=\"Q:\\kyrtest\\v5\\old\\Script\\a.rex\"\r\n");
    EXPECT_EQ(FileText(options / "standard.cfg"), "Path=\"%KYRFILES%\\Script\\a.rex\"\r\n");
    EXPECT_EQ(FileText(options / "KyrHosts.ini"), "script=\"%KYRFILES%\\Script\\b.rex\"\r\n");
    EXPECT_EQ(FileText(options / "Colortable.ini"), "colours");
    EXPECT_EQ(FileText(fs::path(destination) / "Script" / "b.rex"), "b");
    EXPECT_EQ(FileText(fs::path(destination) / "Script" / "logon.rex"), "say 'new'") << "the product's own";
    ExpectStartedIn(destination);
}

// A new installation into a folder that already holds "admin.ini": neither page is shown, the file stays
// as it is and its old backup goes.
TEST_F(KyrInstall, AFolderWithItsOwnAdminIniShowsNeitherPageAndKeepsIt) {
    const std::string destination = "Q:\\kyrtest\\own\\KYR";
    PutFile(fs::path(destination) / "admin.ini", "ConfigDataFolder=\"mine\"\n");
    PutFile(fs::path(destination) / "admin.ini.bak", "old");

    KYRSESSION setup(false);
    setup.Open("6.1", "KYR6", destination);
    EXPECT_EQ(setup.Item(202).text(), "") << "no earlier version registered";
    setup.CopyAndChooseShortcuts(403);
    setup.Finish();

    EXPECT_EQ(FileText(fs::path(destination) / "admin.ini"), "ConfigDataFolder=\"mine\"\n");
    EXPECT_FALSE(fs::exists(fs::path(destination) / "admin.ini.bak"));
    EXPECT_EQ(Number(HKEY_CURRENT_USER, kOrvik + "KYR6", "SetupForceWorkdir"), -1);
    EXPECT_EQ(setup.Log().find("SETUP::NewSetupHookKYR6 profile"), std::string::npos);
    ExpectStartedIn(destination);
}

// The preset of the user's own folder is the user's documents folder itself: admin.ini names it, but no
// earlier settings are copied into it (here those of a version-3 installation).
TEST_F(KyrInstall, NoSettingsAreTakenOverIntoAFolderOfTheUser) {
    const std::string destination = "Q:\\kyrtest\\v3\\KYR";
    const fs::path old = "Q:\\kyrtest\\v3\\Kyrolink";
    SetText(HKEY_CURRENT_USER, "Software\\Kyrolink ", "HomePath", old.string());
    PutFile(old / "Options" / "standard.cfg", "Path=\"old\"");
    PutFile(old / "Script" / "logon.rex", "say 'old'");

    KYRSESSION setup(false);
    setup.Open("6.0", "KYR6", destination);
    EXPECT_EQ(setup.Item(202).text(), setup.Msg(3014)) << "version 3 is found";
    setup.CopyAndChooseShortcuts(403);
    setup.WaitForPage(2922);
    setup.Next();
    setup.WaitForPage(2920);
    RadioButton(setup.Item(405)).select();
    ASSERT_TRUE(waitUntil([&] { return setup.Item(201).isEnabled(); }));
    EXPECT_EQ(setup.Item(201).text(), "%USERPROFILE%");
    Edit(setup.Item(201)).setText("");
    setup.Next();
    EXPECT_FALSE(waitUntil([&] { return fs::exists(fs::path(destination) / "admin.ini"); },
                           uirobot::Milliseconds{1500}))
        << "an empty folder of one's own is no choice";
    Edit(setup.Item(201)).type("%USERPROFILE%");
    setup.Next();
    setup.Finish(); // a question would keep the wizard on the user-data page

    EXPECT_EQ(FileText(fs::path(destination) / "admin.ini"),
              "ConfigDataFolder=\"%USERPROFILE%\"\r\nSetupCreatedConfig=yes\r\nSetupDefaultConfig=\"1\"\r\n"
              "SetupSubsystems=\"12200000.11200000\"");
    EXPECT_FALSE(fs::exists(Documents() / "Previous Version Files (Backup)"));
    EXPECT_FALSE(fs::exists(Documents() / "Options"));
    EXPECT_EQ(Number(HKEY_CURRENT_USER, kOrvik + "KYR6", "SetupForceWorkdir"), 2);
    EXPECT_EQ(Number(HKEY_CURRENT_USER, "Software\\Enterprise Alternatives\\REXX\\ExecOptions", "GlobalSCBs"),
              0)
        << "switched off in every case";
    EXPECT_NE(setup.Log().find("nothing is taken over into"), std::string::npos);
}

// Version 5 with the folder shared by all users: "SharedInstall" in admin.ini and the folder recorded in the
// uninstall entry; that folder is the all-users documents folder itself, so nothing is copied into it.
TEST_F(KyrInstall, VersionFiveSharedByAllUsersCopiesNoSettingsIntoTheSharedDocuments) {
    const std::string destination = "Q:\\kyrtest\\v5shared\\KYR";
    const fs::path old = "Q:\\kyrtest\\v5shared\\old";
    SetText(HKEY_CURRENT_USER, kOrvik + "KYR4", "HomePath", old.string());
    PutFile(old / "Options" / "standard.cfg", "Path=\"old\"");
    PutFile(old / "Script" / "logon.rex", "say 'old'");
    const fs::path shared = ShellFolder(CSIDL_COMMON_DOCUMENTS);
    const std::vector<std::string> before = Names(shared);

    KYRSESSION setup(false);
    setup.Open("5.5", "KYR5", destination);
    setup.CopyAndChooseShortcuts(402);
    setup.WaitForPage(2922);
    RadioButton(setup.Item(405)).select();
    setup.Next();
    setup.WaitForPage(2920);
    RadioButton(setup.Item(404)).select();
    setup.Screenshot(setup.Wizard, "1-user-data");
    setup.Next();
    setup.Finish(); // a question would keep the wizard on the user-data page
    RemoveTree(fs::path(ShellFolder(CSIDL_COMMON_PROGRAMS)) / "KYR Test");

    EXPECT_EQ(FileText(fs::path(destination) / "admin.ini"), Expected("admin-v5-shared.ini"));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kEntry + "KYR5", "%KYRFILES%"), "%ALLUSERPROFILE%");
    EXPECT_EQ(Number(HKEY_CURRENT_USER, kOrvik + "KYR5", "SetupForceWorkdir"), 2);
    EXPECT_EQ(Names(shared), before);
    EXPECT_FALSE(fs::exists(old / "OptionsV4.bak"));
    ExpectStartedIn(destination);
}

// The report that began it: a hurried hand on the pages of the product hook while the user-data page is busy
// taking the version-5 settings over. Every way of cancelling asks once on both pages, the double Next leaves
// each page once, the settings are taken over once (the colour table renamed, no copy of it left), a click
// while the question is open and one sent with its answer reach no page, and the finish page is shown once.
TEST_F(KyrInstall, AHurriedHandOnTheHookPagesTakesTheSettingsOverOnce) {
    const std::string destination = "Q:\\kyrtest\\v6\\KYR";
    const fs::path data = "Q:\\kyrtest\\v6\\data";
    const fs::path old = "Q:\\kyrtest\\v6\\old";
    SetText(HKEY_CURRENT_USER, kOrvik + "KYR5", "%KYR%", (old / "program").string());
    SetText(HKEY_CURRENT_USER, kOrvik + "KYR5", "%KYRFILES%", (old / "files").string());
    PutFile(old / "files" / "options" / "standard.cfg", "Path=\"x\"\r\n");
    PutFile(old / "files" / "options" / "colortable.ini", "colours");
    for (int i = 0; i < 200; i++) // enough to keep the page busy for a while
        PutFile(old / "files" / "Script" / ("script" + std::to_string(i) + ".rex"), std::string(4096, 's'));

    KYRSESSION setup(false);
    setup.Open("6.0", "KYR6", destination);
    setup.CopyAndChooseShortcuts(403);
    for (int page : {2922, 2920}) {
        setup.WaitForPage(page);
        wizardui::CancelEveryWay(
            uirobot::WindowFinder(*setup.Process), setup.Wizard,
            [](const uirobot::MessageBoxWindow& question) { question.answer(IDYES); }, kTimeout);
        setup.WaitForPage(page);
        if (page == 2922)
            wizardui::PressTwice(setup.Wizard.child(149));
    }
    RadioButton(setup.Item(405)).select();
    ASSERT_TRUE(waitUntil([&] { return setup.Item(201).isEnabled(); }));
    Edit(setup.Item(201)).type(data.string());
    wizardui::PressTwice(setup.Wizard.child(149));

    const uirobot::MessageBoxWindow question = setup.WaitForMessageBox(setup.Msg(2900));
    uirobot::postMessage(setup.Wizard.child(149), BM_CLICK);
    setup.Screenshot(question.window(), "take-over");
    uirobot::postMessage(question.window().child(IDYES), BM_CLICK);
    uirobot::postMessage(setup.Wizard.child(149), BM_CLICK);
    setup.WaitForPage(2918);
    setup.Screenshot(setup.Wizard, "finish");
    wizardui::PressTwice(setup.Wizard.child(IDCANCEL));
    EXPECT_EQ(setup.Process->exitCode(kTimeout), 0u);

    EXPECT_EQ(Names(data / "options"), (std::vector<std::string>{"ColorTable.kyrini", "standard.cfg"}));
    EXPECT_EQ(FileText(data / "options" / "ColorTable.kyrini"), "colours");
    EXPECT_EQ(Names(data / "Script").size(), 200u);
    const std::string log = setup.Log();
    EXPECT_EQ(log.find("ASSERTION FAILED"), std::string::npos) << log;
    const std::string takeover = "take over the settings of";
    ASSERT_NE(log.find(takeover), std::string::npos) << log;
    EXPECT_EQ(log.find(takeover, log.find(takeover) + 1), std::string::npos) << "taken over twice";
    EXPECT_EQ(wizardui::StepsRun(log),
              (std::vector<std::string>{"0 id 1 result 149", "1 id 2 result 149", "2 id 3 result 149",
                                        "3 id 4 result 149", "4 id 5 result 149", "5 id 16 result 0",
                                        "5 id 16 result 0", "5 id 16 result 0", "5 id 16 result 0",
                                        "5 id 16 result 149", "6 id 15 result 0", "6 id 15 result 0",
                                        "6 id 15 result 0", "6 id 15 result 0", "6 id 15 result 149",
                                        "7 id 6 result 149", "8 id 7 result 0"}))
        << log;
}
