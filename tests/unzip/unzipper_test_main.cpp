// Entry of the UNZIPPER tests: failed assertions are only reported, no dialog waits for a user.
#include <gtest/gtest.h>

#include "lib/orvik.h"

int main(int argc, char** argv) {
    SetAssertSilent(true);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
