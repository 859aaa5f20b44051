// Test entry: a failed assertion is only reported, so that no dialog of it waits for a user.
#include <gtest/gtest.h>

#include "lib/orvik.h"

int main(int argc, char** argv) {
    SetAssertSilent(true);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
