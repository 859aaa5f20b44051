#include <gtest/gtest.h>

#include <filesystem>
#include <cctype>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "tests/common/test_support.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool AllOf(const std::string& text, size_t from, size_t count, int (*test)(int)) {
    if (from + count > text.size())
        return false;
    for (size_t i = from; i < from + count; ++i)
        if (!test(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

int IsLowerHex(int c) {
    return std::isdigit(c) || (c >= 'a' && c <= 'f');
}

// Every line is "[sss.mmm:tttt] text" without further line breaks.
bool IsLogLine(const std::string& line) {
    return line.size() >= 15 && line[0] == '[' && AllOf(line, 1, 3, isdigit) && line[4] == '.' &&
           AllOf(line, 5, 3, isdigit) && line[8] == ':' && AllOf(line, 9, 4, IsLowerHex) &&
           line.compare(13, 2, "] ") == 0 && line.find('\n') == std::string::npos;
}

// assert.log is a text file: Windows writes its line ends as "\r\n".
std::string ReadAssertLog() {
    std::string text = ReadWholeFile("assert.log");
    std::string lines;
    for (char c : text)
        if (c != '\r')
            lines += c;
    return lines;
}

} // namespace

TEST(LogitSwitches, NothingIsWrittenWithoutASwitch) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    ASSERT_FALSE(LogitActive());
    EXPECT_FALSE(LogPrintf("nobody reads this %d\n", 1));
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path()));
    EXPECT_FALSE(LogitOption("/LANG:GER"));
    EXPECT_FALSE(LogitOption("logit"));
    EXPECT_FALSE(LogitOption(nullptr));
}

TEST(LogitSwitches, DashAndLowerCaseOpenLikeSlash) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    const std::string file = dir.File("dash.log");
    ASSERT_TRUE(LogitOption(("-logit:" + file).c_str()));
    EXPECT_TRUE(LogitActive());
    EXPECT_EQ(file, std::string(LogitFileName().Text()));
    EXPECT_TRUE(LogPrintf("value=%d\n", 42));
    LogitOption("/LOGITCLOSE");
    EXPECT_FALSE(LogitActive());
    EXPECT_FALSE(LogPrintf("after close\n"));
    const std::string text = ReadWholeFile(file);
    EXPECT_NE(std::string::npos, text.find("] value=42\r\n"));
    EXPECT_EQ(std::string::npos, text.find("after close"));
}

TEST(LogitSwitches, WithoutTargetTheDefaultFileIsUsed) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    ASSERT_TRUE(LogitOption("/LOGIT"));
    const std::string name = LogitFileName().Text();
    LogitOption("/LOGITCLOSE");
    ASSERT_GE(name.size(), 9u);
    EXPECT_EQ("logit.log", name.substr(name.size() - 9));
    EXPECT_TRUE(std::filesystem::exists(name));
    std::filesystem::remove(name);
}

TEST(LogitSwitches, UniqueTargetNamesTheFileByTimeAndProcess) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    ASSERT_TRUE(LogitOption("/LOGIT:unique"));
    const std::string name = LogitFileName().Text();
    LogitOption("/LOGITCLOSE");
    char pid[16];
    std::snprintf(pid, sizeof(pid), "_%X.log", static_cast<unsigned>(OSYS::GetCurrentProcessId()));
    // LOGIT_<seconds since 1970>_<milliseconds>_<process id in hex>.log
    const size_t secondsEnd = name.find('_', 6);
    ASSERT_NE(std::string::npos, secondsEnd) << name;
    const size_t millisEnd = name.find('_', secondsEnd + 1);
    ASSERT_NE(std::string::npos, millisEnd) << name;
    EXPECT_EQ(0u, name.find("LOGIT_"));
    EXPECT_TRUE(AllOf(name, 6, secondsEnd - 6, isdigit)) << name;
    EXPECT_GE(std::strtoul(name.c_str() + 6, nullptr, 10), 1600000000ul);
    EXPECT_TRUE(AllOf(name, secondsEnd + 1, millisEnd - secondsEnd - 1, isdigit)) << name;
    EXPECT_LE(millisEnd - secondsEnd - 1, 3u);
    EXPECT_EQ(pid, name.substr(millisEnd)) << name;
    EXPECT_TRUE(std::filesystem::exists(name));
}

