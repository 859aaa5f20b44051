// WRITEREG, WRITEHEXREG and DELETEREG as a script uses them: the value under HKLM "Software\Orvik\", the
// confirmation or error the user sees, and the exit code.
#include <gtest/gtest.h>

#include <string>

#include "tests/verbs/verbs_harness.h"

using namespace verbs;

namespace {
constexpr int kRegWriteFailed = 3302;
constexpr int kRegWriteDone = 3303;
// Longer than a registry key name may be: the key cannot be created.
const std::string kImpossibleSubkey(300, 'k');
} // namespace

TEST(WriteReg, EmptyTextWritesOneZeroByteAndConfirms) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    const RUN run = RunSetup(folder, "\"/WRITEREG:" + key.Subkey + "|Empty|\"");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(ShowedOnly(run, folder, kRegWriteDone));
    const auto value = key.Read("Empty");
    ASSERT_TRUE(value) << "no value under HKLM\\" << key.Path();
    EXPECT_EQ(value->Type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value->Bytes, Bytes({0}));
}

TEST(WriteReg, TextIsWrittenWithItsTerminatorInTheDashForm) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    key.WriteText("Server", "old text that is longer");
    const RUN run = RunSetup(folder, "-WRITEREG \"" + key.Subkey + "|Server|mail.example;25\"");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(ShowedOnly(run, folder, kRegWriteDone));
    const auto value = key.Read("Server");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Type, static_cast<DWORD>(REG_BINARY));
    const std::string expected("mail.example;25", 16); // with the zero byte
    EXPECT_EQ(std::string(value->Bytes.begin(), value->Bytes.end()), expected);
}

TEST(WriteReg, KeyThatCannotBeCreatedShowsTheErrorAndEndsWithZero) {
    SETUPFOLDER folder;
    const RUN run = RunSetup(folder, "\"/WRITEREG:" + kImpossibleSubkey + "|Name|text\"");

    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(ShowedOnly(run, folder, kRegWriteFailed));
}

TEST(WriteHexReg, QuietWriteOfTwoBytesShowsNothing) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    const RUN run = RunSetup(folder, "/WRITEHEXREG:" + key.Subkey + "|Pair|0A0B|1");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(ShowedNothing(run));
    const auto value = key.Read("Pair");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value->Bytes, Bytes({0x0A, 0x0B}));
}

TEST(WriteHexReg, WithoutQuietFlagConfirmsAndReadsEitherLetterCase) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    const RUN run = RunSetup(folder, "/WRITEHEXREG:" + key.Subkey + "|Mixed|ff00aB");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(ShowedOnly(run, folder, kRegWriteDone));
    const auto value = key.Read("Mixed");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Bytes, Bytes({0xFF, 0x00, 0xAB}));
}

TEST(WriteHexReg, EmptyDataWritesAnEmptyValue) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    const RUN run = RunSetup(folder, "/WRITEHEXREG:" + key.Subkey + "|Nothing||1");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(ShowedNothing(run));
    const auto value = key.Read("Nothing");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Type, static_cast<DWORD>(REG_BINARY));
    EXPECT_TRUE(value->Bytes.empty());
}

TEST(WriteHexReg, FailureIsReportedUnlessQuiet) {
    SETUPFOLDER folder;
    const RUN shown = RunSetup(folder, "\"/WRITEHEXREG:" + kImpossibleSubkey + "|Name|01|0\"");
    EXPECT_EQ(shown.ExitCode, 0u);
    EXPECT_TRUE(ShowedOnly(shown, folder, kRegWriteFailed));

    const RUN quiet = RunSetup(folder, "\"/WRITEHEXREG:" + kImpossibleSubkey + "|Name|01|1\"");
    EXPECT_EQ(quiet.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(quiet));
}

TEST(DeleteReg, DeletesOnlyTheNamedValueSilently) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    key.WriteText("Gone", "x");
    key.WriteText("Kept", "y");
    const RUN run = RunSetup(folder, "/DELETEREG:" + key.Subkey + "|Gone");

    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(run));
    EXPECT_FALSE(key.Read("Gone"));
    EXPECT_TRUE(key.Read("Kept"));
}

TEST(DeleteReg, MissingValueOrKeyIsNoError) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    const RUN missing = RunSetup(folder, "/DELETEREG:" + key.Subkey + "|Never");
    EXPECT_EQ(missing.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(missing));

    const RUN impossible = RunSetup(folder, "\"/DELETEREG:" + kImpossibleSubkey + "|Never\"");
    EXPECT_EQ(impossible.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(impossible));
}
