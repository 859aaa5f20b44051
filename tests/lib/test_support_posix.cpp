#include "tests/lib/test_support.h"

#include <cstdlib>

void TestSetEnv(const char* name, const char* value) {
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}
