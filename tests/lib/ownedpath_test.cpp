#include "lib/ownedpath.h"

#include <gtest/gtest.h>

#include <vector>

#include "lib/textcodec.h"

namespace {

STRING Joined(const char* folder, const char* name) {
    STRING result("untouched");
    if (!JoinBelow(STRING(folder), STRING(name), &result))
        return STRING("refused");
    return result;
}

TEST(OwnedPath, NamesFromArchivesAndRecordsAreJoinedLiterally) {
    EXPECT_EQ(Joined("C:\\Apps\\Demo", "bin/demo.exe"), "C:\\Apps\\Demo\\bin\\demo.exe");
    EXPECT_EQ(Joined("C:\\Apps\\Demo\\", ".\\docs\\.\\a.txt"), "C:\\Apps\\Demo\\docs\\a.txt");
    // Placeholders are names like any other: they stay below the folder.
    EXPECT_EQ(Joined("C:\\Apps\\Demo", "%APPDATA%\\x\\dummy.tmp"), "C:\\Apps\\Demo\\%APPDATA%\\x\\dummy.tmp");
    EXPECT_EQ(Joined("C:\\Apps\\Demo", "~\\x"), "C:\\Apps\\Demo\\~\\x");
    EXPECT_EQ(Joined("C:\\", "demo.exe"), "C:\\demo.exe");
    EXPECT_EQ(Joined("Q:", "demo.exe"), "Q:\\demo.exe");
}

TEST(OwnedPath, NamesThatLeaveTheirFolderAreRefused) {
    for (const char* name : {"..\\..\\x.dat", "a\\..\\..\\x",  "../x",      "..",
                             "...\\x",        ". .\\x",        "a\\.. \\x", "\\Windows\\x",
                             "/etc/passwd",   "C:\\x",         "C:x",       "\\\\server\\share\\x",
                             "\\\\?\\C:\\x",  "a:stream",      "*.dll",     "a?b",
                             "NUL",           "con.txt",       "Aux",       "com1",
                             "LPT9.log",      "sub\\nul .txt", "",          ".",
                             ".\\.",          "a\x01b"}) {
        STRING result("untouched");
        EXPECT_FALSE(JoinBelow(STRING("C:\\Apps\\Demo"), STRING(name), &result)) << name;
        EXPECT_EQ(result, "untouched") << name;
    }
    // Not devices: only the exact device names are.
    EXPECT_TRUE(IsNameBelow("console.txt"));
    EXPECT_TRUE(IsNameBelow("com10"));
    EXPECT_TRUE(IsNameBelow("a..b"));
    EXPECT_TRUE(IsNameBelow(".hidden"));
    STRING result;
    EXPECT_FALSE(JoinBelow(STRING(""), STRING("a"), &result));
    EXPECT_FALSE(JoinBelow(STRING(), STRING("a"), &result));
    EXPECT_FALSE(JoinBelow(STRING("C:\\x"), STRING(), &result));
}

TEST(OwnedPath, AtOrBelowComparesWholeComponents) {
    EXPECT_TRUE(IsAtOrBelow(STRING("C:\\Apps\\Demo"), STRING("c:/apps/demo/")));
    EXPECT_TRUE(IsAtOrBelow(STRING("C:\\Apps\\Demo\\bin\\a.exe"), STRING("C:\\Apps\\Demo")));
    EXPECT_TRUE(IsAtOrBelow(STRING("C:\\Apps"), STRING("C:\\")));
    EXPECT_TRUE(IsAtOrBelow(STRING("C:\\Apps"), STRING("C:")));
    EXPECT_FALSE(IsAtOrBelow(STRING("C:\\Apps\\Demo2"), STRING("C:\\Apps\\Demo")));
    EXPECT_FALSE(IsAtOrBelow(STRING("C:\\Apps"), STRING("C:\\Apps\\Demo")));
    EXPECT_FALSE(IsAtOrBelow(STRING("D:\\Apps"), STRING("C:\\")));
    EXPECT_FALSE(IsAtOrBelow(STRING("C:\\Apps"), STRING("")));
}

// The file system ignores letter case beyond ASCII too: a profile folder typed with other letter case is
// still the profile folder, and so protected.
TEST(OwnedPath, LetterCaseBeyondAsciiIsIgnored) {
    const STRING profile(TEXTCODEC::FromUtf8("C:\\Users\\Ärger Ölmann").c_str());
    const STRING typed(TEXTCODEC::FromUtf8("c:\\users\\ärger ölmann").c_str());
    EXPECT_TRUE(IsAtOrBelow(profile, typed));
    EXPECT_TRUE(IsAtOrBelow(STRING((typed || "\\Desktop").Text()), profile));
    EXPECT_FALSE(IsAtOrBelow(STRING(TEXTCODEC::FromUtf8("C:\\Users\\Ärger Ölmannx").c_str()), typed));
    const std::vector<STRING> guarded{profile || "\\Desktop"};
    EXPECT_EQ(JudgeTreeDeletion(typed, guarded, {}), TREEVERDICT::Protected);
}

TEST(OwnedPath, ParentStepsAreFoundInEveryForm) {
    for (const char* path : {"C:\\a\\..\\b", "..", "a/../b", "C:\\a\\... \\b", "C:\\a\\. .\\"})
        EXPECT_TRUE(HasParentComponent(STRING(path))) << path;
    for (const char* path : {"C:\\a\\.\\b", "C:\\a..b", "C:\\", ""})
        EXPECT_FALSE(HasParentComponent(STRING(path))) << path;
}

TEST(OwnedPath, RootsAreRecognisedInEveryForm) {
    for (const char* root : {"C:", "C:\\", "c:/", "\\", "", "\\\\server\\share", "\\\\server\\share\\",
                             "\\\\server", "\\\\?\\C:\\", "\\\\.\\D:"})
        EXPECT_TRUE(IsRootFolder(STRING(root))) << root;
    for (const char* folder : {"C:\\Apps", "\\\\server\\share\\apps", "\\\\?\\C:\\Apps"})
        EXPECT_FALSE(IsRootFolder(STRING(folder))) << folder;
}

class TreeDeletion : public ::testing::Test {
protected:
    std::vector<STRING> Guarded{STRING("C:\\Windows"),
                                STRING("C:\\Windows\\System32"),
                                STRING("C:\\Program Files"),
                                STRING("C:\\ProgramData"),
                                STRING("C:\\Users\\jo"),
                                STRING("C:\\Users\\jo\\Desktop"),
                                STRING("C:\\Users\\jo\\AppData\\Roaming"),
                                STRING("D:\\Data\\Documents")};
    std::vector<STRING> Products{STRING("C:\\Program Files\\Other"), STRING("E:\\Tools\\Editor")};
};

TEST_F(TreeDeletion, TheProductsOwnFolderMayGo) {
    EXPECT_EQ(JudgeTreeDeletion(STRING("C:\\Program Files\\Demo"), Guarded, Products), TREEVERDICT::Allowed);
    EXPECT_EQ(JudgeTreeDeletion(STRING("E:\\Demo"), Guarded, Products), TREEVERDICT::Allowed);
    EXPECT_EQ(JudgeTreeDeletion(STRING("C:\\Users\\jo\\Desktop\\Demo"), Guarded, Products),
              TREEVERDICT::Allowed);
}

TEST_F(TreeDeletion, SystemUserAndOtherProductsFoldersNeverGo) {
    EXPECT_EQ(JudgeTreeDeletion(STRING("Q:\\"), Guarded, Products), TREEVERDICT::Root);
    EXPECT_EQ(JudgeTreeDeletion(STRING("Q:"), Guarded, Products), TREEVERDICT::Relative)
        << "the current folder of drive Q:";
    EXPECT_EQ(JudgeTreeDeletion(STRING("\\\\nas\\apps"), Guarded, Products), TREEVERDICT::Root);
    EXPECT_EQ(JudgeTreeDeletion(STRING(), Guarded, Products), TREEVERDICT::Root);
    EXPECT_EQ(JudgeTreeDeletion(STRING("Demo"), Guarded, Products), TREEVERDICT::Relative);
    EXPECT_EQ(JudgeTreeDeletion(STRING("C:Demo"), Guarded, Products), TREEVERDICT::Relative);
    EXPECT_EQ(JudgeTreeDeletion(STRING("C:\\Program Files\\Demo\\.."), Guarded, Products),
              TREEVERDICT::Protected)
        << "the folder Windows resolves it to";
    EXPECT_EQ(JudgeTreeDeletion(STRING("c:\\program files"), Guarded, Products), TREEVERDICT::Protected);
    EXPECT_EQ(JudgeTreeDeletion(STRING("C:\\Users"), Guarded, Products), TREEVERDICT::Protected);
    EXPECT_EQ(JudgeTreeDeletion(STRING("C:\\Users\\jo\\AppData"), Guarded, Products), TREEVERDICT::Protected);
    EXPECT_EQ(JudgeTreeDeletion(STRING("D:\\Data"), Guarded, Products), TREEVERDICT::Protected);
    EXPECT_EQ(JudgeTreeDeletion(STRING("E:\\Tools"), Guarded, Products), TREEVERDICT::OtherProduct);
    EXPECT_EQ(JudgeTreeDeletion(STRING("C:\\Program Files\\Other"), {}, Products), TREEVERDICT::OtherProduct);
}

TEST_F(TreeDeletion, DestinationsMayBeADriveButNoSystemOrUserFolder) {
    EXPECT_EQ(JudgeDestination(STRING("Q:\\"), Guarded), TREEVERDICT::Allowed);
    EXPECT_EQ(JudgeDestination(STRING("C:\\Program Files\\Demo"), Guarded), TREEVERDICT::Allowed);
    EXPECT_EQ(JudgeDestination(STRING("C:\\Program Files\\"), Guarded), TREEVERDICT::Protected);
    EXPECT_EQ(JudgeDestination(STRING("C:\\Users\\jo\\Desktop"), Guarded), TREEVERDICT::Protected);
    EXPECT_EQ(JudgeDestination(STRING("C:\\Windows"), Guarded), TREEVERDICT::Protected);
    EXPECT_EQ(JudgeDestination(STRING("\\\\nas\\apps"), Guarded), TREEVERDICT::Root);
    EXPECT_EQ(JudgeDestination(STRING("Demo"), Guarded), TREEVERDICT::Relative);
    // Another product's folder is a destination like any other (an update may go there).
    EXPECT_EQ(JudgeDestination(STRING("C:\\Program Files\\Other"), Guarded), TREEVERDICT::Allowed);
}

} // namespace