TEST(LogitSwitches, LevelMaskFiltersByDetailAndCategory) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    ASSERT_EQ(0u, GetLogitLevel());
    ASSERT_TRUE(LogitOption("/LOG:3"));
    EXPECT_TRUE(LogitActive());
    EXPECT_EQ(3u, GetLogitLevel());
    ASSERT_TRUE(LogitOption("/D:256"));
    EXPECT_EQ(0x103u, GetLogitLevel());

    EXPECT_TRUE(LogPrintfLevel(2, "detail two\n"));
    EXPECT_FALSE(LogPrintfLevel(11, "detail eleven\n"));
    EXPECT_TRUE(LogPrintfLevel(0x101, "device one\n"));
    EXPECT_FALSE(LogPrintfLevel(0x201, "tcp one\n"));
    EXPECT_TRUE(LogPrintfLevel(3, nullptr));
    EXPECT_FALSE(LogPrintfLevel(4, nullptr));

    const std::string file = LogitFileName().Text();
    LogitOption("/LOGITCLOSE");
    const std::string text = ReadWholeFile(file);
    EXPECT_NE(std::string::npos, text.find("] LogitLevel 00000003\r\n"));
    EXPECT_NE(std::string::npos, text.find("] LogitLevel 00000103\r\n"));
    EXPECT_NE(std::string::npos, text.find("detail two"));
    EXPECT_NE(std::string::npos, text.find("device one"));
    EXPECT_EQ(std::string::npos, text.find("detail eleven"));
    EXPECT_EQ(std::string::npos, text.find("tcp one"));
    std::filesystem::remove(file);
}

TEST(LogitSwitches, KeepAppendsAndPlainOpenReplaces) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    const std::string file = dir.File("kept.log");
    WriteWholeFile(file, "previous run\r\n");
    LOGCAPTURE keep(file, "/LOGITKEEP:");
    LogPrintf("second run\n");
    std::string text = keep.Finish();
    EXPECT_EQ(0u, text.find("previous run\r\n\r\n["));
    EXPECT_NE(std::string::npos, text.find("second run"));

    LOGCAPTURE fresh(file);
    LogPrintf("third run\n");
    text = fresh.Finish();
    EXPECT_EQ(std::string::npos, text.find("previous run"));
    EXPECT_NE(std::string::npos, text.find("third run"));
}

TEST(LogitSwitches, CrashDumpRequestsReachTheHandler) {
    static int requested = -1;
    LogitSetCrashDumpHandler([](int level) { requested = level; });
    EXPECT_TRUE(LogitOption("/CRASHDUMP:3"));
    EXPECT_EQ(3, requested);
    EXPECT_EQ(3, LogitCrashDumpLevel());
    EXPECT_TRUE(LogitOption("-crashdump"));
    EXPECT_EQ(2, requested);

    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    requested = -1;
    LOGCAPTURE hard(dir.File("hard.log"), "/LOGITHARD:");
    EXPECT_EQ(2, requested);
    LogitSetCrashDumpHandler(nullptr);
}

TEST(LogitSwitches, CrashDumpRequestWithoutHandlerSaysNoDumpsWillBeWritten) {
    LogitSetCrashDumpHandler(nullptr);
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("nodumps.log"));
    EXPECT_TRUE(LogitOption("/CRASHDUMP:1"));
    EXPECT_EQ(1, LogitCrashDumpLevel());
    const std::string text = log.Finish();
    EXPECT_NE(std::string::npos,
              text.find("crash dumps (level 1) requested, but no crash handler is installed"));
}

TEST(LogitLines, FirstLineCarriesTimeAndThread) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("lines.log"));
    LogPrintf("line two\n");
    const std::vector<std::string> lines = Lines(log.Finish());
    ASSERT_GE(lines.size(), 3u);
    char thread[8];
    std::snprintf(thread, sizeof(thread), "%04x", static_cast<unsigned>(OSYS::GetCurrentThreadId() & 0xFFFF));
    const std::string expected = std::string(":") + thread + "] Logging starts at ";
    EXPECT_EQ(0, lines[0].compare(8, expected.size(), expected)) << lines[0];
    EXPECT_EQ(0u, lines[1].find("["));
    EXPECT_NE(std::string::npos, lines[1].find("] Running as "));
    for (const std::string& line : lines)
        EXPECT_TRUE(IsLogLine(line)) << line;
    // The time base is the first line of the process: when this test runs alone it is this log's first line.
    if (testing::UnitTest::GetInstance()->test_to_run_count() == 1) {
        EXPECT_EQ("[000.000:", lines[0].substr(0, 9));
    }
}

