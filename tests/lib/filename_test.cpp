// FILENAME: building names (placeholders, joining), name parts, single-file operations and trees, on real
// files in a scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "lib/filename.h"
#include "lib/osys.h"
#include "lib/stringarray.h"
#include "tests/common/test_support.h"

namespace fs = std::filesystem;

namespace {

// FILENAME texts use "\"; the native file system wants "/".
fs::path OnDisk(const STRING& name) {
    std::string text = name.Text();
#if !defined(_WIN32)
    std::replace(text.begin(), text.end(), '\\', '/');
#endif
    return fs::path(text);
}

std::string Backslashed(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::vector<std::string> Items(const STRINGARRAY& array) {
    std::vector<std::string> items;
    for (int i = 0; i < array.Count(); ++i)
        items.push_back(array.Get(i)->Text());
    return items;
}

int IndexIn(const std::vector<std::string>& items, const std::string& item) {
    auto found = std::find(items.begin(), items.end(), item);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

} // namespace

// ---------------------------------------------------------------------------------------------------------

TEST(FilenameText, SlashesBecomeBackslashesAndTrailingOnesGo) {
    EXPECT_EQ(FILENAME("C:/Temp/x/"), "C:\\Temp\\x");
    EXPECT_EQ(FILENAME("rel\\dir\\\\"), "rel\\dir");
    // A bare root keeps its separator: without it "C:" would mean the current folder of drive C.
    EXPECT_EQ(FILENAME("C:\\"), "C:\\");
    EXPECT_EQ(FILENAME("/"), "\\");
    EXPECT_FALSE(FILENAME(static_cast<const char*>(nullptr)).NotNull());
}

TEST(FilenameText, AssignmentTakesTheTextWithoutExpansion) {
    FILENAME::ShellStringSet("%APPDATA%", "C:\\Users\\u\\AppData\\Roaming\\");
    FILENAME name;
    name = "%APPDATA%/x/";
    EXPECT_EQ(name, "%APPDATA%\\x");
    name = STRING("a/b");
    EXPECT_EQ(name, "a\\b");
    EXPECT_EQ(FILENAME("%APPDATA%/x/"), "C:\\Users\\u\\AppData\\Roaming\\x");
}

TEST(FilenameText, SelfIsTheProgramPath) {
    const FILENAME self("<SELF>");
    EXPECT_EQ(std::string(self.Text()), Backslashed(OSYS::GetModulePath().Text()));
    EXPECT_TRUE(self.Exists());
}

TEST(FilenameText, TempNamesAreNewUniqueFilesInTheTempFolder) {
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    const std::string folder = scratch.File("tmp");
    fs::create_directory(folder);
    const char* previous = std::getenv("TEMP");
    const std::string saved = previous != nullptr ? previous : "";
    TestSetEnv("TEMP", folder.c_str());
    const FILENAME first("<temp>");
    const FILENAME second("<TMP>");
    TestSetEnv("TEMP", previous != nullptr ? saved.c_str() : nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(StringCompareNoCase(first.Path().c_str(), Backslashed(folder).c_str()), 0) << first.Text();
    EXPECT_TRUE(fs::exists(OnDisk(first)));
    EXPECT_TRUE(fs::exists(OnDisk(second)));
}

// ---------------------------------------------------------------------------------------------------------

class ShellStrings : public ::testing::Test {
protected:
    void SetUp() override {
        FILENAME::ShellStringSet("%APPDATA%", "C:\\Users\\u\\AppData\\Roaming\\");
        FILENAME::ShellStringSet("%USERHOME%", "C:\\Users\\u\\Documents\\");
    }
};

TEST_F(ShellStrings, PlaceholderAtTheStartExpandsInBothSpellings) {
    EXPECT_EQ(FILENAME("%APPDATA%/Sub/a.ini"), "C:\\Users\\u\\AppData\\Roaming\\Sub\\a.ini");
    EXPECT_EQ(FILENAME("$(APPDATA)/Sub/a.ini"), "C:\\Users\\u\\AppData\\Roaming\\Sub\\a.ini");
    EXPECT_EQ(FILENAME("%appdata%"), "C:\\Users\\u\\AppData\\Roaming");
}

TEST_F(ShellStrings, PlaceholderInTheMiddleStaysButUserNameIsReplacedAnywhere) {
    EXPECT_EQ(FILENAME("C:\\%APPDATA%\\x"), "C:\\%APPDATA%\\x");
    const STRING user = OSYS::GetUserName();
    ASSERT_TRUE(user.NotNull());
    EXPECT_EQ(std::string(FILENAME("C:/Users/%username%/x").Text()), std::string("C:\\Users\\") + user.Text() + "\\x");
}

TEST_F(ShellStrings, TildeIsTheDocumentsFolder) {
    EXPECT_EQ(FILENAME("~\\notes.txt"), "C:\\Users\\u\\Documents\\notes.txt");
    EXPECT_EQ(FILENAME("~/notes.txt"), "C:\\Users\\u\\Documents\\notes.txt");
}

TEST_F(ShellStrings, LongerNamesWinAndValuesExpandFurther) {
    FILENAME::ShellStringSet("%TESTROOT%", "E:\\root");
    FILENAME::ShellStringSet("%TESTROOTDATA%", "%TESTROOT%\\data\\");
    EXPECT_EQ(FILENAME("%TESTROOTDATA%\\f"), "E:\\root\\data\\f");
    EXPECT_EQ(FILENAME("%TESTROOT%\\f"), "E:\\root\\f");
    FILENAME::ShellStringSet("%TESTROOT%", "F:\\other\\");
    EXPECT_EQ(FILENAME("%TESTROOT%\\f"), "F:\\other\\f");
}

TEST_F(ShellStrings, UnknownOrEmptyPlaceholdersStay) {
    FILENAME::ShellStringSet("%TESTEMPTY%", "");
    EXPECT_EQ(FILENAME("%TESTEMPTY%\\f"), "%TESTEMPTY%\\f");
    EXPECT_EQ(FILENAME("%NOSUCHFOLDER%\\f"), "%NOSUCHFOLDER%\\f");
}

// ---------------------------------------------------------------------------------------------------------

TEST(FilenameJoin, NameJoinsToTheDirectoryUnlessAbsolute) {
    EXPECT_EQ(FILENAME("C:\\Prog", "data.cfg"), "C:\\Prog\\data.cfg");
    EXPECT_EQ(FILENAME("C:\\Prog\\", "sub/a"), "C:\\Prog\\sub\\a");
    EXPECT_EQ(FILENAME("C:\\Prog", "D:\\x.cfg"), "D:\\x.cfg");
    EXPECT_EQ(FILENAME("C:\\Prog", "\\x.cfg"), "\\x.cfg");
    EXPECT_EQ(FILENAME("", "x"), ".\\x");
    EXPECT_EQ(FILENAME(nullptr, "x"), ".\\x");
    EXPECT_EQ(FILENAME("C:\\", "x"), "C:\\x");
    EXPECT_EQ(FILENAME("C:\\Prog", nullptr), "C:\\Prog");
}

TEST(FilenameJoin, PlaceholderAtTheStartOfTheDirectoryExpands) {
    FILENAME::ShellStringSet("%APPDATA%", "C:\\Users\\u\\AppData\\Roaming\\");
    EXPECT_EQ(FILENAME("%APPDATA%", "Orvik/a.ini"), "C:\\Users\\u\\AppData\\Roaming\\Orvik\\a.ini");
}

TEST(FilenameJoin, ThreePartsDropDotFolders) {
    EXPECT_EQ(FILENAME("C:\\a", ".", "b.txt"), "C:\\a\\b.txt");
    EXPECT_EQ(FILENAME("C:\\a", "sub", "b.txt"), "C:\\a\\sub\\b.txt");
    EXPECT_EQ(FILENAME("C:\\a", "sub", "D:\\b.txt"), "D:\\b.txt");
}

TEST(FilenameParts, NameAndPath) {
    EXPECT_EQ(FILENAME("C:\\a\\b.txt").Name(), "b.txt");
    EXPECT_EQ(FILENAME("C:\\a\\b.txt").Path(), "C:\\a");
    EXPECT_EQ(FILENAME("b.txt").Name(), "b.txt");
    EXPECT_EQ(FILENAME("b.txt").Path(), ".");
    EXPECT_EQ(FILENAME("C:b.txt").Name(), "b.txt");
    EXPECT_EQ(FILENAME("C:\\b.txt").Path(), "C:\\");
    EXPECT_EQ(FILENAME("\\b.txt").Path(), "\\");
}

TEST(FilenameParts, IsAbsolute) {
    EXPECT_TRUE(FILENAME("\\x").IsAbsolute());
    EXPECT_TRUE(FILENAME("/x").IsAbsolute());
    EXPECT_TRUE(FILENAME("C:x").IsAbsolute());
    FILENAME tilde;
    tilde = "~x";
    EXPECT_TRUE(tilde.IsAbsolute());
    EXPECT_FALSE(FILENAME("x\\y").IsAbsolute());
    EXPECT_FALSE(FILENAME(".\\x").IsAbsolute());
    EXPECT_FALSE(FILENAME("").IsAbsolute());
}

TEST(FilenameShare, DefaultShareModeFollowsTheOpenMode) {
    EXPECT_EQ(FILENAME::ShareModeFor("rb", -1), FSOPEN_DENY_WRITE);
    EXPECT_EQ(FILENAME::ShareModeFor("r", -1), FSOPEN_DENY_WRITE);
    EXPECT_EQ(FILENAME::ShareModeFor("r+b", -1), FSOPEN_DENY_READWRITE);
    EXPECT_EQ(FILENAME::ShareModeFor("wb", -1), FSOPEN_DENY_READWRITE);
    EXPECT_EQ(FILENAME::ShareModeFor("a", -1), FSOPEN_DENY_READWRITE);
    EXPECT_EQ(FILENAME::ShareModeFor("rb", FSOPEN_DENY_NONE), FSOPEN_DENY_NONE);
}

// ---------------------------------------------------------------------------------------------------------

class FilenameFiles : public ::testing::Test {
protected:
    FILENAME Make(const char* relative, const std::string& contents) {
        FILENAME name(Root.c_str(), relative);
        fs::create_directories(OnDisk(name).parent_path());
        WriteWholeFile(OnDisk(name).string(), contents);
        return name;
    }
    FILENAME At(const char* relative) const { return FILENAME(Root.c_str(), relative); }

    SCRATCHFOLDER Scratch{SCRATCHFOLDER::Working};
    STRING Root{Scratch.File("root").c_str()};
};

TEST_F(FilenameFiles, ExistsDirectoryAndSize) {
    const FILENAME file = Make("a\\b.bin", std::string("x\0y\r\n", 5));
    EXPECT_TRUE(file.Exists());
    EXPECT_FALSE(file.IsDirectory());
    EXPECT_EQ(file.Size(), 5);
    EXPECT_TRUE(FILENAME(Root).IsDirectory());
    EXPECT_FALSE(At("missing").Exists());
    EXPECT_EQ(At("missing").Size(), -1);
}

TEST_F(FilenameFiles, MakeDirRemoveDirAndDelete) {
    const FILENAME dir = At("new");
    fs::create_directories(OnDisk(FILENAME(Root)));
    EXPECT_TRUE(dir.MakeDir());
    EXPECT_FALSE(dir.MakeDir());
    const FILENAME inside = Make("new\\f", "1");
    EXPECT_FALSE(dir.RemoveDir());
    EXPECT_TRUE(inside.Delete());
    EXPECT_FALSE(inside.Delete());
    EXPECT_TRUE(dir.RemoveDir());
    EXPECT_FALSE(fs::exists(OnDisk(dir)));
}

TEST_F(FilenameFiles, ModTimeIsCachedUntilRefreshed) {
    FILENAME file = Make("t.txt", "1");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(OnDisk(file), old);
    const int64_t first = file.ModTime();
    EXPECT_GT(first, 0);
    fs::last_write_time(OnDisk(file), old + std::chrono::hours(24));
    EXPECT_EQ(file.ModTime(), first);
    EXPECT_EQ(file.ModTime(true), first + 24 * 3600);
}

TEST_F(FilenameFiles, CopyKeepsEveryByteAndRespectsOverwrite) {
    std::string contents;
    for (int i = 0; i < 10000; ++i)
        contents.push_back(static_cast<char>(i % 251));
    const FILENAME source = Make("src.bin", contents);
    const FILENAME target = Make("dst.bin", "old");
    EXPECT_FALSE(source.Copy(target.c_str(), false));
    EXPECT_EQ(ReadWholeFile(OnDisk(target).string()), "old");
    EXPECT_TRUE(source.Copy(target.c_str(), true));
    EXPECT_EQ(ReadWholeFile(OnDisk(target).string()), contents);
    EXPECT_TRUE(source.Copy(At("fresh.bin").c_str(), false));
    EXPECT_EQ(ReadWholeFile(OnDisk(At("fresh.bin")).string()), contents);
    EXPECT_FALSE(At("missing").Copy(At("other").c_str(), true));
    EXPECT_FALSE(At("other").Exists());
}

TEST_F(FilenameFiles, CopyOntoItselfLeavesTheFileIntact) {
    const FILENAME file = Make("self.txt", "precious");
    EXPECT_FALSE(file.Copy(file.c_str(), true));
    EXPECT_FALSE(file.Copy(FILENAME(Root.c_str(), ".\\self.txt").c_str(), true));
    EXPECT_EQ(ReadWholeFile(OnDisk(file).string()), "precious");
}

TEST_F(FilenameFiles, RenameStaysInItsFolder) {
    const FILENAME file = Make("a\\b.txt", "b");
    Make("elsewhere\\keep.txt", "k");
    EXPECT_TRUE(file.Rename(At("elsewhere\\c.txt").c_str(), false));
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(ReadWholeFile(OnDisk(At("a\\c.txt")).string()), "b");
    EXPECT_FALSE(At("elsewhere\\c.txt").Exists());
}

TEST_F(FilenameFiles, RenameReplacesOnlyWithOverwrite) {
    const FILENAME file = Make("x.txt", "new");
    Make("y.txt", "old");
    EXPECT_FALSE(file.Rename("y.txt", false));
    EXPECT_EQ(ReadWholeFile(OnDisk(At("y.txt")).string()), "old");
    EXPECT_TRUE(file.Rename("y.txt", true));
    EXPECT_EQ(ReadWholeFile(OnDisk(At("y.txt")).string()), "new");
    EXPECT_FALSE(file.Exists());
}

TEST_F(FilenameFiles, RenameOntoItselfKeepsTheFile) {
    const FILENAME file = Make("same.txt", "data");
    EXPECT_TRUE(file.Rename("same.txt", true));
    EXPECT_EQ(ReadWholeFile(OnDisk(file).string()), "data");
}

TEST_F(FilenameFiles, SetReadOnlyTogglesWritePermission) {
    const FILENAME file = Make("ro.txt", "r");
    ASSERT_TRUE(file.SetReadOnly(true));
    EXPECT_EQ(fs::status(OnDisk(file)).permissions() & fs::perms::owner_write, fs::perms::none);
    ASSERT_TRUE(file.SetReadOnly(false));
    EXPECT_NE(fs::status(OnDisk(file)).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_FALSE(At("missing").SetReadOnly(true));
}

TEST_F(FilenameFiles, FsopenOpensAndReportsFailure) {
    const FILENAME file = Make("open.txt", "hello");
    FILEPTR in(FILENAME::fsopen(file.c_str(), "rb"));
    ASSERT_TRUE(in);
    char buffer[8] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, in.get()), 5u);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(FILENAME::fsopen(At("missing\\x").c_str(), "rb"), nullptr);
    FILEPTR out(FILENAME::fsopen(At("written.txt").c_str(), "wb"));
    ASSERT_TRUE(out);
    std::fputs("w", out.get());
    out.reset();
    EXPECT_EQ(ReadWholeFile(OnDisk(At("written.txt")).string()), "w");
}

// ---------------------------------------------------------------------------------------------------------

class FilenameTrees : public FilenameFiles {
protected:
    void SetUp() override {
        Make("top.txt", "t");
        Make("A.TXT", "upper");
        Make("sub\\one.txt", "1");
        Make("sub\\two.dat", "2");
        Make("sub\\deeper\\three.txt", "3");
        fs::create_directories(OnDisk(At("empty")));
        Make(".hidden\\h.txt", "h");
    }
};

TEST_F(FilenameTrees, MakeDirectoryPathCreatesEveryLevel) {
    EXPECT_TRUE(MakeDirectoryPath(At("n1\\n2/n3").c_str()));
    EXPECT_TRUE(fs::is_directory(OnDisk(At("n1\\n2\\n3"))));
    EXPECT_TRUE(MakeDirectoryPath(At("n1\\n2").c_str()));
    EXPECT_FALSE(MakeDirectoryPath(At("top.txt\\below").c_str()));
}

TEST_F(FilenameTrees, ListTreePutsEveryDirectoryAfterItsContents) {
    STRINGARRAY list;
    const int count = ListTree(Root.c_str(), "*", &list, true);
    const std::vector<std::string> items = Items(list);
    EXPECT_EQ(count, 8);
    ASSERT_EQ(items.size(), 8u);
    const std::string root = Root.Text();
    const int sub = IndexIn(items, Backslashed(root + "/sub"));
    const int deeper = IndexIn(items, Backslashed(root + "/sub/deeper"));
    ASSERT_GE(sub, 0);
    ASSERT_GE(deeper, 0);
    EXPECT_LT(IndexIn(items, Backslashed(root + "/sub/deeper/three.txt")), deeper);
    EXPECT_LT(deeper, sub);
    EXPECT_LT(IndexIn(items, Backslashed(root + "/sub/one.txt")), sub);
    EXPECT_GE(IndexIn(items, Backslashed(root + "/empty")), 0);
    // Folders whose names start with "." are not entered.
    EXPECT_EQ(IndexIn(items, Backslashed(root + "/.hidden/h.txt")), -1);
}

TEST_F(FilenameTrees, ListTreeWithoutRecursionAndWithPatterns) {
    EXPECT_EQ(ListTree(Root.c_str(), "*", nullptr, false), 2);
    STRINGARRAY list;
    EXPECT_EQ(ListTree(At("sub").c_str(), "*.TXT", &list, false), 1);
    EXPECT_EQ(Items(list), (std::vector<std::string>{Backslashed(std::string(Root.Text()) + "/sub/one.txt")}));
    EXPECT_EQ(ListTree(Root.c_str(), "a.txt", nullptr, false), 1);
    EXPECT_EQ(ListTree(At("missing").c_str(), "*", nullptr, true), 0);
}

TEST_F(FilenameTrees, CopyDirectoryCopiesTheWholeTree) {
    const FILENAME target = At("..\\copy");
    EXPECT_TRUE(CopyDirectory(Root.c_str(), "*", target.c_str(), true, false));
    EXPECT_EQ(ReadWholeFile(OnDisk(FILENAME(target.c_str(), "sub\\deeper\\three.txt")).string()), "3");
    EXPECT_EQ(ReadWholeFile(OnDisk(FILENAME(target.c_str(), "top.txt")).string()), "t");
    EXPECT_TRUE(fs::is_directory(OnDisk(FILENAME(target.c_str(), "empty"))));
}

TEST_F(FilenameTrees, CopyDirectoryCanKeepExistingFiles) {
    const FILENAME target = At("..\\copy");
    fs::create_directories(OnDisk(FILENAME(target.c_str(), "sub")));
    WriteWholeFile(OnDisk(FILENAME(target.c_str(), "sub\\one.txt")).string(), "mine");
    EXPECT_TRUE(CopyDirectory(Root.c_str(), "*", target.c_str(), true, true));
    EXPECT_EQ(ReadWholeFile(OnDisk(FILENAME(target.c_str(), "sub\\one.txt")).string()), "mine");
    EXPECT_EQ(ReadWholeFile(OnDisk(FILENAME(target.c_str(), "sub\\two.dat")).string()), "2");
    EXPECT_TRUE(CopyDirectory(Root.c_str(), "*", target.c_str(), true, false));
    EXPECT_EQ(ReadWholeFile(OnDisk(FILENAME(target.c_str(), "sub\\one.txt")).string()), "1");
}

TEST_F(FilenameTrees, CopyTreeRejectsEntriesOutsideTheSource) {
    STRINGARRAY list;
    list.Append(At("sub\\one.txt"));
    list.Append(At("top.txt"));
    list.Append(At("sub"));
    ASSERTWATCH watch;
    const std::string from = FILENAME(At("sub")).Text();
    EXPECT_TRUE(CopyTree(from.c_str(), At("..\\copy").c_str(), list, false));
    EXPECT_EQ(watch.Failures(), 1u);
    EXPECT_EQ(watch.LastCondition(), "source.Left(fromlen)==from");
    EXPECT_EQ(watch.LastInfo(), std::string(At("top.txt").Text()) + "::" + from);
    EXPECT_FALSE(fs::exists(OnDisk(At("..\\top.txt"))));
    EXPECT_EQ(ReadWholeFile(OnDisk(At("..\\copy\\one.txt")).string()), "1");
}

TEST_F(FilenameTrees, CopyTreeReportsFailedCopies) {
    STRINGARRAY list;
    list.Append(At("sub\\one.txt"));
    Make("blocker", "file in the way");
    EXPECT_FALSE(CopyTree(At("sub").c_str(), At("blocker").c_str(), list, false));
}

TEST_F(FilenameTrees, DeleteTreeRemovesContentsThenFolders) {
    Make("..\\sibling.txt", "stays");
    EXPECT_EQ(DeleteTree(At("sub").c_str(), "*", true), 2);
    EXPECT_FALSE(fs::exists(OnDisk(At("sub"))));
    EXPECT_TRUE(fs::exists(OnDisk(At("top.txt"))));
    EXPECT_EQ(DeleteTree(Root.c_str(), "*", true), 1); // "empty"
    // The hidden folder was not listed, so the root could not go either.
    EXPECT_TRUE(fs::exists(OnDisk(At(".hidden\\h.txt"))));
    EXPECT_FALSE(fs::exists(OnDisk(At("top.txt"))));
    EXPECT_TRUE(fs::exists(OnDisk(At("..\\sibling.txt"))));
}

TEST_F(FilenameTrees, FileFindReportsNamesAndFullPaths) {
    STRING received;
    std::vector<std::string> names;
    for (FILEFIND find(At("sub\\*.txt").c_str(), &received); find.Found(); find.Next()) {
        names.push_back(find.Name().Text());
        EXPECT_EQ(received, find.Name());
        EXPECT_EQ(find.FullPath(), FILENAME(At("sub").c_str(), find.Name().c_str()));
        EXPECT_FALSE(find.IsDirectory());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"one.txt"}));

    // A pattern that names a folder lists what is in it.
    std::vector<std::string> entries;
    for (FILEFIND find(At("sub\\deeper").c_str()); find.Found(); find.Next())
        if (find.Name()[0] != '.')
            entries.push_back(find.Name().Text());
    EXPECT_EQ(entries, (std::vector<std::string>{"three.txt"}));
}