namespace {

// Other products name their folder in many ways: the folder of a full-path program counts, a program found
// on the search path does not.
TEST(OwnedPath, TheFolderOfAnUninstallCommandOrAnIcon) {
    const struct {
        const char16_t* Command;
        const char16_t* Folder;
    } cases[] = {
        {u"\"C:\\Program Files\\Other\\uninst.exe\" /S", u"C:\\Program Files\\Other"},
        {u"C:\\Program Files\\Other\\uninst.exe /S", u"C:\\Program Files\\Other"},
        {u"C:\\Program Files (x86)\\Other\\app.exe,0", u"C:\\Program Files (x86)\\Other"},
        {u"  \\\\nas\\apps\\Other\\setup.exe -remove", u"\\\\nas\\apps\\Other"},
        {u"D:\\Tools\\Other\\icon.ico", u"D:\\Tools\\Other"},
        {u"MsiExec.exe /X{12345678-1234-1234-1234-123456789012}", u""},
        {u"rundll32.exe shell32.dll,Control_RunDLL", u""},
        {u"C:\\uninst.exe", u""},
        {u"\"C:\\Program Files\\Other\\uninst.exe", u""},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramFolderOf(c.Command), std::u16string(c.Folder))
            << TEXTCODEC::Utf8FromUtf16(c.Command);
}

} // namespace
