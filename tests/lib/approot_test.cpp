// The portable application root: command-line splitting, argument files, argument queries, language choice,
// development folders, message reflow and the exit lines.
#include "lib/approot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "tests/common/test_support.h"

namespace fs = std::filesystem;

namespace {

// Splits a copy of line the way the process entry does and returns the arguments.
struct SPLIT {
    explicit SPLIT(const std::string& line, const char* programpath = nullptr, int maximum = ARGV_MAX_SLOTS)
        : Buffer(line.begin(), line.end()), Slots(static_cast<size_t>(maximum) + 1, &Sentinel) {
        Buffer.push_back('\0');
        Count = SplitCommandLine(Buffer.data(), programpath, Slots.data(), maximum);
    }
    std::string Arg(int i) const { return Slots[static_cast<size_t>(i)]; }

    std::vector<char> Buffer;
    char Sentinel = 0;
    std::vector<char*> Slots; // one slot more than allowed, to catch writes beyond the maximum
    int Count = 0;
};

void SetArguments(const std::vector<const char*>& arguments) {
    SetArgs(static_cast<int>(arguments.size()), arguments.data());
}

} // namespace

// ---- SplitCommandLine -------------------------------------------------------------------------------------

TEST(SplitCommandLine, QuotedPathWithBlankAndProgramPathInSlotZero) {
    SPLIT split("setup \"C:\\Program Files\\Demo\" /LANG:GER", "C:\\dist\\setup.exe");
    ASSERT_EQ(split.Count, 3);
    EXPECT_EQ(split.Arg(0), "C:\\dist\\setup.exe");
    EXPECT_EQ(split.Arg(1), "C:\\Program Files\\Demo");
    EXPECT_EQ(split.Arg(2), "/LANG:GER");
    EXPECT_EQ(split.Slots[3], nullptr);
}

TEST(SplitCommandLine, WithoutProgramPathKeepsTheNameAsTyped) {
    SPLIT split("setup.exe /REMOVE");
    ASSERT_EQ(split.Count, 2);
    EXPECT_EQ(split.Arg(0), "setup.exe");
    EXPECT_EQ(split.Arg(1), "/REMOVE");
}

TEST(SplitCommandLine, QuotesCountOnlyAtTheStartOfAnArgument) {
    SPLIT split("prog a\"b c\" \"d e\"f g");
    ASSERT_EQ(split.Count, 6);
    EXPECT_EQ(split.Arg(1), "a\"b");
    EXPECT_EQ(split.Arg(2), "c\"");
    EXPECT_EQ(split.Arg(3), "d e"); // the closing quote ends the argument ...
    EXPECT_EQ(split.Arg(4), "f");   // ... and the text after it starts the next one
    EXPECT_EQ(split.Arg(5), "g");
}

TEST(SplitCommandLine, BlanksSeparateButTabsDoNot) {
    SPLIT split("   prog    one\ttwo   three   ");
    ASSERT_EQ(split.Count, 3);
    EXPECT_EQ(split.Arg(0), "prog");
    EXPECT_EQ(split.Arg(1), "one\ttwo");
    EXPECT_EQ(split.Arg(2), "three");
    EXPECT_EQ(split.Slots[3], nullptr);
}

TEST(SplitCommandLine, EmptyQuotesAndUnclosedQuote) {
    SPLIT split("prog \"\" \"open end");
    ASSERT_EQ(split.Count, 3);
    EXPECT_EQ(split.Arg(1), "");
    EXPECT_EQ(split.Arg(2), "open end");
}

TEST(SplitCommandLine, EmptyCommandLine) {
    SPLIT nothing("    ");
    EXPECT_EQ(nothing.Count, 0);
    EXPECT_EQ(nothing.Slots[0], nullptr);

    SPLIT onlyprogram("", "C:\\dist\\setup.exe");
    ASSERT_EQ(onlyprogram.Count, 1);
    EXPECT_EQ(onlyprogram.Arg(0), "C:\\dist\\setup.exe");
    EXPECT_EQ(onlyprogram.Slots[1], nullptr);

    char* slot = &onlyprogram.Sentinel;
    EXPECT_EQ(SplitCommandLine(nullptr, nullptr, &slot, 1), 0);
    EXPECT_EQ(slot, nullptr);
}

