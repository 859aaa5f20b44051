// Crash dumps as a user meets them: a program with the real start-up faults, its question is answered by the
// robot, and the dump on the desktop is unpacked and read as a minidump. The web browser is a stand-in
// (urlrecorder.exe) registered for web addresses while a test runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "lib/approot.h"
#include "lib/crashhandler.h"
#include "lib/osys.h"
#include "tests/common/gunzip.h"
#include "tests/crash/minidump_reader.h"
#include "tests/robot/uirobot.h"

namespace {

using namespace std::chrono_literals;

constexpr DWORD AccessViolation = 0xC0000005;
constexpr DWORD StackOverflow = 0xC00000FD;

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    return data.str();
}

bool FileExists(const std::string& name) {
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The robot reads texts as UTF-8; the program's texts are CP1252.
std::string FromCp1252(const char* text) {
    std::wstring wide(std::strlen(text), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(1252, 0, text, static_cast<int>(wide.size()),
                                                        wide.data(), static_cast<int>(wide.size()))));
    return uirobot::toUtf8(wide);
}

std::string TestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Makes urlrecorder.exe the handler of https addresses while it lives, and puts the old handler back.
class URLHANDLER {
public:
    explicit URLHANDLER(const std::string& recorder) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Command, nullptr);
        char old[1024] = {};
        DWORD size = sizeof old;
        HadOld = RegQueryValueExA(Command, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
                 ERROR_SUCCESS;
        Old = old;
        const std::string command = "\"" + recorder + "\" \"%1\"";
        RegSetValueExA(Command, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
    }
    ~URLHANDLER() {
        if (HadOld)
            RegSetValueExA(Command, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(Old.c_str()),
                           static_cast<DWORD>(Old.size() + 1));
        else
            RegDeleteValueA(Command, nullptr);
        RegCloseKey(Command);
    }
    URLHANDLER(const URLHANDLER&) = delete;
    URLHANDLER& operator=(const URLHANDLER&) = delete;

private:
    static constexpr const char* Key = "Software\\Classes\\https\\shell\\open\\command";
    HKEY Command = nullptr;
    bool HadOld = false;
    std::string Old;
};

class CrashDumps : public ::testing::Test {
protected:
    void SetUp() override {
        Desktop = OSYS::GetSystemPath(8).Text();
        ASSERT_FALSE(Desktop.empty());
        Desktop.pop_back(); // the trailing "\"
        User = OSYS::GetUserName().Text();
        Name = "Crash" + TestName().substr(0, 12);
        Tag = CrashProgramTag(Name.c_str(), "1.00").Text();
        Log = uirobot::ownDirectory() + Tag + ".log";
        Recorded = uirobot::ownDirectory() + "urlrecorder.txt";
        RemoveDumps();
        DeleteFileA(Log.c_str());
        DeleteFileA(Recorded.c_str());
    }
    void TearDown() override { RemoveDumps(); }

