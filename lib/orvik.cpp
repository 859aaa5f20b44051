#include "lib/orvik.h"

#include "lib/timetext.h"

#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sys/stat.h>

#include "lib/appglobals.h"
#include "lib/orvik_platform.h"
#include "lib/osys.h"

namespace {

constexpr size_t LineBufferSize = 8192;
constexpr int LineTextLimit = 8160; // prefix and text together, leaving room for "\r\n"
constexpr size_t MaxLogFileName = 255;


// Detail levels 0-15 in the low bits, categories above: a line passes when the mask's detail is at least the
// line's and, for a categorised line, the mask shares one of its categories.
bool LevelPasses(uint32_t level, uint32_t mask) {
    const uint32_t categories = level & ~15u;
    return (mask & 15u) >= (level & 15u) && (categories == 0 || (mask & categories) != 0);
}

// The process-wide log: its destination, switches and the lock that serialises lines.
class LOGIT {
public:
    static LOGIT& Instance() {
        // Never destroyed: static objects may still log while the process ends.
        static LOGIT* log = new LOGIT;
        return *log;
    }

    bool Active() const { return Open.load() || Debugger.load(); }
    uint32_t Level() const { return LevelMask.load(); }

    bool Write(const char* format, va_list args);
    bool Option(const char* argument);
    STRING FileName() {
        std::lock_guard<std::mutex> guard(NameLock);
        return STRING(FileNameText);
    }

    std::atomic<bool> NoAssert{false};
    std::atomic<int> CrashDumpLevel{0};
    std::atomic<CRASHDUMPREQUEST> CrashDumpHandler{nullptr};

private:
    LOGIT() : Writer(false, nullptr, true) {}

    bool OpenLog(const char* argument);
    void CloseLog();
    void RequestCrashDumps(int level);
    static STRING UniqueFileName();
    static STRING ProgramDescription();

