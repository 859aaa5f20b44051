#include "tests/lib/test_support.h"

#include <cstdlib>

void TestSetEnv(const char* name, const char* value) {
    // An empty value removes the variable from the runtime library's environment.
    _putenv_s(name, value != nullptr ? value : "");
}
