// The settings migration on real folders: earlier generations laid out as they were installed, taken over
// into a new user-data folder and checked file by file.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "lib/osys.h"
#include "setup/products/kyr/kyrmigration.h"
#include "tests/common/setup_folder.h"
#include "tests/kyr/kyr_files.h"

namespace {

namespace fs = std::filesystem;

STRING S(const fs::path& path) {
    return STRING(path.string().c_str());
}

class KyrMigration : public ::testing::Test {
protected:
    void SetUp() override { SetRexxGlobalScbs(1); }

    SETUPFOLDER Folder{std::initializer_list<const char*>{}};
    fs::path Home = Folder.Path / "KYR4";
    fs::path Work = Folder.Path / "KYR4 Data";
    fs::path Target = Folder.Path / "Userfiles";
};

} // namespace

TEST_F(KyrMigration, Version4IsBackedUpCopiedRenamedAndRewritten) {
    const std::string work = Work.string();
    PutFile(Work / "Options" / "standard.cfg", "Path=\"" + work + "\\Script\"\nPath=\"" +
                                                   Folder.Path.string() + "\\kyr4 DATA\\sub\"\nPath=\"" +
                                                   work + "2\\x\"\n");
    PutFile(Work / "Options" / "Colortable.cfg", "colours");
    PutFile(Work / "Options" / "KYRHOSTS.INI", "script=\"" + work + "\\logon.rex\"\n");
    PutFile(Work / "Script" / "logon.rex", "say hi");
    PutFile(Work / "SSH" / "id.key", "key");
    PutFile(Home / "kyr.exe", "program");

    MigrateKyrSettings6(S(Target), true, EARLIERKYR{"V4", S(Home), S(Work)});

    const fs::path backup = Target / "Previous Version Files (Backup)";
    EXPECT_EQ(FileText(backup / "Options" / "standard.cfg"), FileText(Work / "Options" / "standard.cfg"));
    EXPECT_EQ(FileText(backup / "Script" / "logon.rex"), "say hi");
    EXPECT_EQ(FileText(backup / "SSH" / "id.key"), "key");
    EXPECT_EQ(FileText(Target / "SSH" / "id.key"), "key");
    EXPECT_EQ(FileText(Target / "Options" / "Colortable.kyrini"), "colours");
    EXPECT_EQ(FileText(Target / "Options" / "Colortable.cfg.old"), "colours");
    EXPECT_FALSE(fs::exists(Target / "Options" / "Colortable.cfg"));
    // The folder in another letter case is rewritten, a subfolder keeps its part, a sibling folder stays.
    EXPECT_EQ(FileText(Target / "Options" / "standard.cfg"),
              "Path=\"%KYRFILES%\\Script\"\r\nPath=\"%KYRFILES%\\sub\"\r\nPath=\"" + work + "2\\x\"\r\n");
    EXPECT_EQ(FileText(Target / "Options" / "KYRHOSTS.INI"), "script=\"%KYRFILES%\\logon.rex\"\r\n");
    EXPECT_EQ(RexxGlobalScbs(), 0u);
}

TEST_F(KyrMigration, Version4WithoutHostDirectoryTakesThePhoneBook) {
    PutFile(Home / "Options" / "standard.cfg", "x");
    PutFile(Home / "PHONEBK", "script=\"" + Home.string() + "\\a.rex\"\n");
    MigrateKyrSettings6(S(Target), true, EARLIERKYR{"V3", S(Home), STRING("")});
    EXPECT_EQ(FileText(Target / "Options" / "KYRHOSTS.INI"), "script=\"%KYRFILES%\\a.rex\"\r\n");
    EXPECT_TRUE(fs::exists(Target / "Previous Version Files (Backup)" / "Options" / "standard.cfg"));
}

TEST_F(KyrMigration, NothingIsTakenOverIntoTheEarlierFolderOrWithoutConsent) {
    PutFile(Home / "Options" / "standard.cfg", "x");
    const struct {
        const char* Why;
        fs::path Into;
        bool Migrate;
    } cases[] = {{"the earlier folder itself", Home.string() + "\\", true},
                 {"a folder inside it", Home / "New", true},
                 {"the user said No", Target, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        SetRexxGlobalScbs(1);
        MigrateKyrSettings6(S(c.Into), c.Migrate, EARLIERKYR{"V4", S(Home), STRING("")});
        EXPECT_FALSE(fs::exists(c.Into / "Previous Version Files (Backup)"));
        EXPECT_FALSE(fs::exists(c.Into / "New" / "Options"));
        EXPECT_EQ(RexxGlobalScbs(), 0u) << "the REXX option is switched off in every case";
    }
    EXPECT_FALSE(fs::exists(Target));
}

TEST_F(KyrMigration, Version5LeavesLogsAndHelpFilesOut) {
    PutFile(Work / "trace.LOG", "log");
    PutFile(Work / "kyr.hlp", "help");
    PutFile(Work / "notes.txt", "notes");
    PutFile(Work / "options" / "colortable.ini", "colours");
    PutFile(Work / "sub" / "old.Hlp", "help");
    PutFile(Work / "sub" / "host.cfg", "host");
    MigrateKyrSettings6(S(Target), true, EARLIERKYR{"V5", S(Home), S(Work)});
    for (const fs::path& into : {Target / "KYR Files V5 Backup", Target}) {
        SCOPED_TRACE(into.string());
        EXPECT_EQ(FileText(into / "notes.txt"), "notes");
        EXPECT_EQ(FileText(into / "sub" / "host.cfg"), "host");
        EXPECT_FALSE(fs::exists(into / "trace.LOG"));
        EXPECT_FALSE(fs::exists(into / "kyr.hlp"));
        EXPECT_FALSE(fs::exists(into / "sub" / "old.Hlp"));
    }
    EXPECT_EQ(FileText(Target / "options" / "ColorTable.kyrini"), "colours");
    EXPECT_FALSE(fs::exists(Target / "options" / "colortable.ini"));
}

TEST_F(KyrMigration, Version5VariantNeverCopiesATreeIntoItself) {
    PutFile(Home / "Options" / "standard.cfg", "Path=\"" + Home.string() + "\\Script\"\n");
    PutFile(Home / "Script" / "a.rex", "rexx");
    PutFile(Home / "Colortable.cfg", "colours");
    PutFile(Home / "PHONEBK", "phone");
    const fs::path inside = Home / "Options" / "KYR Files";
    MigrateKyrSettings5(S(inside), true, S(Home.string() + "\\"));
    EXPECT_TRUE(fs::exists(Home / "OptionsV4.bak" / "standard.cfg"));
    EXPECT_FALSE(fs::exists(inside / "Options" / "standard.cfg")) << "Options copied into itself";
    EXPECT_EQ(FileText(inside / "Script" / "a.rex"), "rexx");
    EXPECT_EQ(FileText(inside / "Options" / "Colortable.ini"), "colours");
    EXPECT_EQ(FileText(inside / "Options" / "KYRHOSTS.INI"), "phone");
    EXPECT_EQ(RexxGlobalScbs(), 0u);
}

TEST_F(KyrMigration, ADriveRootIsNeverATarget) {
    PutFile(Home / "Options" / "standard.cfg", "x");
    MigrateKyrSettings6(STRING("C:\\"), true, EARLIERKYR{"V4", S(Home), STRING("")});
    EXPECT_FALSE(fs::exists("C:\\Previous Version Files (Backup)"));
    EXPECT_FALSE(fs::exists("C:\\Options\\standard.cfg"));
    EXPECT_EQ(RexxGlobalScbs(), 0u);
}
