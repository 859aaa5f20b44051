// The diagnostic log (LOGIT) and the assertion facility of the whole system.
#pragma once

#include <cstdint>

#include "lib/strings.h"

// Writes a line when logging is active (log open or debugger output). A format without "%" is written
// verbatim. True when written.
bool LogPrintf(const char* format, ...) ORVIK_PRINTF_FORMAT(1, 2);
// Writes only when level passes the LogitLevel filter; a null format only tests the filter. True when the
// level passes.
bool LogPrintfLevel(uint32_t level, const char* format, ...) ORVIK_PRINTF_FORMAT(2, 3);
// Interprets one program argument as a logging switch ("/LOGIT", "-logit:FILE", "/LOG:3", "/D:256",
// "/NOASSERT", ...). True when it was one; for a switch that opens the log, only when the log could be opened.
bool LogitOption(const char* argument);
#if defined(_WIN32)
// Key combinations of window procedures: Ctrl+Shift+F5..F9 (WM_KEYDOWN with the key in param1, or WM_NOTIFY
// with a list-view LVN_KEYDOWN notification whose NMLVKEYDOWN is passed as param2).
void LogitHotkey(unsigned message, uintptr_t param1, intptr_t param2);
#endif

// State queries for callers that must decide before doing expensive work.
bool LogitActive();
uint32_t GetLogitLevel();
// Name of the open log file; empty when the log is closed or goes to a handle.
STRING LogitFileName();

// Crash dumps requested by "/LOGITHARD" or "/CRASHDUMP[:n]". The crash handler registers itself here; a
// request made before that is remembered and reported by LogitCrashDumpLevel.
using CRASHDUMPREQUEST = void (*)(int level);
void LogitSetCrashDumpHandler(CRASHDUMPREQUEST handler);
int LogitCrashDumpLevel();

// Reports a failed condition: logs it, appends it to "assert.log" in the working directory and, unless
// assertions are silent or silent is set, asks the user whether to continue (Windows only; elsewhere the
// program continues). Returns true when the program is to continue.
bool Assert(bool condition, const char* conditiontext, const char* sourcefile, int line, const char* info,
            bool silent);

// Process-wide switch for the assertion dialog (the "/NOASSERT" flag): tests and unattended runs set it so
// that failed assertions are only reported.
void SetAssertSilent(bool silent);
bool IsAssertSilent();

// What the last failed assertion reported, for tests and diagnostics.
struct ASSERTFAILURE {
    unsigned long Count = 0; // failed assertions so far in this process
    STRING Condition;
    STRING Info;
    STRING File;
    int Line = 0;
};
ASSERTFAILURE LastAssertFailure();

#define ORVIK_ASSERT(cond) Assert(!!(cond), #cond, __FILE__, __LINE__, nullptr, false)
#define ORVIK_ASSERT_INFO(cond, info) Assert(!!(cond), #cond, __FILE__, __LINE__, (info), false)
#define ORVIK_ASSERT_SILENT(cond, info) Assert(!!(cond), #cond, __FILE__, __LINE__, (info), true)

#if defined(_WIN32)
// Message pumps for code that must wait without freezing the user interface (main thread only).
namespace WINDOWS {
// Dispatches up to count queued messages of the thread; returns count minus the number dispatched.
int WinProcessMessages(int count);
// Waits for handle while dispatching input; true only when the handle was signalled.
bool WinWaitForSingleObject(void* handle, unsigned long timeoutms);
} // namespace WINDOWS
#endif
