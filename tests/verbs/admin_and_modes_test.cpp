// ADMIN with and without a hook library, the hook library's loading and release, the run modes ORDER and
// REMOVE beside the verbs, and AUTODIR.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/verbs/verbs_harness.h"

using namespace verbs;

namespace {
constexpr int kPrinterAdded = 3300;
constexpr int kPrinterRemoved = 3301;
constexpr int kConfigMissing = 2985;

using Lines = std::vector<std::string>;
} // namespace

TEST(Admin, AddPrinterWithoutHookLibraryConfirmsAlthoughNothingWasDone) {
    SETUPFOLDER folder;
    const RUN run = RunSetup(folder, "/ADMIN:ADDPRINTER");

    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(ShowedOnly(run, folder, kPrinterAdded));
}

TEST(Admin, HookIsAskedWithCode256AndItsAnswerDecidesTheConfirmation) {
    SETUPFOLDER folder;
    AddHookLibrary(folder, kCompleteHook);

    const RUN removed = RunSetup(folder, "-ADMIN removeprinter");
    EXPECT_EQ(removed.ExitCode, 0u);
    EXPECT_TRUE(ShowedOnly(removed, folder, kPrinterRemoved)) << "the value's letter case does not matter";

    const RUN other = RunSetup(folder, "/ADMIN:RESETPROFILE");
    EXPECT_EQ(other.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(other));

    // Each run loads the library, makes exactly the one call, and releases the library before the end.
    EXPECT_EQ(HookRecord(folder), (Lines{"attach", "SetupHook 256 removeprinter", "detach FreeLibrary",
                                         "attach", "SetupHook 256 RESETPROFILE", "detach FreeLibrary"}));
}

TEST(Admin, HookThatFailsLeavesTheUserWithoutMessage) {
    SETUPFOLDER folder;
    AddHookLibrary(folder, kCompleteHook, 0);
    const RUN run = RunSetup(folder, "/ADMIN:ADDPRINTER");

    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(run));
    EXPECT_EQ(HookRecord(folder), (Lines{"attach", "SetupHook 256 ADDPRINTER", "detach FreeLibrary"}));
}

TEST(HookLibrary, WithoutNewSetupHookTheAdminCallStillReachesIt) {
    SETUPFOLDER folder;
    AddHookLibrary(folder, kHookWithoutNewSetupHook);
    const RUN run = RunSetup(folder, "/ADMIN:ADDPRINTER");

    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(ShowedOnly(run, folder, kPrinterAdded));
    EXPECT_EQ(HookRecord(folder), (Lines{"attach", "SetupHook 256 ADDPRINTER", "detach FreeLibrary"}));
    EXPECT_TRUE(Logged(run, "NewSetupHook missing"));
}

TEST(HookLibrary, WithoutSetupHookTheAssertionIsShownAndAdminDoesNothing) {
    SETUPFOLDER folder;
    AddHookLibrary(folder, kHookWithoutSetupHook);
    uirobot::RobotProcess process = uirobot::RobotProcess::start(
        folder.Program(), "/LOGIT:" + folder.File("setup-run.log") + " /ADMIN:ADDPRINTER",
        folder.Path.string());

    const uirobot::Window window = uirobot::WindowFinder(process).waitFor(
        uirobot::WindowQuery::titleContaining("Setup (1.00)"), kRunTimeout);
    const uirobot::MessageBoxWindow assertion(window);
    EXPECT_NE(assertion.message().find("fpSetupHook"), std::string::npos) << assertion.message();
    assertion.answer("Yes"); // go on, as the user may

    EXPECT_EQ(process.waitForExit(kRunTimeout), 0u) << "no confirmation may follow: nothing was done";
    EXPECT_NE(folder.Read("assert.log").find("fpSetupHook"), std::string::npos);
    EXPECT_EQ(HookRecord(folder), (Lines{"attach", "detach FreeLibrary"}));
}

TEST(RunModes, NoArgumentsRunsTheInstallDriver) {
    SETUPFOLDER folder;
    const RUN run = RunSetup(folder, "");

    EXPECT_EQ(run.ExitCode, 1u) << "could not start";
    EXPECT_TRUE(Logged(run, "SETUP::RunInstall"));
    // The package lacks its configuration: the driver says so, and the exit code says it could not start.
    EXPECT_TRUE(ShowedOnly(run, folder, kConfigMissing));
    EXPECT_TRUE(NotLogged(run, "SETUP::RunCommandVerb"));
}

