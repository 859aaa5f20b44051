// The installation record's rules: which members are recorded, how file types are read and registered,
// and the uninstall entry's values with their order.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "setup/install/installstate.h"
#include "setup/record/installrecord.h"

namespace {

using PAIRS = std::vector<std::pair<std::string, std::string>>;

PAIRS AsPairs(const REGISTRYTEXTS& texts) {
    PAIRS pairs;
    for (const REGISTRYTEXT& text : texts)
        pairs.emplace_back(text.Name.Text(), text.Text.Text());
    return pairs;
}

HASH Config(const char* text) {
    return HASH(STRING(text));
}

FILETYPE Parsed(const char* field) {
    FILETYPE type;
    EXPECT_TRUE(ParseFileType(STRING(field), &type)) << field;
    return type;
}

} // namespace

TEST(InstalledFiles, JoinsMembersInExtractionOrderWithoutOuterSeparators) {
    INSTALLEDFILES files;
    EXPECT_STREQ(files.Text().Text(), "") << "empty, not null, when nothing was extracted";
    EXPECT_TRUE(files.Add("program.exe"));
    EXPECT_TRUE(files.Add("docs/"));
    EXPECT_TRUE(files.Add("docs/readme.txt"));
    EXPECT_STREQ(files.Text().Text(), "program.exe|docs/|docs/readme.txt");
}

TEST(InstalledFiles, LeavesOutFolderPlaceholdersInAnyLetterCase) {
    INSTALLEDFILES files;
    EXPECT_FALSE(files.Add("data/dummy.tmp"));
    EXPECT_FALSE(files.Add("DUMMY.TMP"));
    EXPECT_FALSE(files.Add("logs/mydummy.tmp")) << "only the last nine characters count";
    EXPECT_TRUE(files.Add("dummy.tmp.bak"));
    EXPECT_TRUE(files.Add("ummy.tmp"));
    EXPECT_STREQ(files.Text().Text(), "dummy.tmp.bak|ummy.tmp");

    EXPECT_TRUE(IsFolderPlaceholder("a/b/Dummy.Tmp"));
    EXPECT_FALSE(IsFolderPlaceholder("dummy.tm"));
    EXPECT_FALSE(IsFolderPlaceholder(""));
}

