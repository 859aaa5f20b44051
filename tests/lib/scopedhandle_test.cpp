// SCOPEDHANDLE: every owned handle is closed exactly once, whichever way ownership moves.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "lib/scopedhandle.h"

namespace {

// Handles are numbers; -1 owns nothing. Closing records the number.
std::vector<int> Closed;

struct NUMBERTRAITS {
    using VALUE = int;
    static constexpr VALUE Null() { return -1; }
    static void Close(VALUE value) { Closed.push_back(value); }
};
using NUMBER = SCOPEDHANDLE<NUMBERTRAITS>;

class ScopedHandle : public ::testing::Test {
protected:
    void SetUp() override { Closed.clear(); }
};

} // namespace

TEST_F(ScopedHandle, ClosesWhatItOwnsWhenItGoesAndNothingWhenItOwnsNothing) {
    {
        NUMBER none;
        EXPECT_FALSE(none);
        NUMBER zero(0); // zero is a handle like any other for these traits
        EXPECT_TRUE(zero);
        EXPECT_EQ(zero.get(), 0);
    }
    EXPECT_EQ(Closed, std::vector<int>({0}));
}

TEST_F(ScopedHandle, ResetClosesThePreviousHandleButNotTheSameOneTwice) {
    NUMBER handle(1);
    handle.reset(2);
    EXPECT_EQ(Closed, std::vector<int>({1}));
    handle.reset(2);
    EXPECT_EQ(Closed, std::vector<int>({1}));
    handle.reset();
    EXPECT_EQ(Closed, std::vector<int>({1, 2}));
    EXPECT_FALSE(handle);
}

TEST_F(ScopedHandle, ReleaseGivesTheHandleUpUnclosed) {
    {
        NUMBER handle(3);
        EXPECT_EQ(handle.release(), 3);
        EXPECT_FALSE(handle);
    }
    EXPECT_TRUE(Closed.empty());
}

TEST_F(ScopedHandle, MovingHandsOwnershipOnAndAssignmentClosesTheTargetsOwnHandle) {
    {
        NUMBER first(4);
        NUMBER second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), 4);
        NUMBER third(5);
        third = std::move(second);
        EXPECT_EQ(Closed, std::vector<int>({5}));
        EXPECT_EQ(third.get(), 4);
        NUMBER& same = third;
        third = std::move(same);
        EXPECT_EQ(third.get(), 4);
    }
    EXPECT_EQ(Closed, std::vector<int>({5, 4}));
}

TEST_F(ScopedHandle, ReceiveClosesTheOldHandleAndTakesWhatIsWrittenThrough) {
    NUMBER handle(6);
    int* slot = handle.receive();
    EXPECT_EQ(Closed, std::vector<int>({6}));
    *slot = 7;
    EXPECT_EQ(handle.get(), 7);
}
