// Entry of the setuppack tests.
#include <gtest/gtest.h>

#include "lib/orvik.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A line that setup would stop at is reported by setuppack, never asked about.
    SetAssertSilent(true);
    return RUN_ALL_TESTS();
}
