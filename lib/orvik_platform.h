// The seam between the portable log/assertion code (orvik.cpp) and the platform (orvik_win32.cpp,
// orvik_posix.cpp). Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/strings.h"

namespace LOGPLATFORM {

// Destination of log lines: a file, the standard error handle or a console.
class LOGSINK {
public:
    enum class KIND { File, StdErr, Console };

    LOGSINK() = default;
    ~LOGSINK() { Close(); }
    LOGSINK(const LOGSINK&) = delete;
    LOGSINK& operator=(const LOGSINK&) = delete;

    // keep: append to an existing file; writethrough: every write reaches the disk.
    bool Open(KIND kind, const char* filename, bool writethrough, bool keep);
    void Write(const char* text, size_t length);
    void Close();
    bool IsOpen() const { return Handle != Invalid; }

private:
    static constexpr intptr_t Invalid = -1;
    intptr_t Handle = Invalid;
    bool Owned = false;
    bool ConsoleAllocated = false;
};

// Passes a line to the debugger (Windows) or standard error (elsewhere).
void DebuggerOutput(const char* text);
// Log file used by the open switches without a target.
STRING DefaultLogFileName();
// Shows the assertion dialog. Returns true to continue; ends the process when the user declines.
bool AskContinueAfterAssertion(const char* title, const char* text);

} // namespace LOGPLATFORM
