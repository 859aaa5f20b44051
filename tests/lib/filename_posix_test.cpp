// Tree operations and symbolic links on the native build: a link is listed and removed, never entered.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lib/filename.h"
#include "lib/stringarray.h"
#include "tests/common/test_support.h"

namespace fs = std::filesystem;

namespace {

class FilenameLinks : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Tree / "sub");
        fs::create_directories(Outside);
        WriteWholeFile((Outside / "precious.txt").string(), "keep me");
        WriteWholeFile((Tree / "sub" / "a.txt").string(), "a");
        fs::create_directory_symlink(Outside, Tree / "sub" / "link");
    }

    SCRATCHFOLDER Scratch{SCRATCHFOLDER::Working};
    fs::path Tree{Scratch.File("tree")};
    fs::path Outside{Scratch.File("outside")};
};

} // namespace

TEST_F(FilenameLinks, ListTreeListsALinkWithoutEnteringIt) {
    STRINGARRAY list;
    EXPECT_EQ(ListTree(Tree.string().c_str(), "*", &list, true), 3);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.Get(i)->Pos("precious"), -1) << list.Get(i)->Text();
}

TEST_F(FilenameLinks, DeleteTreeRemovesTheLinkButNotWhatItPointsTo) {
    EXPECT_EQ(DeleteTree(Tree.string().c_str(), "*", true), 2);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Tree / "sub" / "link")));
    EXPECT_FALSE(fs::exists(Tree));
    EXPECT_EQ(ReadWholeFile((Outside / "precious.txt").string()), "keep me");
}
