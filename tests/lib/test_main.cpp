// Test entry: assertions only report (no dialog waits for a user) before any test runs.
#include <gtest/gtest.h>

#include "lib/orvik.h"

int main(int argc, char** argv) {
    SetAssertSilent(true);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