TEST(SplitCommandLine, NeverMoreThan255ArgumentsAndTheRestStaysTogether) {
    std::string line = "prog";
    for (int i = 1; i < 300; ++i)
        line += " a" + std::to_string(i);
    SPLIT split(line);
    ASSERT_EQ(split.Count, ARGV_MAX_SLOTS - 1);
    EXPECT_EQ(split.Arg(253), "a253");
    EXPECT_EQ(split.Slots[ARGV_MAX_SLOTS - 1], nullptr);
    EXPECT_EQ(split.Slots[ARGV_MAX_SLOTS], &split.Sentinel) << "wrote beyond the slots";
    const std::string rest = split.Arg(254);
    EXPECT_EQ(rest.rfind("a254 a255 ", 0), 0u) << rest;
    EXPECT_EQ(rest.substr(rest.size() - 4), "a299");
}

TEST(SplitCommandLine, SmallMaximum) {
    SPLIT split("a b c d", nullptr, 3);
    ASSERT_EQ(split.Count, 2);
    EXPECT_EQ(split.Arg(0), "a");
    EXPECT_EQ(split.Arg(1), "b c d");
    EXPECT_EQ(split.Slots[2], nullptr);
    EXPECT_EQ(split.Slots[3], &split.Sentinel);
}

// ---- Argument queries -------------------------------------------------------------------------------------

class ArgumentQueries : public ::testing::Test {
protected:
    void TearDown() override { SetArgs(0, nullptr); }
};

TEST_F(ArgumentQueries, TestArgWantsTheExactNameAfterSlashOrDash) {
    SetArguments({"setup.exe", "/remove"});
    EXPECT_TRUE(TestArg("REMOVE"));
    SetArguments({"setup.exe", "-REMOVE"});
    EXPECT_TRUE(TestArg("REMOVE"));
    SetArguments({"setup.exe", "/REMOVE:1", "/REMOVEALL", "REMOVE"});
    EXPECT_FALSE(TestArg("REMOVE"));
}

TEST_F(ArgumentQueries, TestArgValueCountsDashFormAndSlashColonForm) {
    SetArguments({"setup.exe", "-NAME", "first", "/name:second", "/NAMEthird", "/NAME", "-NAMES"});
    EXPECT_TRUE(TestArgValue("NAME", 0));
    EXPECT_TRUE(TestArgValue("NAME", 1));
    EXPECT_FALSE(TestArgValue("NAME", 2)) << "slash without colon or a longer name must not count";
    EXPECT_FALSE(TestArgValue("OTHER", 0));
}

TEST_F(ArgumentQueries, GetArgValueForms) {
    SetArguments({"setup.exe", "/X:a", "/x:b", "-LANG", "FRENCH", "/KEYvalue", "/T:a:b"});
    EXPECT_EQ(GetArgValue("X", 0), "a");
    EXPECT_EQ(GetArgValue("X", 1), "b");
    EXPECT_FALSE(GetArgValue("X", 2).NotNull());
    EXPECT_EQ(GetArgValue("lang", 0), "FRENCH");
    EXPECT_EQ(GetArgValue("KEY", 0), "value");
    EXPECT_EQ(GetArgValue("T", 0), "a:b") << "only one colon is skipped";
    EXPECT_FALSE(GetArgValue("MISSING", 0).NotNull());
}

TEST_F(ArgumentQueries, DashFormAsLastArgumentHasNoValue) {
    SetArguments({"setup.exe", "-NAME"});
    EXPECT_TRUE(TestArgValue("NAME", 0));
    EXPECT_FALSE(GetArgValue("NAME", 0).NotNull());
}

TEST_F(ArgumentQueries, ArgumentAccess) {
    SetArguments({"setup.exe", "/A"});
    EXPECT_EQ(GetArgCount(), 2);
    EXPECT_EQ(GetArg(1), "/A");
    EXPECT_FALSE(GetArg(2).NotNull());
    EXPECT_FALSE(GetArg(-1).NotNull());
}