TEST(ListFields, SkipsEmptyFieldsAndEndsWithTheText) {
    std::vector<std::string> fields;
    for (const STRING& field : ListFields(STRING("|a.txt||b.txt|")))
        fields.emplace_back(field.Text());
    EXPECT_EQ(fields, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(ListFields(STRING()).empty());
    EXPECT_TRUE(ListFields(STRING("")).empty());

    // An installation record of thousands of files comes back whole and in order.
    std::string record;
    for (int i = 0; i < 5000; ++i)
        record += "product\\file" + std::to_string(i) + ".txt|";
    const std::vector<STRING> files = ListFields(STRING(record.c_str()));
    ASSERT_EQ(files.size(), 5000u);
    EXPECT_STREQ(files.front().Text(), "product\\file0.txt");
    EXPECT_STREQ(files.back().Text(), "product\\file4999.txt");
}

TEST(FileTypes, ReadsTheFieldsOfAnEntryTrimmedOfBlanksAndTabs) {
    const FILETYPE type = Parsed(" \t.kyd;Kyr.Document=Kyr document;kyr.exe \"%1\";kyr.exe,1;{textedit}\t ");
    EXPECT_STREQ(type.Extension.Text(), ".kyd");
    EXPECT_STREQ(type.Identifier.Text(), "Kyr.Document");
    EXPECT_STREQ(type.Description.Text(), "Kyr document");
    EXPECT_STREQ(type.Command.Text(), "kyr.exe \"%1\"");
    EXPECT_STREQ(type.Icon.Text(), "kyr.exe,1");
    EXPECT_STREQ(type.Flags.Text(), "{textedit}");
}

TEST(FileTypes, AnEntryMissingARequiredFieldIsNotRegistered) {
    EXPECT_FALSE(ParseFileType(STRING(";Id=Desc;cmd;icon"), nullptr)) << "extension";
    EXPECT_FALSE(ParseFileType(STRING(".x;=Desc;cmd;icon"), nullptr)) << "identifier";
    EXPECT_FALSE(ParseFileType(STRING(".x;Id;cmd;icon"), nullptr)) << "description";
    EXPECT_FALSE(ParseFileType(STRING(".x;Id=Desc;;icon"), nullptr)) << "command";
    EXPECT_FALSE(ParseFileType(STRING(".x;Id=Desc;cmd"), nullptr)) << "icon";
    EXPECT_TRUE(ParseFileType(STRING(".x;Id=Desc;cmd;icon"), nullptr)) << "flags are optional";
}

TEST(FileTypes, KeysWithOpenCommandUnderTheInstallDirectoryWithoutTrailingSeparators) {
    const FILETYPE type = Parsed(".kyd;Kyr.Document=Kyr document;kyr.exe \"%1\";kyr.exe,1");
    EXPECT_EQ(AsPairs(FileTypeKeys(type, STRING("C:\\Prog\\Kyr\\/"))),
              (PAIRS{{".kyd", "Kyr.Document"},
                     {"Kyr.Document", "Kyr document"},
                     {"Kyr.Document\\DefaultIcon", "C:\\Prog\\Kyr\\kyr.exe,1"},
                     {"Kyr.Document\\Shell\\open\\command", "C:\\Prog\\Kyr\\kyr.exe \"%1\""}}));
}

TEST(FileTypes, NullCommandLeavesOutOpenAndTexteditAddsNotepad) {
    const FILETYPE type = Parsed(".log;Kyr.Log=Kyr log;{NULL};kyr.exe;{textedit}");
    EXPECT_FALSE(type.HasOpenCommand());
    EXPECT_TRUE(type.HasEditCommand());
    EXPECT_EQ(AsPairs(FileTypeKeys(type, STRING("C:\\Kyr"))),
              (PAIRS{{".log", "Kyr.Log"},
                     {"Kyr.Log", "Kyr log"},
                     {"Kyr.Log\\DefaultIcon", "C:\\Kyr\\kyr.exe"},
                     {"Kyr.Log\\Shell\\edit\\command", "notepad %1"}}));
}

TEST(RootClasses, ListsExtensionAndIdentifierOfEachTypeWithoutTheFinalSeparator) {
    ROOTCLASSES classes;
    EXPECT_STREQ(classes.Text().Text(), "");
    classes.Add(Parsed(".kyd;Kyr.Document=Doc;cmd;icon"));
    classes.Add(Parsed(".log;Kyr.Log=Log;{null};icon"));
    EXPECT_STREQ(classes.Text().Text(), ".kyd|Kyr.Document|.log|Kyr.Log");
}

TEST(UninstallEntry, EveryValueInItsOrder) {
    const HASH config = Config("AppName=Kyr\n"
                               "AppVersion=5.6\n"
                               "IniKey=KyrSetup\n"
                               "StartmenuName=Kyr 5.6\n"
                               "UninstallIcon=kyr.exe\n"
                               "ProtectedFiles=*.ini|data/*.db\n"
                               "AddToFirewall=kyr.exe|bin\\\\srv.exe\n"
                               "UninstallEmail=feedback@kyr.example;Kyr\n");
    ASSERT_TRUE(HasUninstallEntry(config));
    EXPECT_STREQ(UninstallKeyPath(config).Text(),
                 "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KyrSetup");
    EXPECT_EQ(AsPairs(UninstallEntryValues(config, STRING("C:\\Prog\\Kyr"),
                                           STRING("kyr.exe|docs/|docs/a.txt"), STRING(".kyd|Kyr.Document"))),
              (PAIRS{{"DisplayName", "Kyr 5.6"},
                     {"DisplayVersion", "5.6"},
                     {"DisplayIcon", "C:\\Prog\\Kyr\\kyr.exe"},
                     {"Publisher", UNINSTALL_PUBLISHER},
                     {"URLInfoAbout", UNINSTALL_URLINFOABOUT},
                     {"AppName", "Kyr"},
                     {"Version", "5.6"},
                     {"UninstallString", "\"C:\\Prog\\Kyr\\Setup.exe\" -remove \"KyrSetup\""},
                     {"UninstallFiles", "kyr.exe|docs/|docs/a.txt"},
                     {"UninstallPath", "C:\\Prog\\Kyr"},
                     {"UninstallRootClasses", ".kyd|Kyr.Document"},
                     {"UninstallProtect", "*.ini|data/*.db"},
                     {"UninstallFirewall", "kyr.exe|bin\\srv.exe"},
                     {"UninstallEmail", "feedback@kyr.example;Kyr"}}));
}

TEST(UninstallEntry, AbsentKeysGiveEmptyValuesAndOptionalOnesGo) {
    const HASH config = Config("IniKey=Demo\nUninstallEmail=feedback@demo.example\n");
    const PAIRS values = AsPairs(UninstallEntryValues(config, STRING("C:\\Demo"), STRING(""), STRING("")));
    ASSERT_EQ(values.size(), 12u) << "no UninstallFirewall, no UninstallEmail without \";\"";
    EXPECT_EQ(values[0], (std::pair<std::string, std::string>{"DisplayName", ""}));
    EXPECT_EQ(values[2], (std::pair<std::string, std::string>{"DisplayIcon", "C:\\Demo\\"}));
    EXPECT_EQ(values[8], (std::pair<std::string, std::string>{"UninstallFiles", ""}));
    EXPECT_EQ(values[11], (std::pair<std::string, std::string>{"UninstallProtect", ""}));
}

TEST(UninstallEntry, FirewallIsRecordedWhenTheKeyIsPresentEvenEmpty) {
    const HASH config = Config("IniKey=Demo\nAddToFirewall=\n");
    const PAIRS values = AsPairs(UninstallEntryValues(config, STRING("C:\\Demo"), STRING(""), STRING("")));
    ASSERT_EQ(values.size(), 13u);
    EXPECT_EQ(values.back(), (std::pair<std::string, std::string>{"UninstallFirewall", ""}));
}

TEST(UninstallEntry, AnAbsentOrEmptyIniKeyMeansNoEntry) {
    EXPECT_FALSE(HasUninstallEntry(Config("AppName=Demo\n")));
    EXPECT_FALSE(HasUninstallEntry(Config("IniKey=\n")));
    const HASH named = Config("IniKey=Demo\n");
    EXPECT_TRUE(HasUninstallEntry(named));
    EXPECT_STREQ(UninstallKeyPath(named).Text(),
                 "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo");
}

TEST(Progress, PercentOfTheListingTotalInWideIntegers) {
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    EXPECT_EQ(ProgressPercent(3, 3), 100);
    // 3 GB of 4 GB: the product with 100 does not fit 32 bits.
    EXPECT_EQ(ProgressPercent(3'000'000'000LL, 4'000'000'000LL), 75);
    EXPECT_EQ(ProgressPercent(30'000'000, 40'000'000), 75);
}

TEST(Progress, AZeroTotalIsNeverDividedBy) {
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(10, 0), 0);
    EXPECT_EQ(ProgressPercent(10, -1), 0);
}

