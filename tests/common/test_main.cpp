// Entry of the test programs that use the library: a failed assertion is only reported, so that no dialog
// of it waits for a user. A program that must prepare more before its tests are even listed does so while it
// starts (see tests/win/wine_frames.cpp).
#include <gtest/gtest.h>

#include "lib/orvik.h"

int main(int argc, char** argv) {
    SetAssertSilent(true);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