TEST(Language, NamesAndLibraries) {
    EXPECT_EQ(LanguageFromName("GER", 9), 7);
    EXPECT_EQ(LanguageFromName("engl", 7), 9);
    EXPECT_EQ(LanguageFromName("French", 9), 12);
    EXPECT_EQ(LanguageFromName("hungarian", 9), 14);
    EXPECT_EQ(LanguageFromName("SPANISH", 10), 10);
    EXPECT_EQ(LanguageFromName("GERMAN", 9), 9) << "the whole value must match";
    EXPECT_EQ(LanguageFromName(STRING(), 12), 12);

    EXPECT_STREQ(LanguageLibrarySuffix(7), "german.dll");
    EXPECT_STREQ(LanguageLibrarySuffix(9), "english.dll");
    EXPECT_STREQ(LanguageLibrarySuffix(12), "french.dll");
    EXPECT_STREQ(LanguageLibrarySuffix(14), "hungarian.dll");
    EXPECT_STREQ(LanguageLibrarySuffix(10), "english.dll");
}

// ---- Argument acquisition ---------------------------------------------------------------------------------

class ArgumentAcquisition : public ::testing::Test {
protected:
    void SetUp() override {
        Saved = fs::current_path();
        AppDir = Scratch.File("app");
        StartDir = Scratch.File("start");
        fs::create_directories(AppDir);
        fs::create_directories(StartDir);
        fs::current_path(StartDir);
    }
    void TearDown() override {
        fs::current_path(Saved);
        SetArgs(0, nullptr);
        gLocale = LANG_ID_ENGLISH;
    }

    void Acquire(std::vector<const char*> commandline, const char* program = "setup.exe", int language = 9) {
        Program = (AppDir / program).string();
        Vector.assign(commandline.begin(), commandline.end());
        Vector.insert(Vector.begin(), const_cast<char*>(Program.c_str()));
        Vector.push_back(nullptr);
        ARGUMENTSOURCE source;
        source.ProgramPath = Program.c_str();
        source.Count = static_cast<int>(Vector.size()) - 1;
        source.Vector = const_cast<char**>(Vector.data());
        source.DefaultLanguage = language;
        AcquireArguments(source);
    }

    std::vector<std::string> Args() const {
        std::vector<std::string> args;
        for (int i = 0; i < GetArgCount(); ++i)
            args.emplace_back(GetArg(i).Text());
        return args;
    }

    SCRATCHFOLDER Scratch{SCRATCHFOLDER::Working};
    fs::path Saved, AppDir, StartDir;
    std::string Program;
    std::vector<const char*> Vector;
};

TEST_F(ArgumentAcquisition, FoldersNameAndCommandLine) {
    Acquire({"/A", "-B", "value"});
    EXPECT_EQ(Args(), (std::vector<std::string>{Program, "/A", "-B", "value"}));
    EXPECT_EQ(fs::path(gStartDir.Text()), StartDir);
    EXPECT_EQ(fs::path(gAppDir.Text()), AppDir);
    EXPECT_EQ(fs::current_path(), AppDir) << "the application folder becomes the working folder";
    EXPECT_EQ(gAppName, "setup");

    Acquire({}, "my.tool.exe");
    EXPECT_EQ(gAppName, "my");
}

TEST_F(ArgumentAcquisition, LanguageFromArgumentsOrDefault) {
    Acquire({"/LANG:GER"});
    EXPECT_EQ(gLocale, 7);
    Acquire({"-LANG", "FRENCH"});
    EXPECT_EQ(gLocale, 12);
    Acquire({"/lang:hungarian"});
    EXPECT_EQ(gLocale, 14);
    Acquire({"/LANG:SPANISH"}, "setup.exe", 10);
    EXPECT_EQ(gLocale, 10);
    Acquire({}, "setup.exe", 7);
    EXPECT_EQ(gLocale, 7);
}