    LOGPLATFORM::LOGSINK Sink;
    MUTEXSEM Writer; // quiet: the writer's own locking must not log
    std::atomic<bool> Open{false};
    std::atomic<bool> Debugger{false};
    std::atomic<uint32_t> LevelMask{0};
    bool WriteThrough = false;
    bool Keep = false;
    double TimeBase = -1.0;
    char Line[LineBufferSize];
    std::mutex NameLock;
    char FileNameText[MaxLogFileName + 1] = {};
};

bool LOGIT::Write(const char* format, va_list args) {
    if (!Active() || format == nullptr)
        return false;
    // A line written while this thread already writes one (an assertion inside the writer) is dropped.
    static thread_local bool writing = false;
    if (writing)
        return false;
    writing = true;
    int64_t counter = 0, frequency = 0;
    const bool haveCounter = OSYS::ReadHighResCounter(&counter, &frequency) && frequency > 0;
    const double now = haveCounter ? static_cast<double>(counter) / static_cast<double>(frequency) : 0.0;
    const bool ok = Writer.Obtain(-1);
    if (!ok) {
        writing = false;
        Assert(false, "ok", __FILE__, __LINE__, nullptr, false);
        return false;
    }
    if (TimeBase < 0)
        TimeBase = now;
    int used = std::snprintf(Line, LineBufferSize, "[%07.3lf:%04x] ", now - TimeBase,
                             static_cast<unsigned>(OSYS::GetCurrentThreadId() & 0xFFFF));
    const int room = LineTextLimit - used;
    bool cut;
    if (std::strchr(format, '%') != nullptr) {
        int n = std::vsnprintf(Line + used, static_cast<size_t>(room) + 1, format, args);
        cut = n > room;
        used += n < 0 ? 0 : (cut ? room : n);
    } else {
        size_t n = std::strlen(format);
        cut = n > static_cast<size_t>(room);
        n = cut ? static_cast<size_t>(room) : n;
        std::memcpy(Line + used, format, n);
        used += static_cast<int>(n);
    }
    Line[used] = '\0';
    if (cut) {
        // A cut line still ends, so that the next one starts on a line of its own.
        Line[used++] = '\r';
        Line[used++] = '\n';
        Line[used] = '\0';
    } else if (used > 0 && Line[used - 1] == '\n' && (used < 2 || Line[used - 2] != '\r')) {
        Line[used - 1] = '\r';
        Line[used++] = '\n';
        Line[used] = '\0';
    }
    ORVIK_ASSERT(static_cast<size_t>(used) < sizeof(Line));
    if (Open)
        Sink.Write(Line, static_cast<size_t>(used));
    if (Debugger)
        LOGPLATFORM::DebuggerOutput(Line);
    Writer.Release();
    writing = false;
    return true;
}

STRING LOGIT::UniqueFileName() {
    int64_t counter = 0, frequency = 0;
    int millis = 0;
    if (OSYS::ReadHighResCounter(&counter, &frequency) && frequency >= 1000)
        millis = static_cast<int>((counter / (frequency / 1000)) % 1000);
    STRING name;
    name.Printf("LOGIT_%lu_%d_%X.log", static_cast<unsigned long>(std::time(nullptr)), millis,
                static_cast<unsigned>(OSYS::GetCurrentProcessId()));
    return name;
}

STRING LOGIT::ProgramDescription() {
    STRING path = OSYS::GetModulePath();
    struct stat st;
    unsigned long size = 0;
    STRING when("<unknown>");
    if (path.NotNull() && stat(path.c_str(), &st) == 0) {
        size = static_cast<unsigned long>(st.st_size);
        when = TIMETEXT::DateTime(st.st_mtime);
    }
    STRING line;
    line.Printf("Running as %s (%lu bytes, %s)\n", path.Text(), size, when.Text());
    return line;
}

void LOGIT::RequestCrashDumps(int level) {
    CrashDumpLevel = level;
    if (CRASHDUMPREQUEST handler = CrashDumpHandler.load()) {
        handler(level);
        return;
    }
    // Nothing would write a dump: the switch must not look as if it did more than remember its level.
    LogPrintf("LOGIT crash dumps (level %d) requested, but no crash handler is installed: no dumps will be "
              "written\n",
              level);
}

void LOGIT::CloseLog() {
    Writer.Obtain(-1);
    Open = false;
    Sink.Close();
    Writer.Release();
    std::lock_guard<std::mutex> guard(NameLock);
    FileNameText[0] = '\0';
}

bool LOGIT::OpenLog(const char* argument) {
    const char* colon = std::strchr(argument, ':');
    STRING target;
    if (colon != nullptr && colon[1] != '\0')
        target = colon + 1;
    if (target.IsEmpty())
        target = LOGPLATFORM::DefaultLogFileName();
    if (Open)
        CloseLog();
    if (EqualsNoCase(target.c_str(), "UNIQUE"))
        target = UniqueFileName();
    WriteThrough = StartsWithNoCase(argument, "/LOGITHARD");
    Keep = StartsWithNoCase(argument, "/LOGITKEEP");
    target.Truncate(static_cast<int>(MaxLogFileName));

    using KIND = LOGPLATFORM::LOGSINK::KIND;
    KIND kind = KIND::File;
    if (EqualsNoCase(target.c_str(), "STDERR"))
        kind = KIND::StdErr;
    else if (EqualsNoCase(target.c_str(), "CONSOLE"))
        kind = KIND::Console;
    Writer.Obtain(-1);
    const bool opened = Sink.Open(kind, target.c_str(), WriteThrough, Keep);
    if (opened && Keep && kind == KIND::File)
        Sink.Write("\r\n", 2); // separates this run from the kept contents
    Writer.Release();
    if (!opened)
        return false; // the caller learns that nothing will be logged
    if (kind == KIND::File) {
        std::lock_guard<std::mutex> guard(NameLock);
        std::snprintf(FileNameText, sizeof(FileNameText), "%s", target.c_str());
    }
    Open = true;
    const time_t now = std::time(nullptr);
    LogPrintf("Logging starts at %s %s\n", TIMETEXT::Time(now).c_str(), TIMETEXT::Date(now).c_str());
    LogPrintf("%s", ProgramDescription().c_str());
    if (WriteThrough)
        RequestCrashDumps(2);
    return true;
}

bool LOGIT::Option(const char* argument) {
    if (argument == nullptr || (argument[0] != '/' && argument[0] != '-'))
        return false;
    STRING arg(argument);
    arg[0] = '/';
    const char* a = arg.c_str();
    auto isSwitch = [a](const char* name) {
        const size_t n = std::strlen(name);
        return StartsWithNoCase(a, name) && (a[n] == '\0' || a[n] == ':');
    };
    auto number = [](const char* text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 10)); };

    if (isSwitch("/LOGIT") || isSwitch("/LOGITKEEP") || isSwitch("/LOGITHARD"))
        return OpenLog(a);
    if (EqualsNoCase(a, "/LOGDEBUG") || EqualsNoCase(a, "/LOGDBG")) {
        Debugger = true;
        return true;
    }
    if (StartsWithNoCase(a, "/LOG:")) {
        LevelMask |= number(a + 5);
        if (!Open)
            OpenLog("/LOGIT");
        LogPrintf("LogitLevel %08x\n", Level());
        return true;
    }
    if (StartsWithNoCase(a, "/D:")) {
        LevelMask |= number(a + 3);
        LogPrintf("LogitLevel %08x\n", Level());
        return true;
    }
    if (EqualsNoCase(a, "/LOGITCLOSE")) {
        CloseLog();
        return true;
    }
    if (EqualsNoCase(a, "/NOASSERT")) {
        NoAssert = !NoAssert;
        return true;
    }
    if (EqualsNoCase(a, "/CRASHDUMP")) {
        RequestCrashDumps(2);
        return true;
    }
    if (StartsWithNoCase(a, "/CRASHDUMP:")) {
        RequestCrashDumps(static_cast<int>(number(a + 11)));
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// Assertions

class ASSERTRECORDER {
public:
    static ASSERTRECORDER& Instance() {
        static ASSERTRECORDER* recorder = new ASSERTRECORDER;
        return *recorder;
    }
    void Record(const char* condition, const char* file, int line, const char* info) {
        std::lock_guard<std::mutex> guard(Lock);
        ++Last.Count;
        Last.Condition = condition;
        Last.File = file;
        Last.Line = line;
        Last.Info = info;
    }
    ASSERTFAILURE Get() {
        std::lock_guard<std::mutex> guard(Lock);
        return Last;
    }

private:
    std::mutex Lock;
    ASSERTFAILURE Last;
};

const char* BareFileName(const char* path) {
    const char* name = path ? path : "<unknown>";
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\' || *p == ':')
            name = p + 1;
    }
    return name;
}

