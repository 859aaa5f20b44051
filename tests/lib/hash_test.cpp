// HASH: the "setup.cfg" text form, look-ups, sorted insertion, the locked table and loading from files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/hash.h"
#include "tests/common/test_support.h"

namespace {

std::vector<std::string> KeysOf(const HASH& hash) {
    std::vector<std::string> keys;
    for (int i = 0; i < hash.Count(); ++i)
        keys.push_back(hash.KeyAt(i)->Text());
    return keys;
}

std::string ValueOf(const HASH& hash, const char* key) {
    const int i = hash.IndexOf(key);
    return i < 0 ? std::string("<missing>") : std::string(hash.ValueAt(i)->Text());
}

} // namespace

TEST(HashTextForm, KeyIsBeforeTheFirstEqualsAndNothingIsTrimmed) {
    HASH hash(STRING("Title=My App\nPath = C:\\\\Prog\nFormula=a=b=c\nEmpty=\n"));
    EXPECT_EQ(ValueOf(hash, "Title"), "My App");
    EXPECT_EQ(ValueOf(hash, "Path "), " C:\\Prog");
    EXPECT_FALSE(hash.Contains("Path"));
    EXPECT_EQ(ValueOf(hash, "Formula"), "a=b=c");
    ASSERT_TRUE(hash.Contains("Empty"));
    EXPECT_TRUE(hash.ValueAt(hash.IndexOf("Empty"))->NotNull());
    EXPECT_EQ(hash.Count(), 4);
}

TEST(HashTextForm, ValuesAreUnescapedStrictly) {
    ASSERTWATCH watch;
    HASH hash(STRING("Dir=C:\\\\a\\\\b\nText=line1\\nline2\\ttab\\x41\nBad=a\\qb\n"));
    EXPECT_EQ(ValueOf(hash, "Dir"), "C:\\a\\b");
    EXPECT_EQ(ValueOf(hash, "Text"), "line1\nline2\ttabA");
    EXPECT_EQ(watch.Failures(), 1u);
    EXPECT_EQ(watch.LastCondition(), "FALSE");
    EXPECT_EQ(ValueOf(hash, "Bad"), "aqb");
}

TEST(HashTextForm, Base64ValuesAreDecodedAndFlagged) {
    HASH hash(STRING("Data=={{SGVsbG8=}}\nPlain=SGVsbG8=\nHalf=={{abc\n"));
    const STRING* data = hash.ValueAt(hash.IndexOf("Data"));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->Length(), 5);
    EXPECT_EQ(*data, "Hello");
    EXPECT_EQ(data->GetFlags() & HASH_VALUE_BASE64, HASH_VALUE_BASE64);
    const STRING* plain = hash.ValueAt(hash.IndexOf("Plain"));
    EXPECT_EQ(*plain, "SGVsbG8=");
    EXPECT_EQ(plain->GetFlags() & HASH_VALUE_BASE64, 0u);
    EXPECT_EQ(ValueOf(hash, "Half"), "={{abc");
}

TEST(HashTextForm, CommentsAreSkippedButHandleAndKeyLinesAreRead) {
    HASH hash(STRING("// comment=1\n#comment=2\n#Handle=12\n#KEY=abc\nA=1\n\n"));
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"A"}));
    EXPECT_EQ(hash.GetHandle(), 12);
    EXPECT_EQ(hash.GetKey(), "abc");
}

TEST(HashTextForm, LineWithoutEqualsAssertsAndIsIgnored) {
    ASSERTWATCH watch;
    HASH hash(STRING("A=1\njust text\nB=2"));
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(watch.Failures(), 1u);
    EXPECT_EQ(watch.LastCondition(), "item.Find(\"=\")");
    EXPECT_EQ(watch.LastInfo(), "just text");
}

TEST(HashTextForm, CrLfLineEndsDoNotReachTheValues) {
    HASH hash(STRING("Title=My App\r\nVersion=6\r\n"));
    EXPECT_EQ(ValueOf(hash, "Title"), "My App");
    EXPECT_EQ(ValueOf(hash, "Version"), "6");
}

TEST(HashLookup, KeysAreSortedAndCompareWithoutLetterCase) {
    HASH hash(STRING("zeta=1\nAlpha=2\nbeta=3\n"));
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
    EXPECT_EQ(hash.IndexOf("ALPHA"), 0);
    EXPECT_EQ(hash.IndexOf("ZETA"), 2);
    EXPECT_EQ(hash.IndexOf("gamma"), -1);
    EXPECT_EQ(hash.IndexOf(nullptr), -1);
}

TEST(HashLookup, DuplicateKeysStayTogetherAndTheFirstOfTheFileWins) {
    HASH hash(STRING("Title=first\nB=x\ntitle=second\nA=y\nTITLE=third\n"));
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"A", "B", "Title", "title", "TITLE"}));
    EXPECT_EQ(ValueOf(hash, "title"), "first");
    EXPECT_TRUE(hash.Remove("title"));
    EXPECT_EQ(ValueOf(hash, "Title"), "second");
}