TEST(LogitLines, TextWithoutPercentIsVerbatimAndLongLinesAreCut) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("verbatim.log"));
    LogPrintf("%s", "printed %d as is\n");
    LogPrintf("plain {0} \\x text\n");
    const std::string huge(9000, 'h');
    LogPrintf(huge.c_str());
    LogPrintf("%s", huge.c_str());
    const std::string text = log.Finish();
    EXPECT_NE(std::string::npos, text.find("] printed %d as is\r\n"));
    EXPECT_NE(std::string::npos, text.find("] plain {0} \\x text\r\n"));
    int longLines = 0;
    for (const std::string& line : Lines(text)) {
        if (line.find("hhhh") != std::string::npos) {
            ++longLines;
            EXPECT_EQ(8160u, line.size());
        }
    }
    EXPECT_EQ(2, longLines);
}

TEST(LogitLines, ConcurrentWritersNeverInterleave) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("threads.log"));
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                LogPrintf("writer %d line %d %s\n", t, i, "payload-payload-payload");
        });
    for (std::thread& w : writers)
        w.join();
    int count = 0;
    for (const std::string& line : Lines(log.Finish())) {
        EXPECT_TRUE(IsLogLine(line)) << line;
        if (line.find("payload-payload-payload") != std::string::npos)
            ++count;
    }
    EXPECT_EQ(800, count);
}

class AssertReport : public testing::Test {
protected:
    void TearDown() override {
        gLocale = LANG_ID_ENGLISH;
        SetAssertSilent(true);
    }
    SCRATCHFOLDER Dir{SCRATCHFOLDER::Working};
};

TEST_F(AssertReport, HoldingConditionReportsNothing) {
    ASSERTWATCH watch;
    EXPECT_TRUE(Assert(true, "x", __FILE__, __LINE__, nullptr, false));
    EXPECT_EQ(0u, watch.Failures());
    EXPECT_FALSE(std::filesystem::exists("assert.log"));
}

TEST_F(AssertReport, SilentFailureGoesToAssertLogAndLog) {
    LOGCAPTURE log(Dir.File("assert-run.log"));
    ASSERTWATCH watch;
    EXPECT_TRUE(Assert(false, "count>0", "C:\\src\\lib\\module.cpp", 77, "count= 0", true));
    EXPECT_EQ(1u, watch.Failures());
    const std::string logged = log.Finish();
    const std::string report = ReadAssertLog();

    EXPECT_EQ(0u, report.find("--- Orvik Application (0.00) --- "));
    EXPECT_NE(std::string::npos, report.find("    Condition: count>0\n    Location : module.cpp line 77\n"
                                             "    Last Err.: "));
    EXPECT_NE(std::string::npos, report.find("    Add. Info: count= 0\n\n\n"));
    EXPECT_NE(std::string::npos, logged.find("] *** ASSERTION FAILED: \n    Condition: count>0\n"));
}

TEST_F(AssertReport, GermanReportAndNullInfo) {
    gLocale = LANG_ID_GERMAN;
    ASSERT_TRUE(IsGerman());
    Assert(false, "a==b", "dir/sub/file.cpp", 5, nullptr, true);
    const std::string report = ReadAssertLog();
    EXPECT_NE(std::string::npos,
              report.find("    Bedingung: a==b\n    Datei: file.cpp Zeile 5\n    Code : "));
    EXPECT_NE(std::string::npos, report.find("    Info : <null>\n"));
}

TEST_F(AssertReport, ReportsAccumulateInAssertLog) {
    ORVIK_ASSERT_SILENT(1 + 1 == 3, "first");
    ORVIK_ASSERT_INFO(2 + 2 == 5, "second");
    const std::string report = ReadAssertLog();
    EXPECT_EQ(2, CountOccurrences(report, "--- Orvik Application (0.00) --- "));
    EXPECT_NE(std::string::npos, report.find("Condition: 1 + 1 == 3"));
    EXPECT_NE(std::string::npos, report.find("Condition: 2 + 2 == 5"));
    EXPECT_NE(std::string::npos, report.find("Location : logit_test.cpp line "));
}

TEST_F(AssertReport, NoAssertSwitchToggles) {
    SetAssertSilent(false);
    EXPECT_TRUE(LogitOption("/NOASSERT"));
    EXPECT_TRUE(IsAssertSilent());
    EXPECT_TRUE(LogitOption("-noassert"));
    EXPECT_FALSE(IsAssertSilent());
}

TEST(LogitSwitches, ALogThatCannotBeOpenedIsReportedAsSuch) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    EXPECT_FALSE(LogitOption(("/LOGIT:" + dir.File("no such folder/run.log")).c_str()));
    EXPECT_TRUE(LogitFileName().IsEmpty()) << "no log file is named when none is open";
    LogitOption("/LOGITCLOSE");
}