    void RemoveDumps() const {
        const std::string pattern = Desktop + "\\Orvik.CrashInfo." + Tag + ".*";
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do
            DeleteFileA((Desktop + "\\" + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }

    uirobot::RobotProcess Start(const std::string& arguments) const {
        return uirobot::RobotProcess::start(uirobot::ownDirectory() + "crashprogram.exe",
                                            "/NAME:" + Name + " /LOGIT:" + Log + " " + arguments);
    }

    // Waits for the question, checks its text, keeps a screenshot and answers it.
    void Answer(const uirobot::RobotProcess& process, const std::string& dumpname, bool german,
                int button) const {
        const uirobot::MessageBoxWindow box =
            uirobot::MessageBoxWindow::waitFor(uirobot::WindowFinder(process), Name, 30s);
        const STRING question = CrashQuestionText(german, Tag.c_str(), dumpname.c_str(), Desktop.c_str());
        EXPECT_EQ(box.message(), FromCp1252(ReflowMessageText(question.c_str(), 55).Text()));
        uirobot::ScreenshotFolder(std::string(CRASH_SCREENSHOT_ROOT) + "/" + TestName())
            .save(uirobot::captureWindow(box.window()), german ? "question_german" : "question_english");
        box.answer(button);
    }

    std::string DumpName(const char* kind, const std::string& counter = "") const {
        return "Orvik.CrashInfo." + Tag + "." + User + counter + "." + kind + ".dmp";
    }

    // The compressed dump, unpacked and read; the uncompressed one must be gone.
    MINIDUMPCONTENTS ReadDump(const std::string& dumpname) const {
        const std::string path = Desktop + "\\" + dumpname;
        EXPECT_FALSE(FileExists(path)) << "the uncompressed dump stayed";
        EXPECT_TRUE(FileExists(path + ".gz")) << path;
        const MINIDUMPCONTENTS dump = ReadMiniDump(GunzipFile(path + ".gz"));
        EXPECT_EQ(dump.Error, "");
        return dump;
    }

    // Runs the program to its fault, answers Yes and reads the dump it wrote.
    MINIDUMPCONTENTS CrashAndDump(const std::string& arguments, const std::string& dumpname, bool german,
                                  DWORD code, uirobot::Milliseconds timeout = 60s) const {
        const uirobot::RobotProcess process = Start(arguments);
        Answer(process, dumpname, german, IDYES);
        EXPECT_EQ(process.exitCode(timeout), code);
        const MINIDUMPCONTENTS dump = ReadDump(dumpname);
        EXPECT_TRUE(dump.Exception.Present);
        EXPECT_EQ(dump.Exception.Code, code);
        return dump;
    }

    // The thread the program logged before it faulted.
    DWORD FaultingThread(const std::string& log) const {
        const std::string marker = "crashprogram faulting thread ";
        const size_t at = log.find(marker);
        return at == std::string::npos ? 0 : std::stoul(log.substr(at + marker.size()));
    }

    std::string RecordedAddress() const {
        uirobot::waitUntil([this] { return FileExists(Recorded); }, 20s);
        std::string line = ReadFile(Recorded);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
            line = line.substr(1, line.size() - 2);
        return line;
    }

    std::string Desktop, User, Name, Tag, Log, Recorded;
};

} // namespace

TEST_F(CrashDumps, AccessViolationGivesAnOrvikDumpAndOpensTheUploadPage) {
    URLHANDLER browser(uirobot::ownDirectory() + "urlrecorder.exe");
    const std::string dumpname = DumpName("ORVIK");
    const MINIDUMPCONTENTS dump = CrashAndDump("/CRASHDUMP /FAULT:access", dumpname, false, AccessViolation);
    const std::string log = ReadFile(Log);
    EXPECT_EQ(dump.Exception.ThreadId, FaultingThread(log));
    ASSERT_GE(dump.Exception.Parameters.size(), 2u);
    EXPECT_EQ(dump.Exception.Parameters[0], 1u) << "a write";
    EXPECT_EQ(dump.Exception.Parameters[1], 0x1234u) << "the address written to";
    const MINIDUMPMODULE* faulting = dump.ModuleAt(dump.Exception.Address);
    ASSERT_NE(faulting, nullptr);
    EXPECT_NE(faulting->Name.find("crashprogram.exe"), std::string::npos) << faulting->Name;
    EXPECT_NE(std::find(dump.ThreadIds.begin(), dump.ThreadIds.end(), dump.Exception.ThreadId),
              dump.ThreadIds.end());

    EXPECT_EQ(RecordedAddress(),
              std::string(CrashReportSite()) + "/common/crashreport.php?filename=" + dumpname);

    const size_t entered = log.find("ORVIKAPP::WriteDumpToFileHandler entered");
    const size_t written =
        log.find("ORVIKAPP::WriteDumpToFileHandler dump file written (" + Desktop + "\\" + dumpname + ")");
    const size_t finished = log.find("ORVIKAPP::WriteDumpToFileHandler finished");
    EXPECT_LT(entered, written);
    EXPECT_LT(written, finished);
    EXPECT_NE(finished, std::string::npos);
}

TEST_F(CrashDumps, StackOverflowInGermanIsDumpedFromAThreadWithStackLeft) {
    URLHANDLER browser(uirobot::ownDirectory() + "urlrecorder.exe");
    const std::string dumpname = DumpName("MIDI");
    const MINIDUMPCONTENTS dump =
        CrashAndDump("/CRASHDUMP:3 /LANG:GER /FAULT:stack", dumpname, true, StackOverflow);
    EXPECT_EQ(dump.Exception.ThreadId, FaultingThread(ReadFile(Log)));
    EXPECT_EQ(RecordedAddress(),
              std::string(CrashReportSite()) + "/common/crashreport.php?filename=" + dumpname + "&html=htm");
}

// The full-memory kind is large: under Wine it takes a minute or two to write and compress.
TEST_F(CrashDumps, MaxiDumpHoldsTheProcessMemory) {
    URLHANDLER browser(uirobot::ownDirectory() + "urlrecorder.exe");
    const MINIDUMPCONTENTS dump =
        CrashAndDump("/CRASHDUMP:4 /FAULT:access", DumpName("MAXI"), false, AccessViolation, 280s);
    EXPECT_GT(dump.Memory64Bytes, 16u * 1024u * 1024u);
}

TEST_F(CrashDumps, FaultOnASecondThreadWithALevelThatALaterSwitchDoesNotLower) {
    URLHANDLER browser(uirobot::ownDirectory() + "urlrecorder.exe");
    const MINIDUMPCONTENTS dump =
        CrashAndDump("/CRASHDUMP:5 /CRASHDUMP:1 /FAULT:thread", DumpName("TINY"), false, AccessViolation);
    EXPECT_EQ(dump.Exception.ThreadId, FaultingThread(ReadFile(Log)));
    // The main thread waiting for the worker is in the dump as well.
    EXPECT_GE(dump.ThreadIds.size(), 2u);
}

TEST_F(CrashDumps, EachLevelNamesItsKind) {
    const struct {
        const char* Switch;
        const char* Kind;
    } cases[] = {{"/CRASHDUMP:1", "MINI"}, {"/CRASHDUMP:3", "MIDI"}, {"/LOGITHARD:", "ORVIK"}};
    URLHANDLER browser(uirobot::ownDirectory() + "urlrecorder.exe");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Switch);
        const std::string hard = std::string(c.Switch) == "/LOGITHARD:" ? Log : "";
        const MINIDUMPCONTENTS dump = CrashAndDump(std::string(c.Switch) + hard + " /FAULT:access",
                                                   DumpName(c.Kind), false, AccessViolation);
        EXPECT_FALSE(dump.Modules.empty());
        RemoveDumps();
    }
}

