// setup.exe started as a user or a script starts it: its log, its exit code, its language and the message
// it shows when no language library is there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

namespace {

using uirobot::Milliseconds;

constexpr Milliseconds kRunTimeout{30000};

// Runs setup.exe from its folder with arguments and returns the exit code. The tests here are about start-up
// and exit, so they pass ORDER, which makes setup main do nothing after the start.
DWORD RunSetup(const SETUPFOLDER& folder, const std::string& arguments) {
    uirobot::RobotProcess process = uirobot::RobotProcess::start(folder.Program(), arguments, folder.Path.string());
    return process.exitCode(kRunTimeout);
}

// Fails unless every line occurs in text, in this order.
::testing::AssertionResult InOrder(const std::string& text, const std::vector<std::string>& lines) {
    size_t from = 0;
    for (const std::string& line : lines) {
        const size_t at = text.find(line, from);
        if (at == std::string::npos)
            return ::testing::AssertionFailure() << "missing (in this order): \"" << line << "\"\nlog:\n" << text;
        from = at + line.size();
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(SetupExe, LogsStartArgumentsAndExitLines) {
    SETUPFOLDER folder;
    const std::string log = folder.File("run.log");
    ASSERT_EQ(RunSetup(folder, "/LOGIT:" + log + " \"with blank\" -LANG ENGL /ORDER:1"), 0u);

    const std::string text = folder.Read("run.log");
    EXPECT_TRUE(InOrder(text, {
                                  "ORVIKAPP arguments acquired\r\n",
                                  "ORVIKAPP program argument 0= '" + folder.Program() + "'\r\n",
                                  "ORVIKAPP program argument 1= '/LOGIT:" + log + "'\r\n",
                                  "ORVIKAPP program argument 2= 'with blank'\r\n",
                                  "ORVIKAPP program argument 3= '-LANG'\r\n",
                                  "ORVIKAPP program argument 4= 'ENGL'\r\n",
                                  "ORVIKAPP gLocale= 9\r\n",
                                  "setupenglish.dll loaded",
                                  "SETUP::SetupMain Setup 1.00 runs, gLocale= 9, language suffix '" +
                                      LibraryString(folder.File("setupenglish.dll"), 2980) + "'",
                                  "SETUP::SetupMain ORDER: nothing to do",
                                  "Welcome back Setup, you have safely returned to ORVIKAPP with exit code 0\r\n",
                                  "Taxi to your hangar and have a pleasant stay.\r\n",
                                  "Over and out.\r\n",
                              }));
}

TEST(SetupExe, ArgumentFileBesideTheProgramSwitchesTheLogOn) {
    SETUPFOLDER folder;
    const std::string log = folder.File("from-file.log");
    folder.Write("setup_commandline.ini", "  /LOGIT:" + log + "  \r\n\r\n/LANG:GER\r\n");
    ASSERT_EQ(RunSetup(folder, "/FROMCOMMANDLINE /ORDER:1"), 0u);

    EXPECT_TRUE(InOrder(folder.Read("from-file.log"), {
                                                          "ORVIKAPP processing of ",
                                                          "setup_commandline.ini done\r\n",
                                                          "ORVIKAPP program argument 1= '/FROMCOMMANDLINE'\r\n",
                                                          "ORVIKAPP program argument 2= '/ORDER:1'\r\n",
                                                          "ORVIKAPP program argument 3= '/LOGIT:" + log + "'\r\n",
                                                          "ORVIKAPP program argument 4= '/LANG:GER'\r\n",
                                                          "ORVIKAPP gLocale= 7\r\n",
                                                      }));
}

TEST(SetupExe, LangGerLoadsTheGermanLibrary) {
    SETUPFOLDER folder;
    const std::string german = LibraryString(folder.File("setupgerman.dll"), 2980);
    ASSERT_NE(german, LibraryString(folder.File("setupenglish.dll"), 2980)) << "the libraries must differ";
    ASSERT_EQ(RunSetup(folder, "/LOGIT:" + folder.File("run.log") + " /LANG:GER /ORDER:1"), 0u);

    EXPECT_TRUE(InOrder(folder.Read("run.log"), {
                                                    "ORVIKAPP gLocale= 7\r\n",
                                                    "setupgerman.dll loaded",
                                                    "gLocale= 7, language suffix '" + german + "'",
                                                }));
}

TEST(SetupExe, EnglishWhenTheGermanLibraryIsMissing) {
    SETUPFOLDER folder({"setupenglish.dll"});
    ASSERT_EQ(RunSetup(folder, "/LOGIT:" + folder.File("run.log") + " /LANG:GER /ORDER:1"), 0u);

    EXPECT_TRUE(InOrder(folder.Read("run.log"),
                        {
                            "ORVIKAPP gLocale= 7\r\n",
                            "cannot load language library " + folder.File("setupgerman.dll"),
                            "setupenglish.dll loaded",
                            "SETUP::SetupMain Setup 1.00 runs, gLocale= 9, language suffix '" +
                                LibraryString(folder.File("setupenglish.dll"), 2980) + "'",
                            "with exit code 0\r\n",
                        }));
}

// The manifest makes UTF-8 the code page of every 8-bit call: an argument outside any one 8-bit code page
// reaches the program whole and is logged in UTF-8.
TEST(SetupExe, RunsWithUtf8AsItsActiveCodePage) {
    SETUPFOLDER folder;
    const std::string log = folder.File("run.log");
    const std::string name = "Q:\\Programme\\Ärger & Δ 山田";
    ASSERT_EQ(RunSetup(folder, "/LOGIT:" + log + " \"" + name + "\" /ORDER:1"), 0u);

    EXPECT_TRUE(InOrder(folder.Read("run.log"), {
                                                    "ORVIKAPP arguments acquired\r\n",
                                                    "ORVIKAPP active code page 65001\r\n",
                                                    "ORVIKAPP program argument 2= '" + name + "'\r\n",
                                                }));
}

TEST(SetupExe, WithoutAnyLanguageLibraryTellsTheUserAndEndsWith99) {
    SETUPFOLDER folder({});
    uirobot::RobotProcess process =
        uirobot::RobotProcess::start(folder.Program(), "/LANG:GER", folder.Path.string());

    const uirobot::MessageBoxWindow box =
        uirobot::MessageBoxWindow::waitFor(uirobot::WindowFinder(process), "Orvik Application");
    EXPECT_EQ(box.message(), "DLL not found:\r" + folder.File("setupenglish.dll"));
    EXPECT_EQ(box.buttons(), std::vector<std::string>{"OK"});
    box.answer("OK");

    EXPECT_EQ(process.exitCode(kRunTimeout), 99u);
}