STRING AssertReport(const char* condition, const char* file, int line, long error, const char* info) {
    STRING errortext;
    if (error != 0)
        errortext = OSYS::GetLastErrorString(error);
    errortext.Truncate(511);
    STRING report;
    report.Printf(IsGerman()
                      ? "    Bedingung: %s\n    Datei: %s Zeile %d\n    Code : %ldL (%s)\n    Info : %s\n"
                      : "    Condition: %s\n    Location : %s line %d\n    Last Err.: %ldL (%s)\n"
                        "    Add. Info: %s\n",
                  condition ? condition : "<null>", file, line, error,
                  errortext.c_str() ? errortext.c_str() : "", info ? info : "<null>");
    return report;
}

void AppendToAssertLog(const STRING& product, const STRING& report) {
    FILE* log = OSYS::OpenSharedFile("assert.log", "a");
    if (log == nullptr)
        return; // best effort: the report is still logged and shown
    const time_t now = std::time(nullptr);
    std::fprintf(log, "--- %s --- %s %s ---\n\n", product.Text(), TIMETEXT::Date(now).c_str(),
                 TIMETEXT::Time(now).c_str());
    std::fprintf(log, "%s\n\n", report.Text());
    std::fclose(log);
}

const char* const DialogEnglish =
    "Unexpected condition encountered!\n\nPlease contact us via our web site and \nprovide the following "
    "information (logged \nin assert.log file in the program's \ninstallation folder):\n\n%s\nDo you want to "
    "try "
    "to continue with the program?";
const char* const DialogGerman =
    "Es ist eine unerwartete Situation aufgetreten!\n\nBitte melden Sie die Umstaende des Fehlers und die "
    "folgenden\nInformationen an uns (siehe auch Datei assert.log im Ordner,\nin dem das Programm "
    "installiert "
    "wurde):\n\n%s\nWollen Sie jetzt versuchen mit dem Programm fortzufahren?";

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Public interface

bool LogPrintf(const char* format, ...) {
    LOGIT& log = LOGIT::Instance();
    if (!log.Active())
        return false;
    va_list args;
    va_start(args, format);
    bool written = log.Write(format, args);
    va_end(args);
    return written;
}

bool LogPrintfLevel(uint32_t level, const char* format, ...) {
    LOGIT& log = LOGIT::Instance();
    if (!LevelPasses(level, log.Level()))
        return false;
    if (format != nullptr && log.Active()) {
        va_list args;
        va_start(args, format);
        log.Write(format, args);
        va_end(args);
    }
    return true;
}

bool LogitOption(const char* argument) {
    return LOGIT::Instance().Option(argument);
}

bool LogitActive() {
    return LOGIT::Instance().Active();
}

uint32_t GetLogitLevel() {
    return LOGIT::Instance().Level();
}

STRING LogitFileName() {
    return LOGIT::Instance().FileName();
}

void LogitSetCrashDumpHandler(CRASHDUMPREQUEST handler) {
    LOGIT::Instance().CrashDumpHandler = handler;
}

int LogitCrashDumpLevel() {
    return LOGIT::Instance().CrashDumpLevel;
}

void SetAssertSilent(bool silent) {
    LOGIT::Instance().NoAssert = silent;
}

bool IsAssertSilent() {
    return LOGIT::Instance().NoAssert;
}

ASSERTFAILURE LastAssertFailure() {
    return ASSERTRECORDER::Instance().Get();
}

bool Assert(bool condition, const char* conditiontext, const char* sourcefile, int line, const char* info,
            bool silent) {
    if (condition)
        return true;
    // Read first: everything below may change the thread's last error.
    const long error = OSYS::GetLastErrorCode();
    // An assertion raised while reporting one (in the log or a string operation) is not reported again.
    static thread_local bool reporting = false;
    if (reporting)
        return true;
    reporting = true;

    const char* file = BareFileName(sourcefile);
    ASSERTRECORDER::Instance().Record(conditiontext ? conditiontext : "<null>", file, line,
                                      info ? info : "<null>");
    STRING product = gCompanyName || " " || gAppName || " (" || gAppVersion || ")";
    STRING report = AssertReport(conditiontext, file, line, error, info);
    LogPrintf("*** ASSERTION FAILED: \n%s\n", report.Text());
    AppendToAssertLog(product, report);

    bool carryOn = true;
    if (!silent && !IsAssertSilent()) {
        STRING title = product || " / " || OSYS::GetTimeString();
        STRING text;
        text.Printf(IsGerman() ? DialogGerman : DialogEnglish, report.Text());
        carryOn = LOGPLATFORM::AskContinueAfterAssertion(title.Text(), text.Text());
    }
    reporting = false;
    return carryOn;
}