TEST(RunModes, QuestionMarkListsTheSwitchesAndTheExitCodesAndRunsNothing) {
    SETUPFOLDER folder;
    const RUN run = RunSetup(folder, "/?");

    EXPECT_EQ(run.ExitCode, 0u);
    ASSERT_EQ(run.Boxes.size(), 1u);
    for (const char* expected :
         {"/DIR:", "/LANG:", "/LOGIT:", "-remove", "/SILENT", "/VERYSILENT", "/SUPPRESSMSGBOXES",
          "/REMOVEALL", "/SHORTCUTS:USER, ALL or NONE", "/NODESKTOPICON", "8 removal incomplete", "/DIR=",
          "/LOG=", "/NORESTART", "/SP-", "/NOCANCEL", "9 another setup or uninstall", "12 the destination"})
        EXPECT_NE(run.Boxes[0].Message.find(expected), std::string::npos) << expected;
    EXPECT_TRUE(NotLogged(run, "SETUP::RunInstall"));
}

TEST(RunModes, OrderRunsNothingEvenWithRemove) {
    SETUPFOLDER folder;
    const std::string hook = AddHookLibrary(folder, kCompleteHook);
    const RUN run = RunSetup(folder, "-REMOVE ProductKey /ORDER:1");

    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(ShowedNothing(run));
    EXPECT_TRUE(Logged(run, "SETUP::SetupMain ORDER: nothing to do"));
    EXPECT_TRUE(NotLogged(run, "REMOVE:"));
    EXPECT_TRUE(NotLogged(run, "SETUP::RunInstall"));
    EXPECT_TRUE(hookcalls::HookCalls(hook).empty());
}

TEST(RunModes, RemoveOfAProductWithoutUninstallEntrySaysSoAndRemovesNothing) {
    SETUPFOLDER folder;
    folder.Write("keep.txt", "x");
    const RUN run = RunSetup(folder, "/REMOVE:NoSuchProduct_" + std::to_string(GetCurrentProcessId()));

    EXPECT_EQ(run.ExitCode, 6u) << "nothing to uninstall";
    ASSERT_EQ(run.Boxes.size(), 1u);
    EXPECT_EQ(run.Boxes[0].Title, "Orvik Uninstall");
    EXPECT_EQ(run.Boxes[0].Message, "Files missing or this software has already been uninstalled!");
    EXPECT_TRUE(Logged(run, "SETUP::RunUninstall("));
    EXPECT_TRUE(NotLogged(run, "SETUP::RunInstall"));
    EXPECT_EQ(folder.Read("keep.txt"), "x");
}

TEST(RunModes, VerbWithRemoveRunsOnlyTheVerb) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    const RUN run = RunSetup(folder, "-REMOVE ProductKey /WRITEHEXREG:" + key.Subkey + "|Flag|01|1");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(ShowedNothing(run));
    const auto value = key.Read("Flag");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Bytes, Bytes({0x01}));
    EXPECT_TRUE(NotLogged(run, "uninstaller"));
}

TEST(RunModes, OnlyTheFirstVerbInItsOrderRuns) {
    SETUPFOLDER folder;
    ORVIKKEY key;
    folder.Write("keep.txt", "x");
    // DELETEFILE is written first, but WRITEHEXREG comes first in setup's order.
    const RUN run = RunSetup(folder, "/DELETEFILE:keep.txt /WRITEHEXREG:" + key.Subkey + "|Flag|02|1");

    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(key.Read("Flag"));
    EXPECT_TRUE(std::filesystem::exists(folder.Path / "keep.txt"));
}

TEST(RunModes, VerbNameWithoutValueFormIsNoVerb) {
    SETUPFOLDER folder;
    folder.Write("keep.txt", "x");
    // "/DELETEFILE" without ":" is a plain switch, not the verb: the install driver runs instead.
    const RUN run = RunSetup(folder, "/DELETEFILE keep.txt");

    EXPECT_EQ(run.ExitCode, 1u) << "the install driver found no setup.cfg";
    EXPECT_TRUE(std::filesystem::exists(folder.Path / "keep.txt"));
    EXPECT_TRUE(Logged(run, "SETUP::RunInstall"));
}

