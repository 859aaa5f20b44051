// FILENAME on Windows: shell folders from the registry, share modes of fsopen, file attributes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "lib/filename.h"
#include "lib/osys.h"
#include "tests/common/test_support.h"

namespace {

// The folder of a GetSystemPath type joined with a name, as the expansion should give it.
std::string Expected(int type, const char* rest) {
    const STRING folder = OSYS::GetSystemPath(type);
    return std::string(folder.Text()) + rest;
}

} // namespace

TEST(ShellStringsWin32, PlaceholdersComeFromTheShellFolders) {
    ASSERT_TRUE(OSYS::GetSystemPath(8).NotEmpty());
    EXPECT_EQ(std::string(FILENAME("%USERDESKTOP%\\a.lnk").Text()), Expected(8, "a.lnk"));
    EXPECT_EQ(std::string(FILENAME("$(USERDESKTOP)/a.lnk").Text()), Expected(8, "a.lnk"));
    EXPECT_EQ(std::string(FILENAME("%ALLUSERAPPDATA%\\Orvik").Text()), Expected(13, "Orvik"));
    EXPECT_EQ(std::string(FILENAME("%USERDOCUMENTS%\\x").Text()), Expected(14, "x"));
    EXPECT_EQ(std::string(FILENAME("~\\notes.txt").Text()), Expected(6, "notes.txt"));
    EXPECT_EQ(std::string(FILENAME("%APPDATA%\\Orvik\\a.ini").Text()), Expected(5, "Orvik\\a.ini"));
}

TEST(ShellStringsWin32, AddedPlaceholdersJoinTheRegistryOnes) {
    // Longer than "%USERDESKTOP%", so it comes first and its value is expanded further.
    FILENAME::ShellStringSet("%ORVIKTESTFOLDER%", "%USERDESKTOP%\\Orvik\\");
    EXPECT_EQ(std::string(FILENAME("%ORVIKTESTFOLDER%\\x").Text()), Expected(8, "Orvik\\x"));
}

class FilenameWin32Files : public ::testing::Test {
protected:
    SCRATCHFOLDER Scratch{SCRATCHFOLDER::Working};
    FILENAME File{Scratch.File("file.txt").c_str()};
    void SetUp() override { WriteWholeFile(Scratch.File("file.txt"), "contents"); }
};

TEST_F(FilenameWin32Files, ReadingDeniesWritersButNotReaders) {
    FILEPTR reader(FILENAME::fsopen(File.c_str(), "rb"));
    ASSERT_TRUE(reader);
    FILEPTR second(FILENAME::fsopen(File.c_str(), "rb"));
    EXPECT_TRUE(second);
    FILEPTR writer(FILENAME::fsopen(File.c_str(), "ab"));
    EXPECT_FALSE(writer);
    FILEPTR shared(FILENAME::fsopen(File.c_str(), "ab", FSOPEN_DENY_NONE));
    EXPECT_FALSE(shared); // the reader still denies writing
}

TEST_F(FilenameWin32Files, UpdatingDeniesEveryoneElse) {
    FILEPTR updater(FILENAME::fsopen(File.c_str(), "r+b"));
    ASSERT_TRUE(updater);
    FILEPTR reader(FILENAME::fsopen(File.c_str(), "rb", FSOPEN_DENY_NONE));
    EXPECT_FALSE(reader);
}

TEST_F(FilenameWin32Files, ShareModeZeroMeansNoDenial) {
    FILEPTR first(FILENAME::fsopen(File.c_str(), "rb", 0));
    ASSERT_TRUE(first);
    FILEPTR second(FILENAME::fsopen(File.c_str(), "rb", 0));
    EXPECT_TRUE(second);
}

TEST_F(FilenameWin32Files, SetReadOnlyKeepsTheOtherAttributes) {
    ASSERT_TRUE(File.SetAttributes(FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(File.SetReadOnly(true));
    EXPECT_EQ(File.GetAttributes() & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(File.Delete());
    ASSERT_TRUE(File.SetReadOnly(false));
    EXPECT_EQ(File.GetAttributes() & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), DWORD(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(File.Delete());
    EXPECT_EQ(File.GetAttributes(), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilenameWin32Files, RenameThatOnlyChangesLetterCaseKeepsTheFile) {
    EXPECT_TRUE(File.Rename("FILE.TXT", true));
    EXPECT_EQ(ReadWholeFile(Scratch.File("FILE.TXT")), "contents");
}