TEST_F(ArgumentAcquisition, ArgumentFilesFollowTheCommandLineInOrderTrimmed) {
    WriteWholeFile((AppDir / "commandline.ini").string(),
                   "  /FIRST  \n\n\t-SECOND\t\r\n   \nlast line without end");
    WriteWholeFile((AppDir / "setup_commandline.ini").string(), "/THIRD\n");
    WriteWholeFile((StartDir / "commandline.ini").string(), "/FOURTH\n");
    WriteWholeFile((StartDir / "setup_commandline.ini").string(), "/FIFTH\n");
    WriteWholeFile((AppDir / "other_commandline.ini").string(), "/NOT-MINE\n");
    Acquire({"/CMD"});
    EXPECT_EQ(Args(), (std::vector<std::string>{Program, "/CMD", "/FIRST", "-SECOND", "last line without end",
                                                "/THIRD", "/FOURTH", "/FIFTH"}));
    EXPECT_TRUE(TestArg("SECOND"));
}

TEST_F(ArgumentAcquisition, StartFolderFilesReadOnceWhenItIsTheApplicationFolder) {
    fs::current_path(AppDir);
    WriteWholeFile((AppDir / "commandline.ini").string(), "/ONCE\n");
    Acquire({});
    EXPECT_EQ(Args(), (std::vector<std::string>{Program, "/ONCE"}));
}

TEST_F(ArgumentAcquisition, FileNameCandidates) {
    const STRING app((AppDir).string().c_str());
    const STRING start((StartDir).string().c_str());
    const std::string exe = (AppDir / "Setup.EXE").string();

    ARGUMENTFILES files = ArgumentFileNames(exe.c_str(), app, start);
    ASSERT_EQ(files.Count, 4);
    EXPECT_EQ(fs::path(files.Names[0].Text()), AppDir / "commandline.ini");
    EXPECT_EQ(fs::path(files.Names[1].Text()), AppDir / "Setup_commandline.ini");
    EXPECT_EQ(fs::path(files.Names[2].Text()), StartDir / "commandline.ini");
    EXPECT_EQ(fs::path(files.Names[3].Text()), StartDir / "Setup_commandline.ini");

    const std::string noext = (AppDir / "setup").string();
    files = ArgumentFileNames(noext.c_str(), app, app);
    ASSERT_EQ(files.Count, 1) << "no alternative name without .exe or .app";
    EXPECT_EQ(fs::path(files.Names[0].Text()), AppDir / "commandline.ini");

    const std::string dotted = (AppDir / "tool.app..").string();
    STRING appupper(app);
    appupper.ToUpper();
    files = ArgumentFileNames(dotted.c_str(), app, appupper);
    ASSERT_EQ(files.Count, 2) << "folders differing in letter case only are the same";
    EXPECT_EQ(fs::path(files.Names[1].Text()), AppDir / "tool_commandline.ini");
}

TEST_F(ArgumentAcquisition, LoggingSwitchesInFilesExceptForAService) {
    // Beside the argument file: the only place, with TEMP, where a log it asks for may go.
    const fs::path log = AppDir / "from-file.log";
    WriteWholeFile((AppDir / "commandline.ini").string(), "/LOGIT:" + log.string() + "\n");

    Acquire({}, "service.exe");
    EXPECT_FALSE(fs::exists(log)) << "a service takes no logging switches from files";
    EXPECT_EQ(GetArg(1), ("/LOGIT:" + log.string()).c_str()) << "but keeps the line as an argument";

    Acquire({}, "setup.exe");
    EXPECT_TRUE(LogitActive());
    LogitOption("/LOGITCLOSE");
    const std::string text = ReadWholeFile(log.string());
    EXPECT_NE(text.find("ORVIKAPP processing of "), std::string::npos) << text;
    EXPECT_NE(text.find("ORVIKAPP arguments acquired"), std::string::npos) << text;
    EXPECT_NE(text.find("ORVIKAPP program argument 1= '/LOGIT:"), std::string::npos) << text;
    EXPECT_NE(text.find("ORVIKAPP gLocale= 9"), std::string::npos) << text;
}

TEST_F(ArgumentAcquisition, StartupDelay) {
    auto started = std::chrono::steady_clock::now();
    Acquire({"/STARTUPDELAY:-5"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500))
        << "a negative delay is no delay";

    started = std::chrono::steady_clock::now();
    Acquire({"-STARTUPDELAY", "1"});
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(950));
}

