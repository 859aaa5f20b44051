// How much a run shows, read from its switches, and what a run without a person answers and logs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/approot.h"
#include "lib/orvik.h"
#include "setup/interaction.h"
#include "setup/runmode.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/test_support.h"

namespace {

class RunModeSwitches : public ::testing::Test {
protected:
    void TearDown() override { SetArgs(0, nullptr); }
    static RUNMODE Read(std::vector<const char*> arguments) {
        SetArgs(static_cast<int>(arguments.size()), arguments.data());
        return ReadRunMode();
    }
};

TEST_F(RunModeSwitches, EachSwitchChoosesWhatTheRunShowsAndWhoAnswers) {
    const struct {
        std::vector<const char*> Arguments;
        UIMODE Ui;
        bool Unattended;
        bool AnswersByDefault;
    } cases[] = {
        {{"setup.exe"}, UIMODE::Wizard, false, false},
        {{"setup.exe", "/SILENT"}, UIMODE::Silent, true, false},
        {{"setup.exe", "-verysilent"}, UIMODE::VerySilent, true, true},
        // "/VERYSILENT" wins over "/SILENT", whichever comes first.
        {{"setup.exe", "/VERYSILENT", "/SILENT"}, UIMODE::VerySilent, true, true},
        {{"setup.exe", "/SILENT", "/VERYSILENT"}, UIMODE::VerySilent, true, true},
        // The wizard with every question answered by its default.
        {{"setup.exe", "/SUPPRESSMSGBOXES"}, UIMODE::Wizard, false, true},
        {{"setup.exe", "/SILENT", "/SUPPRESSMSGBOXES"}, UIMODE::Silent, true, true},
        // A switch is its whole name: neither a prefix nor a value makes one.
        {{"setup.exe", "/SILENTLY", "/VERYSILENT:1"}, UIMODE::Wizard, false, false},
    };
    for (const auto& c : cases) {
        const RUNMODE mode = Read(c.Arguments);
        const std::string given = c.Arguments.back();
        EXPECT_EQ(mode.Ui, c.Ui) << given;
        EXPECT_EQ(mode.Unattended(), c.Unattended) << given;
        EXPECT_EQ(mode.AnswersByDefault(), c.AnswersByDefault) << given;
    }
}

TEST(QuietInteraction, QuestionsTakeTheirDefaultAndEverythingGoesToTheLog) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("quiet.log"));
    QUIETINTERACTION quiet;
    EXPECT_TRUE(quiet.AskYesNo("Setup", "Replace the file?", true));
    EXPECT_FALSE(quiet.AskYesNo("Setup", "Try again?", false));
    EXPECT_FALSE(quiet.AskYesNo(nullptr, nullptr, false));
    quiet.ReportError("Setup", "The disk is full.");
    quiet.SetStatus(nullptr);
    EXPECT_EQ(quiet.ProgressWindow(), nullptr);
    EXPECT_FALSE(quiet.StopRequested());

    const std::string text = log.Finish();
    EXPECT_NE(text.find("SETUP::Quiet question 'Setup': Replace the file? -> yes (default)"), std::string::npos);
    EXPECT_NE(text.find("SETUP::Quiet question 'Setup': Try again? -> no (default)"), std::string::npos);
    EXPECT_NE(text.find("SETUP::Quiet question '':  -> no (default)"), std::string::npos);
    EXPECT_NE(text.find("SETUP::Quiet error 'Setup': The disk is full."), std::string::npos);
    EXPECT_NE(text.find("SETUP::Quiet status: \r\n"), std::string::npos);
}

TEST(QuietInteraction, ProgressIsLoggedOncePerTenthOfTheWay) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("progress.log"));
    QUIETINTERACTION quiet;
    for (int percent : {0, 3, 9, 10, 10, 19, 20, 57, 99, 100})
        quiet.SetProgress(percent);

    const std::string text = log.Finish();
    EXPECT_EQ(CountOccurrences(text, "SETUP::Quiet progress"), 6);
    for (const char* logged : {"progress 0%", "progress 10%", "progress 20%", "progress 57%", "progress 99%",
                               "progress 100%"})
        EXPECT_NE(text.find(logged), std::string::npos) << logged;
    for (const char* skipped : {"progress 3%", "progress 9%", "progress 19%"})
        EXPECT_EQ(text.find(skipped), std::string::npos) << skipped;
}

} // namespace
