// The Windows entry chain of the application root: what the main function receives and what is logged and
// released around it.
#include "lib/approot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "tests/common/test_support.h"

namespace {

// What the main function saw; the main function must be a plain function, so it reports through this.
struct MAINCALL {
    int Calls = 0;
    int Argc = 0;
    std::vector<std::string> Argv;
    bool VectorEndsWithNull = false;
    bool EnvironmentHasPath = false;
    std::string FirstArgument; // through the argument queries
    uint32_t ThreadId = 0;
    int Locale = 0;
    std::string WorkingDir;
};
MAINCALL gCall;

int RecordingMain(int argc, char** argv, char** envp) {
    ++gCall.Calls;
    gCall.Argc = argc;
    for (int i = 0; i < argc; ++i)
        gCall.Argv.emplace_back(argv[i]);
    gCall.VectorEndsWithNull = argv[argc] == nullptr;
    for (char** e = envp; e && *e; ++e)
        gCall.EnvironmentHasPath |= _strnicmp(*e, "PATH=", 5) == 0;
    gCall.FirstArgument = GetArg(1).Text();
    gCall.ThreadId = gMainThreadId;
    gCall.Locale = gLocale;
    gCall.WorkingDir = std::filesystem::current_path().string();
    return 17;
}

// AppEntry makes the program's folder the working folder; the tests get theirs back.
class AppEntryChain : public ::testing::Test {
protected:
    void SetUp() override {
        gCall = MAINCALL();
        Previous = std::filesystem::current_path();
    }
    void TearDown() override {
        std::filesystem::current_path(Previous);
        SetArgs(0, nullptr);
        gLocale = LANG_ID_ENGLISH;
    }
    std::filesystem::path Previous;
};

} // namespace

TEST_F(AppEntryChain, MainGetsTheArgumentsAndItsResultIsLoggedAsExitCode) {
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    const std::string log = scratch.File("entry.log");
    std::string program = OSYS::GetModulePath().Text();
    std::string logswitch = "/LOGIT:" + log;
    std::vector<char*> argv = {&program[0], const_cast<char*>("/MARK"), &logswitch[0],
                               const_cast<char*>("/LANG:GER"), nullptr};

    EXPECT_EQ(AppEntry(4, argv.data(), RecordingMain), 17);

    ASSERT_EQ(gCall.Calls, 1);
    EXPECT_EQ(gCall.Argc, 4);
    EXPECT_EQ(gCall.Argv, (std::vector<std::string>{program, "/MARK", logswitch, "/LANG:GER"}));
    EXPECT_TRUE(gCall.VectorEndsWithNull);
    EXPECT_TRUE(gCall.EnvironmentHasPath);
    EXPECT_EQ(gCall.FirstArgument, "/MARK") << "the argument queries work inside the main function";
    EXPECT_EQ(gCall.ThreadId, GetCurrentThreadId());
    EXPECT_EQ(gCall.Locale, LANG_ID_GERMAN);
    EXPECT_EQ(std::filesystem::path(gCall.WorkingDir), std::filesystem::path(program).parent_path());

    EXPECT_FALSE(LogitActive()) << "the exit routine closes the log";
    const std::string text = ReadWholeFile(log);
    EXPECT_NE(text.find("ORVIKAPP program argument 1= '/MARK'\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ORVIKAPP gLocale= 7\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Welcome back "), std::string::npos) << text;
    EXPECT_NE(text.find("with exit code 17\r\n"), std::string::npos) << text;
}

TEST_F(AppEntryChain, MissingMainFunctionIsAnAssertion) {
    ASSERTWATCH watch;
    std::string program = OSYS::GetModulePath().Text();
    std::vector<char*> argv = {&program[0], nullptr};
    EXPECT_NE(AppEntry(1, argv.data(), nullptr), 0);
    EXPECT_EQ(watch.Failures(), 1u);
    EXPECT_EQ(watch.LastCondition(), "pfnAppMain");
}

TEST_F(AppEntryChain, ProcessEntrySplitsThisProcesssCommandLine) {
    EXPECT_EQ(AppProcessEntry(GetModuleHandleA(nullptr), RecordingMain), 17);
    ASSERT_EQ(gCall.Calls, 1);
    EXPECT_EQ(gInstance, GetModuleHandleA(nullptr));
    ASSERT_GE(gCall.Argc, 1);
    EXPECT_EQ(gCall.Argv[0], OSYS::GetModulePath().Text()) << "slot 0 is the full program path";
    // The runtime library splits the same command line; without quotes both splits agree.
    ASSERT_EQ(gCall.Argc, __argc);
    for (int i = 1; i < __argc; ++i) {
        if (!std::strchr(__argv[i], '"') && !std::strchr(__argv[i], ' ')) {
            EXPECT_EQ(gCall.Argv[static_cast<size_t>(i)], __argv[i]);
        }
    }
}
