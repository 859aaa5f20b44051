// Test entry: a failed assertion is only reported, so that no dialog of it waits for a user.
#include <gtest/gtest.h>

#include "lib/orvik.h"
#include "tests/robot/uirobot.h"

int main(int argc, char** argv) {
    SetAssertSilent(true);
    // Wine reads this when a program starts: every later run of this program (ctest starts one per test, after
    // listing them with a first run) gets window frames drawn by Wine in its screenshots.
    uirobot::letWineDrawWindowFrames("win_tests.exe");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
