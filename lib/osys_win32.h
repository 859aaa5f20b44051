// Helpers that the Windows files of OSYS share.
#pragma once

#include <windows.h>

#include <cstdint>

#include "lib/strings.h"

namespace OSYSWIN {

// A handle as the log prints it.
inline unsigned long long HandleValue(const void* p) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p));
}

// Reads a registry value of any size into data; the result is the system's error code.
LONG QueryValue(HKEY key, const char* value, DWORD* type, BINARY& data);

} // namespace OSYSWIN
