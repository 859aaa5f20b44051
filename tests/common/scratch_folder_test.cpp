// The one scratch folder of the tests: what every suite relies on when it leaves nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/common/scratch_folder.h"
#include "tests/common/test_support.h"

namespace fs = std::filesystem;

TEST(ScratchFolder, EachIsFreshBelowItsBaseAndGoesWithEverythingInIt) {
    const SCRATCHFOLDER base("scratch_base");
    fs::path first, second;
    {
        SCRATCHFOLDER one("scratch_one", base.Path());
        SCRATCHFOLDER two("scratch_one", base.Path());
        first = one.Path();
        second = two.Path();
        EXPECT_NE(first, second) << "the same label twice in one process";
        EXPECT_EQ(first.parent_path(), base.Path());
        EXPECT_EQ(first.filename().string().rfind("scratch_one_", 0), 0u) << first;
        EXPECT_TRUE(fs::is_directory(first));
        EXPECT_TRUE(fs::is_empty(first));

        one.Write("deep/er/file.txt", "text");
        EXPECT_TRUE(one.Exists("deep/er/file.txt"));
        EXPECT_EQ(ReadWholeFile(one.File("deep/er/file.txt")), "text");
        one.Write("deep/er/file.txt", "t");
        EXPECT_EQ(ReadWholeFile(one.File("deep/er/file.txt")), "t") << "written again, not appended";
        // A read-only file and folder stop a plain removal on Windows.
        one.Write("locked.txt", "x");
        fs::permissions(one.File("locked.txt"), fs::perms::owner_read);
        fs::permissions(one.File("deep"), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(one.Exists("missing.txt"));
        EXPECT_EQ(one.Text(), first.string());
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(fs::exists(base.Path())) << "only its own folder goes";
}

TEST(ScratchFolder, AWorkingOneIsTheWorkingFolderUntilItGoes) {
    const fs::path before = fs::current_path();
    fs::path folder;
    {
        const SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
        folder = scratch.Path();
        EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
        WriteWholeFile("relative.txt", "here");
        EXPECT_TRUE(scratch.Exists("relative.txt")) << "a relative name lands in it";
    }
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_FALSE(fs::exists(folder)) << "removed although it was the working folder";
}