TEST(InstalledFiles, NamesThatWouldLeaveTheInstallFolderAreNeverRecorded) {
    INSTALLEDFILES files;
    EXPECT_TRUE(files.Add("bin/demo.exe"));
    EXPECT_TRUE(files.Add("%APPDATA%/x.txt")) << "a literal name below the folder";
    for (const char* name : {"../outside.txt", "C:\\Windows\\x.dll", "/etc/x", "a|b.txt", "nul"})
        EXPECT_FALSE(files.Add(name)) << name;
    EXPECT_STREQ(files.Text().Text(), "bin/demo.exe|%APPDATA%/x.txt");
}

TEST(UninstallEntry, ManagedValuesFollowWithTheQuietCommandSizeAndDate) {
    const HASH config = Config("IniKey=Demo Pad\n");
    const std::vector<ENTRYVALUE> values =
        ManagedEntryValues(config, STRING("C:\\Prog\\Demo"), 1025, STRING("20260304"));
    std::vector<std::string> names;
    for (const ENTRYVALUE& value : values)
        names.push_back(value.Name.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"InstallLocation", "EstimatedSize", "QuietUninstallString",
                                               "NoModify", "NoRepair", "InstallDate"}));
    EXPECT_STREQ(values[0].Text.Text(), "C:\\Prog\\Demo");
    EXPECT_TRUE(values[1].IsNumber);
    EXPECT_EQ(values[1].Number, 2u) << "1025 bytes take two KiB";
    const REGISTRYTEXTS entry =
        UninstallEntryValues(config, STRING("C:\\Prog\\Demo"), STRING(""), STRING(""));
    EXPECT_STREQ(values[2].Text.Text(), (entry[7].Text || " /VERYSILENT").Text());
    EXPECT_STREQ(values[2].Text.Text(), "\"C:\\Prog\\Demo\\Setup.exe\" -remove \"Demo Pad\" /VERYSILENT");
    EXPECT_FALSE(values[2].IsNumber);
    for (int i : {3, 4}) {
        EXPECT_TRUE(values[i].IsNumber) << values[i].Name.Text();
        EXPECT_EQ(values[i].Number, 1u) << values[i].Name.Text();
    }
    EXPECT_STREQ(values[5].Text.Text(), "20260304");
    EXPECT_FALSE(values[5].IsNumber);
}

TEST(UninstallEntry, EstimatedSizeRoundsUpToWholeKiBAndStaysWithinADword) {
    EXPECT_EQ(SizeInKiB(0), 0u);
    EXPECT_EQ(SizeInKiB(1), 1u);
    EXPECT_EQ(SizeInKiB(1024), 1u);
    EXPECT_EQ(SizeInKiB(1024 * 1024 + 1), 1025u);
    EXPECT_EQ(SizeInKiB(uint64_t(1) << 45), 0xFFFFFFFFu) << "32 TiB is more than a DWORD of KiB";
}

TEST(UninstallEntry, InstallDateIsTheLocalDayWithoutSeparators) {
    struct tm day {};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 2;
    day.tm_mday = 4;
    day.tm_hour = 23;
    day.tm_min = 59;
    day.tm_isdst = -1;
    EXPECT_STREQ(InstallDateText(std::mktime(&day)).Text(), "20260304");
    day.tm_mon = 11;
    day.tm_mday = 31;
    day.tm_hour = 0;
    day.tm_min = 0;
    EXPECT_STREQ(InstallDateText(std::mktime(&day)).Text(), "20261231");
}
