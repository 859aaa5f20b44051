#include "tests/common/test_support.h"

#include <unistd.h>

#include <cstdlib>

void TestSetEnv(const char* name, const char* value) {
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

unsigned long TestProcessId() {
    return static_cast<unsigned long>(getpid());
}
