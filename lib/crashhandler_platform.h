// The seam between the portable crash handler (crashhandler.cpp) and the platform that catches faults
// (crashhandler_win32.cpp, crashhandler_posix.cpp). Internal to the library.
#pragma once

namespace CRASHPLATFORM {

// Installs the fault handler (idempotent) once the crash level is above 0.
void Install();
// Frees the memory reserve kept for the handler.
void Release();

} // namespace CRASHPLATFORM
