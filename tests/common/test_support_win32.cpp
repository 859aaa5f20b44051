#include "tests/common/test_support.h"

#include <windows.h>

#include <cstdlib>

void TestSetEnv(const char* name, const char* value) {
    // An empty value removes the variable from the runtime library's environment.
    _putenv_s(name, value != nullptr ? value : "");
}

unsigned long TestProcessId() {
    return GetCurrentProcessId();
}