// ---- Folders ----------------------------------------------------------------------------------------------

TEST(DirectoryOf, FolderPartOfAPath) {
    EXPECT_EQ(DirectoryOf("C:\\dist\\setup.exe"), "C:\\dist");
    EXPECT_EQ(DirectoryOf("/opt/dist/setup"), "/opt/dist");
    EXPECT_EQ(DirectoryOf("C:\\setup.exe"), "C:");
    EXPECT_EQ(DirectoryOf("setup.exe"), ".");
    EXPECT_EQ(DirectoryOf(nullptr), ".");
}

TEST(AdjustDevelopmentDir, BuildOutputFolderBesideTheSources) {
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    const fs::path project = scratch.File("project");
    for (const char* output : {"Debug", "Debug2", "Release", "release2", "Releasex", "x"})
        fs::create_directories(project / output);
    const auto adjust = [](const fs::path& p) {
        return fs::path(AdjustDevelopmentDir(p.string().c_str()).Text());
    };

    // Without sources in the parent nothing changes.
    EXPECT_EQ(adjust(project / "Release"), project / "Release");

    WriteWholeFile((project / "main.cpp").string(), "int main() {}\n");
    EXPECT_EQ(adjust(project / "Release"), project);
    EXPECT_EQ(adjust(project / "Debug"), project);
    EXPECT_EQ(adjust(project / "Debug2"), project);
    EXPECT_EQ(adjust(project / "release2"), project);
    EXPECT_EQ(adjust(project / "Releasex"), project / "Releasex");
    EXPECT_EQ(adjust(project / "x"), project / "x");

    fs::remove(project / "main.cpp");
    WriteWholeFile((project / "approot.cpp").string(), "\n");
    EXPECT_EQ(adjust(project / "Debug"), project);
}

// ---- Start and end ----------------------------------------------------------------------------------------

TEST(ReflowMessageText, SingleBreaksJoinParagraphsStay) {
    EXPECT_EQ(ReflowMessageText("First line\r\nsecond line\r\n\r\nthird line", 55),
              "First line second line\r\rthird line");
    EXPECT_EQ(ReflowMessageText("one\ntwo\n\n\nthree", 55), "one two\r\r\rthree");
    EXPECT_EQ(ReflowMessageText("list:\n  item\n\tnext", 55), "list:\r  item\r\tnext")
        << "indented lines stay";
    EXPECT_EQ(ReflowMessageText("ends with blank \nnext", 55), "ends with blank next");
    EXPECT_EQ(ReflowMessageText("\nedges\n", 55), "\redges\r");
    EXPECT_EQ(ReflowMessageText("", 55), "");
    EXPECT_EQ(ReflowMessageText("x", 55), "x");
    EXPECT_FALSE(ReflowMessageText(nullptr, 55).NotNull());
}

TEST(ReflowMessageText, LongLinesBreakOnlyWhenAsked) {
    const char* text = "aaaa bbbb cccc\ndddd";
    EXPECT_EQ(ReflowMessageText(text, 6), "aaaa bbbb cccc dddd");
    EXPECT_EQ(ReflowMessageText(text, 6, true), "aaaa bbbb\rcccc dddd");
    EXPECT_EQ(ReflowMessageText(text, -1, true), "aaaa bbbb cccc dddd");
}