// A program in a build output folder ("...\Release" beside main.cpp) works in the folder above it; AUTODIR
// takes it back to its own folder, so relative names of the verbs mean the files beside the program.
TEST(AutoDir, RelativeNamesMeanFilesBesideTheProgram) {
    SETUPFOLDER folder;
    folder.Write("main.cpp", "");
    const std::filesystem::path release = folder.Path / "Release";
    std::filesystem::create_directories(release);
    std::filesystem::copy_file(folder.Program(), release / "setup.exe");
    const std::string program = (release / "setup.exe").string();
    folder.Write("Release\\source.txt", "beside the program");
    folder.Write("source.txt", "in the folder above");

    const RUN without = RunSetup(folder, "\"/COPYFILE:source.txt|copy.txt\"", program, release.string());
    EXPECT_EQ(without.ExitCode, 1u);
    EXPECT_EQ(folder.Read("copy.txt"), "in the folder above");
    EXPECT_FALSE(std::filesystem::exists(release / "copy.txt"));

    const RUN with =
        RunSetup(folder, "/AUTODIR \"/COPYFILE:source.txt|copy.txt\"", program, release.string());
    EXPECT_EQ(with.ExitCode, 1u);
    EXPECT_EQ(folder.Read("Release\\copy.txt"), "beside the program");
}

namespace {

// setup.exe with a package configuration, left running in its wizard once the driver has announced the
// destination, which it does after its first hook calls; killed at the end of the test.
struct INSTALLRUN {
    explicit INSTALLRUN(const SETUPFOLDER& folder)
        : Process(uirobot::RobotProcess::start(folder.Program(), "/LOGIT:" + folder.File("setup-run.log"),
                                               folder.Path.string())) {
        Ready = uirobot::waitUntil(
            [&] {
                return folder.Read("setup-run.log").find("SETUP::RunInstall Hooktest 1.0 into") !=
                       std::string::npos;
            },
            kRunTimeout);
        Log = folder.Read("setup-run.log");
    }
    uirobot::RobotProcess Process;
    bool Ready = false;
    std::string Log;
};

void WriteConfiguration(const SETUPFOLDER& folder) {
    folder.Write("setup.cfg", "AppName=Hooktest\r\nAppVersion=1.0\r\n");
}

} // namespace

TEST(HookLibrary, InstallDriverReportsToTheLibraryInsteadOfTheDummy) {
    SETUPFOLDER folder;
    WriteConfiguration(folder);
    AddHookLibrary(folder, kCompleteHook);
    const INSTALLRUN run(folder);
    ASSERT_TRUE(run.Ready) << run.Log;

    const std::vector<hookcalls::CALL> calls = hookcalls::HookCalls(folder.File("SETUPHOOK.dll"));
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].Entry, "SetupHook");
    EXPECT_EQ(calls[0].Fields, (Lines{"1", "<null>"}));
    const std::string none = "0x0000000000000000";
    // Code 0 with the step table, code 1 with the language (English, 9) and the configuration table.
    EXPECT_EQ(calls[1].Entry, "NewSetupHook");
    ASSERT_EQ(calls[1].Fields.size(), 6u);
    EXPECT_EQ(Lines(calls[1].Fields.begin(), calls[1].Fields.begin() + 5),
              (Lines{"0", "0", none, none, none}));
    EXPECT_NE(calls[1].Fields[5], none);
    EXPECT_EQ(calls[2].Entry, "NewSetupHook");
    ASSERT_EQ(calls[2].Fields.size(), 6u);
    EXPECT_EQ(Lines(calls[2].Fields.begin(), calls[2].Fields.begin() + 5),
              (Lines{"1", "9", none, none, none}));
    EXPECT_NE(calls[2].Fields[5], none);
    EXPECT_EQ(run.Log.find("SETUP::NewSetupHookDummy"), std::string::npos);
}

TEST(HookLibrary, WithoutNewSetupHookNoStepIsReportedNotEvenToTheDummy) {
    SETUPFOLDER folder;
    WriteConfiguration(folder);
    AddHookLibrary(folder, kHookWithoutNewSetupHook);
    const INSTALLRUN run(folder);
    ASSERT_TRUE(run.Ready) << run.Log;

    EXPECT_EQ(HookRecord(folder), (Lines{"attach", "SetupHook 1 <null>"}));
    EXPECT_EQ(run.Log.find("SETUP::NewSetupHookDummy"), std::string::npos);
}

TEST(HookLibrary, WithoutLibraryTheDummyIsCalled) {
    SETUPFOLDER folder;
    WriteConfiguration(folder);
    const INSTALLRUN run(folder);
    ASSERT_TRUE(run.Ready) << run.Log;

    EXPECT_NE(run.Log.find("SETUP::NewSetupHookDummy 0 0 "), std::string::npos) << run.Log;
    EXPECT_NE(run.Log.find("SETUP::NewSetupHookDummy 1 9 "), std::string::npos) << run.Log;
}
