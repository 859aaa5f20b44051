// Other installers' spellings of the switches, read as this program's own; a relative destination taken from
// the start folder; and the exit codes a deployment tool tells apart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/approot.h"
#include "setup/exitcodes.h"
#include "setup/switchaliases.h"

namespace {

using ARGS = std::vector<std::string>;

TEST(SwitchAliases, AreReadAsTheSwitchesTheyStandFor) {
    const struct {
        ARGS Given;
        ARGS Read;
    } cases[] = {
        {{"setup.exe", "/DIR=C:\\Apps\\Demo"}, {"setup.exe", "/DIR:C:\\Apps\\Demo"}},
        {{"setup.exe", "/dir=\"C:\\Apps\\Demo\""}, {"setup.exe", "/DIR:C:\\Apps\\Demo"}},
        // The command line split a quoted value at its blanks: joined again, up to the closing quote.
        {{"setup.exe", "/DIR=\"C:\\Program", "Files\\My", "App\"", "/SILENT"},
         {"setup.exe", "/DIR:C:\\Program Files\\My App", "/SILENT"}},
        {{"/LOG=\"C:\\Temp\\setup.log\""}, {"/LOGIT:C:\\Temp\\setup.log"}},
        {{"/LOG"}, {"/LOGIT"}},
        {{"/LANG=german"}, {"/LANG:GER"}},
        {{"/LANG=en"}, {"/LANG:ENGL"}},
        {{"/LANG=GER"}, {"/LANG:GER"}},
        // This program's own forms and everything else stay as they are.
        {{"/DIR:C:\\x", "-DIR", "C:\\y z", "/LOGIT:f", "/NORESTART", "/SP-", "/DIRECTORY=x"},
         {"/DIR:C:\\x", "-DIR", "C:\\y z", "/LOGIT:f", "/NORESTART", "/SP-", "/DIRECTORY=x"}},
        // An opening quote never closed takes the rest of the line.
        {{"/DIR=\"C:\\a", "b"}, {"/DIR:C:\\a b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithSwitchAliases(c.Given), c.Read) << c.Given.back();
}

TEST(SwitchAliases, ActLikeTheOriginalsThroughTheArgumentQueries) {
    const char* arguments[] = {"setup.exe",       "/VERYSILENT", "/NOCANCEL",
                               "/DIR=\"D:\\Demo", "Pad\"",       "/LANG=de"};
    SetArgs(6, arguments);
    EXPECT_TRUE(ApplySwitchAliases());
    EXPECT_EQ(std::string(GetArgValue("DIR", 0).Text()), "D:\\Demo Pad");
    EXPECT_TRUE(TestArgValue("DIR", 0));
    EXPECT_EQ(std::string(GetArgValue("LANG", 0).Text()), "GER");
    EXPECT_TRUE(TestArg("VERYSILENT"));
    EXPECT_EQ(GetArgCount(), 5);

    const char* foreign[] = {"setup.exe", "/SP-", "/NORESTART"};
    SetArgs(3, foreign);
    EXPECT_TRUE(ApplySwitchAliases()) << "accepted, though they change nothing";
    EXPECT_EQ(GetArgCount(), 3);
    EXPECT_TRUE(IsAcceptedForeignSwitch("-nocancel"));
    EXPECT_FALSE(IsAcceptedForeignSwitch("/NOCANCELX"));

    const char* own[] = {"setup.exe", "/DIR:C:\\x"};
    SetArgs(2, own);
    EXPECT_FALSE(ApplySwitchAliases());
    SetArgs(0, nullptr);
}

TEST(SwitchAliases, ARelativeDestinationIsTakenFromTheStartFolder) {
    const struct {
        const char* Folder;
        const char* Start;
        const char* Result;
    } cases[] = {
        {"Tools\\Demo", "C:\\Users\\a\\Downloads", "C:\\Users\\a\\Downloads\\Tools\\Demo"},
        {"..\\Demo", "D:\\x\\", "D:\\x\\..\\Demo"},
        {"D:\\Demo", "C:\\start", "D:\\Demo"},
        {"D:Demo", "C:\\start", "D:Demo"},
        {"\\\\server\\share\\Demo", "C:\\start", "\\\\server\\share\\Demo"},
        {"\\Demo", "C:\\start", "\\Demo"},
        {"", "C:\\start", ""},
        {"Demo", "", "Demo"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AbsoluteFromStartDir(c.Folder, c.Start), c.Result) << c.Folder;
}

TEST(ExitCodes, AGivenUpCopySaysWhetherTheDiskWasFullOrAFileInUse) {
    const struct {
        int SystemError;
        SETUPEXITCODE Code;
    } cases[] = {{112, SETUP_EXIT_DISK_FULL},  {39, SETUP_EXIT_DISK_FULL},     {32, SETUP_EXIT_FILE_IN_USE},
                 {33, SETUP_EXIT_FILE_IN_USE}, {1224, SETUP_EXIT_FILE_IN_USE}, {5, SETUP_EXIT_COPY_ABORTED},
                 {0, SETUP_EXIT_COPY_ABORTED}};
    for (const auto& c : cases) {
        EXPECT_EQ(AbortedCopyExitCode(c.SystemError), c.Code) << c.SystemError;
        EXPECT_EQ(InstallExitCode(0, COPYOUTCOME::Aborted, c.SystemError), c.Code) << c.SystemError;
    }
    // Only a given-up copy has a write to blame; the codes 0 to 8 keep their meaning.
    EXPECT_EQ(InstallExitCode(1, COPYOUTCOME::Aborted, 112), SETUP_EXIT_SUCCESS);
    EXPECT_EQ(InstallExitCode(0, COPYOUTCOME::Failed, 112), SETUP_EXIT_COPY_FAILED);
    EXPECT_EQ(InstallExitCode(0, COPYOUTCOME::Finished, 32), SETUP_EXIT_COPY_ABORTED);
    EXPECT_EQ(InstallExitCode(0, COPYOUTCOME::NotStarted, 0), SETUP_EXIT_CANCELLED);
}

} // namespace
