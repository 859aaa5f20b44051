// COPYFILE and DELETEFILE as a script uses them: the files afterwards and the exit code; no message box.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/verbs/verbs_harness.h"

using namespace verbs;

namespace {
// Several blocks of the copy and a partial one, with zero bytes and line ends kept as they are.
std::string BinaryContent() {
    std::string content;
    for (int i = 0; i < 4096 * 2 + 1000; ++i)
        content += static_cast<char>((i * 7) % 256);
    return content;
}
} // namespace

TEST(CopyFileVerb, CopiesToANewFileAndEndsWithOne) {
    SETUPFOLDER folder;
    const std::string content = BinaryContent();
    folder.Write("source.bin", content);
    const RUN run =
        RunSetup(folder, "\"/COPYFILE:" + folder.File("source.bin") + "|" + folder.File("copy.bin") + "\"");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(ShowedNothing(run));
    EXPECT_EQ(folder.Read("copy.bin"), content);
}

TEST(CopyFileVerb, ExistingDestinationStaysWithoutOverwriteAndIsReplacedWithIt) {
    SETUPFOLDER folder;
    folder.Write("new.txt", "new contents");
    folder.Write("old.txt", "old");

    const RUN kept = RunSetup(folder, "\"/COPYFILE:new.txt|old.txt|0\"");
    EXPECT_EQ(kept.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(kept));
    EXPECT_EQ(folder.Read("old.txt"), "old");

    const RUN keptempty = RunSetup(folder, "\"/COPYFILE:new.txt|old.txt\"");
    EXPECT_EQ(keptempty.ExitCode, 0u) << "an empty overwrite field means 0";
    EXPECT_EQ(folder.Read("old.txt"), "old");

    const RUN replaced = RunSetup(folder, "\"/COPYFILE:new.txt|old.txt|1\"");
    EXPECT_EQ(replaced.ExitCode, 1u);
    EXPECT_TRUE(ShowedNothing(replaced));
    EXPECT_EQ(folder.Read("old.txt"), "new contents");
}

TEST(CopyFileVerb, MissingSourceCopiesNothing) {
    SETUPFOLDER folder;
    const RUN run = RunSetup(folder, "\"/COPYFILE:absent.txt|copy.txt|1\"");

    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(run));
    EXPECT_FALSE(std::filesystem::exists(folder.Path / "copy.txt"));
}

TEST(DeleteFileVerb, DeletesAFileAndEndsWithOneButZeroWhenThereIsNone) {
    SETUPFOLDER folder;
    folder.Write("victim.txt", "x");
    folder.Write("bystander.txt", "y");

    const RUN deleted = RunSetup(folder, "-DELETEFILE \"" + folder.File("victim.txt") + "\"");
    EXPECT_EQ(deleted.ExitCode, 1u);
    EXPECT_TRUE(ShowedNothing(deleted));
    EXPECT_FALSE(std::filesystem::exists(folder.Path / "victim.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder.Path / "bystander.txt"));

    const RUN again = RunSetup(folder, "-DELETEFILE \"" + folder.File("victim.txt") + "\"");
    EXPECT_EQ(again.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(again));
}