TEST(ElapsedMilliseconds, CountsFromTheBase) {
    EXPECT_LT(ElapsedMilliseconds(true), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const int64_t later = ElapsedMilliseconds();
    EXPECT_GE(later, 55);
    EXPECT_LT(later, 5000);
    EXPECT_LT(ElapsedMilliseconds(true), later) << "reset starts the count again";
}

TEST(SetApplicationIdentity, DisplayNameWinsFirstLetterUpperCase) {
    SetApplicationIdentity("setup", "1.00", nullptr);
    EXPECT_EQ(gAppName, "Setup");
    EXPECT_EQ(gAppVersion, "1.00");
    SetApplicationIdentity("setup", "2.5", "demo Product");
    EXPECT_EQ(gAppName, "Demo Product");
    EXPECT_EQ(gAppVersion, "2.5");
}

TEST(ApplicationExit, WritesTheClosingLinesAndClosesTheLog) {
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    const fs::path log = scratch.File("exit.log");
    ASSERT_TRUE(LogitOption(("/LOGIT:" + log.string()).c_str()));
    ASSERT_TRUE(LogitActive());
    gAppName = "Setup";

    ApplicationExit(42);

    EXPECT_FALSE(LogitActive());
    const std::string text = ReadWholeFile(log.string());
    const size_t welcome =
        text.find("Welcome back Setup, you have safely returned to ORVIKAPP with exit code 42\r\n");
    const size_t taxi = text.find("Taxi to your hangar and have a pleasant stay.\r\n");
    const size_t over = text.find("Over and out.\r\n");
    ASSERT_NE(welcome, std::string::npos) << text;
    ASSERT_NE(taxi, std::string::npos) << text;
    ASSERT_NE(over, std::string::npos) << text;
    EXPECT_LT(welcome, taxi);
    EXPECT_LT(taxi, over);
    EXPECT_EQ(text.size(), over + std::string("Over and out.\r\n").size()) << "nothing after the last line";
}

TEST_F(ArgumentAcquisition, ArgumentFilesCarryNoVerbOrMode) {
    fs::current_path(AppDir);
    WriteWholeFile(
        (AppDir / "commandline.ini").string(),
        "/COPYFILE:payload|C:\\Windows\\evil.dll|1\n-remove\nKYR6\n/LANG:GER\n-final\n/ORDER\n/AUTODIR\n"
        "/writereg:a|b|c\n/SILENT\n");
    Acquire({"/REMOVE:real"});
    EXPECT_EQ(Args(), (std::vector<std::string>{Program, "/REMOVE:real", "/LANG:GER", "/SILENT"}));
}

TEST(ArgumentFileLine, LogFilesStayBesideTheFileOrBelowTemp) {
#if defined(_WIN32)
    const STRING folder("C:\\Users\\me\\Downloads");
    const STRING temp("C:\\Users\\me\\AppData\\Local\\Temp");
    const char* sep = "\\";
#else
    const STRING folder("/home/me/Downloads");
    const STRING temp("/tmp");
    const char* sep = "/";
#endif
    const std::string beside = std::string(folder.Text()) + sep;
    const std::string below = std::string(temp.Text()) + sep;
    const struct {
        std::string line;
        std::string expected; // "(null)" when ignored
    } cases[] = {
        {"/LANG:GER", "/LANG:GER"},
        {"/VERYSILENT", "/VERYSILENT"},
        {"/LOG:7", "/LOG:7"},
        {"/LOGIT:STDERR", "/LOGIT:STDERR"},
        {"/LOGIT:setup.log", "/LOGIT:" + beside + "setup.log"},
        {"-logitkeep:sub/x.log", "/logitkeep:" + beside + "sub" + sep + "x.log"},
        {"/LOGIT", "/LOGIT:" + beside + "logit.log"},
        {"/LOGITHARD:UNIQUE", "/LOGITHARD:" + beside + "logit.log"},
        {"/LOGIT:" + below + "a.log", "/LOGIT:" + below + "a.log"},
        {"/LOGIT:" + beside + "b.log", "/LOGIT:" + beside + "b.log"},
        {"/LOGIT:..\\x.log", "(null)"},
        {"/LOGIT:" + beside + "..\\..\\x.log", "(null)"},
        {"/LOGIT:C:\\Windows\\System32\\x.dll", "(null)"},
        {"/LOGIT:/etc/x", "(null)"},
        {"/LOGIT:\\\\server\\share\\x.log", "(null)"},
        {"-DELETEFILE", "(null)"},
        {"/ADMIN:ADDPRINTER", "(null)"},
        {"/WriteHexReg:a|b|0A|1", "(null)"},
        {"/DeleteReg:a|b", "(null)"},
    };
    for (const auto& c : cases) {
        const STRING result = ArgumentFileLine(STRING(c.line.c_str()), folder, temp);
        EXPECT_EQ(c.expected, !result.NotNull() ? "(null)" : result.Text()) << c.line;
    }
}