TEST(HashLookup, SubscriptInsertsAMissingKeyInSortedOrderWithANullValue) {
    HASH hash(STRING("a=1\nc=3\n"));
    STRING& value = hash["B"];
    EXPECT_FALSE(value.NotNull());
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"a", "B", "c"}));
    value = "2";
    EXPECT_EQ(ValueOf(hash, "b"), "2");
    hash["c"] = "three";
    EXPECT_EQ(ValueOf(hash, "C"), "three");
    EXPECT_EQ(hash.Count(), 3);
    hash["zz"] = "end";
    hash["0"] = "start";
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"0", "a", "B", "c", "zz"}));
}

TEST(HashLookup, LockedTableAssertsOnMissingKeysAndStaysUnchanged) {
    HASH hash(STRING("a=1\n"));
    hash.SetLockTable(true);
    ASSERTWATCH watch;
    hash["a"] = "changed";
    EXPECT_EQ(watch.Failures(), 0u);
    STRING& scratch = hash["missing"];
    EXPECT_EQ(watch.Failures(), 1u);
    EXPECT_EQ(watch.LastCondition(), "!this->LockTable");
    EXPECT_EQ(watch.LastInfo(), "missing");
    scratch = "lost";
    EXPECT_FALSE(hash.Contains("missing"));
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"a"}));
    EXPECT_EQ(ValueOf(hash, "a"), "changed");
}

TEST(HashLookup, RemoveAndKeysCopy) {
    HASH hash(STRING("a=1\nb=2\n"));
    STRINGARRAY keys = hash.Keys();
    EXPECT_STREQ(keys.GetTypeName(), "HASH-KEYS");
    EXPECT_TRUE(hash.Remove("A"));
    EXPECT_FALSE(hash.Remove("a"));
    EXPECT_EQ(keys.Count(), 2);
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"b"}));
    EXPECT_EQ(ValueOf(hash, "b"), "2");
}

TEST(HashLookup, CopiesAreIndependent) {
    HASH original(STRING("#Handle=3\n#Key=k\na=1\n"));
    original.SetLockTable(true);
    HASH copy(original);
    EXPECT_EQ(copy.GetHandle(), 3);
    EXPECT_EQ(copy.GetKey(), "k");
    EXPECT_TRUE(copy.IsLocked());
    copy.SetLockTable(false);
    copy["a"] = "2";
    copy["b"] = "new";
    EXPECT_EQ(ValueOf(original, "a"), "1");
    EXPECT_FALSE(original.Contains("b"));
}

class HashLoad : public ::testing::Test {
protected:
    SCRATCHFOLDER Scratch{SCRATCHFOLDER::Working};
};

TEST_F(HashLoad, ReadsASetupCfg) {
    WriteWholeFile(Scratch.File("setup.cfg"),
                   "// product\r\nAppName=Orvik Viewer\r\nAppVersion=6.0\r\nInstallPath=%APPDATA%\\\\Orvik\r\n"
                   "Pages=welcome|licence|dest\r\nLogo=={{SGVsbG8=}}\r\n#Handle=4\r\n");
    HASH cfg;
    ASSERT_TRUE(cfg.Load(Scratch.File("setup.cfg").c_str()));
    EXPECT_EQ(KeysOf(cfg), (std::vector<std::string>{"AppName", "AppVersion", "InstallPath", "Logo", "Pages"}));
    EXPECT_EQ(ValueOf(cfg, "appname"), "Orvik Viewer");
    EXPECT_EQ(ValueOf(cfg, "InstallPath"), "%APPDATA%\\Orvik");
    EXPECT_EQ(ValueOf(cfg, "Logo"), "Hello");
    EXPECT_EQ(cfg.GetHandle(), 4);
}

TEST_F(HashLoad, ReplacesTheWholeTableAndKeepsTheOldKeyWithoutAKeyLine) {
    WriteWholeFile(Scratch.File("first.cfg"), "#Key=one\nold=1\n");
    WriteWholeFile(Scratch.File("second.cfg"), "new=2\n");
    WriteWholeFile(Scratch.File("third.cfg"), "#Key=three\n");
    HASH hash;
    ASSERT_TRUE(hash.Load(Scratch.File("first.cfg").c_str()));
    hash.SetLockTable(true);
    ASSERT_TRUE(hash.Load(Scratch.File("second.cfg").c_str()));
    EXPECT_EQ(KeysOf(hash), (std::vector<std::string>{"new"}));
    EXPECT_EQ(hash.GetKey(), "one");
    EXPECT_FALSE(hash.IsLocked());
    ASSERT_TRUE(hash.Load(Scratch.File("third.cfg").c_str()));
    EXPECT_EQ(hash.GetKey(), "three");
    EXPECT_EQ(hash.Count(), 0);
}

TEST_F(HashLoad, MissingFileLeavesTheTableUnchanged) {
    HASH hash(STRING("a=1\n"));
    EXPECT_FALSE(hash.Load(Scratch.File("absent.cfg").c_str()));
    EXPECT_EQ(ValueOf(hash, "a"), "1");
}
