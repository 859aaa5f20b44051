// The configuration table after loading: language selection, continuation and the typed key readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "lib/textcodec.h"
#include "setup/config.h"
#include "tests/common/scratch_folder.h"

namespace {

HASH Table(const char* text) {
    return HASH(STRING(text));
}

std::string Value(const HASH& table, const char* key) {
    const int index = table.IndexOf(key);
    return index < 0 ? std::string("<missing>") : std::string(table.ValueAt(index)->Text());
}

} // namespace

TEST(LanguageSelection, TheCurrentLanguageOverridesThePlainKeyAndOtherLanguagesGo) {
    HASH table = Table("WelcomeMsg=A\nWelcomeMsg.eng=B\nWelcomeMsg.ger=C\nAppName=App\n");
    ApplyLanguageSelection(table, STRING(".eng"));
    EXPECT_EQ(Value(table, "WelcomeMsg"), "B");
    EXPECT_EQ(Value(table, "AppName"), "App");
    EXPECT_FALSE(table.Contains("WelcomeMsg.eng"));
    EXPECT_FALSE(table.Contains("WelcomeMsg.ger"));
    EXPECT_EQ(table.Count(), 2);
}

TEST(LanguageSelection, SuffixIgnoresLetterCaseAndCreatesAMissingPlainKey) {
    HASH table = Table("FinishMsg.ENG=done\nFinishMsg.fra=fini\n");
    ApplyLanguageSelection(table, STRING(".eng"));
    EXPECT_EQ(Value(table, "FinishMsg"), "done");
    EXPECT_EQ(table.Count(), 1);
}

TEST(LanguageSelection, AnotherLanguageLeavesThePlainValue) {
    HASH table = Table("WelcomeMsg=A\nWelcomeMsg.eng=B\n");
    ApplyLanguageSelection(table, STRING(".ger"));
    EXPECT_EQ(Value(table, "WelcomeMsg"), "A");
    EXPECT_EQ(table.Count(), 1);
}

TEST(LanguageSelection, AnEmptySuffixOverridesNothing) {
    HASH table = Table("Key=A\nKey.eng=B\n");
    ApplyLanguageSelection(table, STRING(""));
    EXPECT_EQ(Value(table, "Key"), "A");
    EXPECT_EQ(table.Count(), 1);
}

TEST(Continuation, NumberedKeysAreAppendedInOrderAndAGapDoesNotStopTheScan) {
    HASH table = Table("Description=A\nDescription_2=C\nDescription_0=B\n");
    ApplyContinuation(table);
    EXPECT_EQ(Value(table, "Description"), "ABC");
    EXPECT_EQ(table.Count(), 1);
}

TEST(Continuation, TwentyThreeIsTheLastContinuationKey) {
    HASH table = Table("Text=a\nText_23=z\nText_24=beyond\n");
    ApplyContinuation(table);
    EXPECT_EQ(Value(table, "Text"), "az");
    EXPECT_EQ(Value(table, "Text_24"), "beyond");
}

TEST(Continuation, AKeyWithAnUnderscoreIsNeverExtended) {
    HASH table = Table("My_Key=A\nMy_Key_0=B\n");
    ApplyContinuation(table);
    EXPECT_EQ(Value(table, "My_Key"), "A");
    EXPECT_EQ(Value(table, "My_Key_0"), "B");
}

TEST(Continuation, NamesMatchWithoutLetterCaseAndOnlyAsPrintedInDecimal) {
    HASH table = Table("Title=A\ntitle_1=C\nTITLE_0=B\nTitle_01=zero-padded\nTitle_+2=signed\n");
    ApplyContinuation(table);
    EXPECT_EQ(Value(table, "Title"), "ABC");
    EXPECT_EQ(Value(table, "Title_01"), "zero-padded");
    EXPECT_EQ(Value(table, "Title_+2"), "signed");
    EXPECT_EQ(table.Count(), 3);
}

TEST(Continuation, ContinuationKeysWithoutTheirKeyStay) {
    HASH table = Table("Orphan_0=x\n");
    ApplyContinuation(table);
    EXPECT_EQ(Value(table, "Orphan_0"), "x");
    EXPECT_FALSE(table.Contains("Orphan"));
}

TEST(PostProcessConfig, LanguageIsChosenBeforeContinuedValuesAreJoined) {
    HASH table = Table("Msg=plain\nMsg.eng=Hello \nMsg_0.eng=world\nMsg_0.ger=Welt\n");
    PostProcessConfig(table, STRING(".eng"));
    EXPECT_EQ(Value(table, "Msg"), "Hello world");
    EXPECT_EQ(table.Count(), 1);
}

TEST(ConfigReader, AMissingKeyTakesTheDefaultAnEmptyOneDoesNot) {
    const HASH table = Table("DesktopIcon=\nNoFinalPopup=1\nAddToFirewall=\n");
    const CONFIGREADER config(table);
    EXPECT_EQ(config.Number("DesktopIcon", 1), 0);
    EXPECT_EQ(config.Number("StartmenuUninstall", 1), 1);
    EXPECT_EQ(config.Number("NoFinalPopup"), 1);
    EXPECT_TRUE(config.Has("AddToFirewall"));
    EXPECT_FALSE(config.Has("UninstallEmail"));
    EXPECT_TRUE(config.Text("AddToFirewall").NotNull());
    EXPECT_FALSE(config.Text("UninstallEmail").NotNull());
    EXPECT_STREQ(config.Text("UninstallEmail", "").Text(), "");
}