TEST_F(CrashDumps, EarlierDumpsOnTheDesktopAreCounted) {
    URLHANDLER browser(uirobot::ownDirectory() + "urlrecorder.exe");
    std::ofstream(Desktop + "\\" + DumpName("ORVIK") + ".gz") << "earlier";
    std::ofstream(Desktop + "\\" + DumpName("ORVIK", "1")) << "earlier";
    CrashAndDump("/CRASHDUMP:2 /FAULT:access", DumpName("ORVIK", "2"), false, AccessViolation);
    EXPECT_EQ(ReadFile(Desktop + "\\" + DumpName("ORVIK") + ".gz"), "earlier")
        << "an earlier dump was replaced";
}

TEST_F(CrashDumps, DeclinedQuestionWritesNothingAndOpensNothing) {
    URLHANDLER browser(uirobot::ownDirectory() + "urlrecorder.exe");
    const uirobot::RobotProcess process = Start("/CRASHDUMP /LANG:GER /FAULT:access");
    Answer(process, DumpName("ORVIK"), true, IDNO);
    EXPECT_EQ(process.exitCode(60s), AccessViolation);
    EXPECT_FALSE(FileExists(Desktop + "\\" + DumpName("ORVIK")));
    EXPECT_FALSE(FileExists(Desktop + "\\" + DumpName("ORVIK") + ".gz"));
    const std::string log = ReadFile(Log);
    EXPECT_EQ(log.find("dump file written"), std::string::npos);
    EXPECT_NE(log.find("ORVIKAPP::WriteDumpToFileHandler finished"), std::string::npos);
    Sleep(1000); // a browser started by mistake would have recorded by now
    EXPECT_FALSE(FileExists(Recorded));
}

TEST_F(CrashDumps, NormalExitAfterInstallingAsksNothing) {
    const uirobot::RobotProcess process = Start("/CRASHDUMP:3 /FAULT:none");
    EXPECT_EQ(process.exitCode(30s), 0u);
    const std::string log = ReadFile(Log);
    EXPECT_NE(log.find("ORVIKAPP crash handler installed (level 3, MIDI dumps)"), std::string::npos);
    EXPECT_EQ(log.find("WriteDumpToFileHandler"), std::string::npos);
}