TEST(ConfigReader, NumbersAndDecimalsFollowTheRuntimeRules) {
    const HASH table = Table("IdIcon=12abc\nBad=x1\nAppVersion=5.6\nOld=4.79\n");
    const CONFIGREADER config(table);
    EXPECT_EQ(config.Number("IdIcon"), 12);
    EXPECT_EQ(config.Number("Bad", 7), 0);
    EXPECT_DOUBLE_EQ(config.Decimal("AppVersion", "4.00"), 5.6);
    EXPECT_DOUBLE_EQ(config.Decimal("Old", "4.00"), 4.79);
    EXPECT_DOUBLE_EQ(config.Decimal("Missing", "4.00"), 4.0);
}

TEST(ConfigReader, ListsSkipEmptyFieldsAndEntriesGiveEmptyMissingFields) {
    const HASH table = Table("DeleteAfterExtract=|a.tmp||b.tmp|\nStartmenuOpts=Name;*prog.exe\n");
    const CONFIGREADER config(table);
    const STRINGARRAY files = config.List("DeleteAfterExtract");
    ASSERT_EQ(files.Count(), 2);
    EXPECT_STREQ(files.Get(0)->Text(), "a.tmp");
    EXPECT_STREQ(files.Get(1)->Text(), "b.tmp");
    EXPECT_EQ(config.List("CopyToDest").Count(), 0);

    const STRING entry =
        config.List("StartmenuOpts").Get(0) ? *config.List("StartmenuOpts").Get(0) : STRING();
    EXPECT_STREQ(EntryField(entry, 1).Text(), "*prog.exe");
    EXPECT_TRUE(EntryField(entry, 3).NotNull());
    EXPECT_STREQ(EntryField(entry, 3).Text(), "");
}

TEST(ConfigReader, ReadingNeverAddsKeys) {
    const HASH table = Table("AppName=App\n");
    const CONFIGREADER config(table);
    config.Text("Missing");
    config.Number("AlsoMissing");
    config.List("NotThere");
    EXPECT_EQ(table.Count(), 1);
}

TEST(LoadConfigTable, AMissingFileLeavesTheTableAndSaysSo) {
    HASH table = Table("AppName=Before\n");
    EXPECT_FALSE(LoadConfigTable(table, "no-such-setup.cfg"));
    EXPECT_EQ(Value(table, "AppName"), "Before");
}

TEST(Readability, AConfigurationNeedsOneKeyOfItsOwn) {
    EXPECT_TRUE(HasSetupKeys(STRING("// comment\r\nappname=Demo\r\n")));
    EXPECT_TRUE(HasSetupKeys(STRING("x\nWelcomeMsg.ger=Hallo")));
    EXPECT_TRUE(HasSetupKeys(STRING("StartmenuOpts_2=x\n")));
    EXPECT_FALSE(HasSetupKeys(STRING("")));
    EXPECT_FALSE(HasSetupKeys(STRING()));
    EXPECT_FALSE(
        HasSetupKeys(STRING("Url=https://example.invalid\nAppNames=x\n AppName=y\nAppName\n\xff\xfe=1\n")));
}

// Packages were written in code page 1252; new ones may be UTF-8, with or without a byte-order mark. All
// three read the same, in the program's own code page (1252 in this test program, which has no manifest).
TEST(LoadSetupConfiguration, Utf8AndCodePage1252FilesReadTheSame) {
    const SCRATCHFOLDER folder("config_test");
    const std::string keys = "AppName=%s\r\nWelcomeMsg=Gr%se aus K%sln %s\r\n";
    const auto text = [&](const char* a, const char* b, const char* c, const char* d) {
        char line[200];
        std::snprintf(line, sizeof line, keys.c_str(), a, b, c, d);
        return std::string(line);
    };
    folder.Write("cp1252.cfg", text("\xC4rger", "\xFC\xDF", "\xF6", "\x80"));
    folder.Write("utf8.cfg", text("Ärger", "üß", "ö", "€"));
    folder.Write("bom.cfg", "\xEF\xBB\xBF" + text("Ärger", "üß", "ö", "€"));
    for (const char* file : {"cp1252.cfg", "utf8.cfg", "bom.cfg"}) {
        HASH table;
        ASSERT_TRUE(LoadSetupConfiguration(table, folder.File(file).c_str())) << file;
        EXPECT_EQ(Value(table, "AppName"), TEXTCODEC::FromUtf8("Ärger")) << file;
        EXPECT_EQ(Value(table, "WelcomeMsg"), TEXTCODEC::FromUtf8("Grüße aus Köln €")) << file;
    }
}

TEST(LoadMakerText, AFileThatIsNotUtf8IsReadAsCodePage1252) {
    const SCRATCHFOLDER folder("config_test");
    folder.Write("licence.txt", "\x84Lizenz\x93 f\xFCr \xA9 2024\r\n");
    STRING text;
    ASSERT_TRUE(LoadMakerText(folder.File("licence.txt").c_str(), text));
    EXPECT_EQ(TEXTCODEC::ToUtf8(text.Text()), "„Lizenz“ für © 2024\r\n");
    EXPECT_FALSE(LoadMakerText(folder.File("missing.txt").c_str(), text));
}
