// The wizard frame's step logic apart from its windows: which steps a table lets it reach and where results
// lead. (Which presses a page takes is tried on the real frame, in setupdialog_win32_test.cpp.)
#include <gtest/gtest.h>

#include <vector>

#include "setup/wizard/stepwalk.h"

namespace {

constexpr intptr_t FINISH = 7;
constexpr intptr_t END = 9;

int Reachable(const std::vector<intptr_t>& ids) {
    return ReachableSteps([&](int index) { return ids.at(static_cast<size_t>(index)); }, FINISH, END);
}

TEST(StepWalk, TheReachableStepsEndAtTheFinishingStepAndABrokenTableHasNone) {
    EXPECT_EQ(7, Reachable({1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0, 0, 0, 0, 9}));
    EXPECT_EQ(9, Reachable({1, 2, 3, 4, 5, 16, 15, 6, 7, 0, 0, 0, 0, 0, 9}));
    EXPECT_EQ(3, Reachable({11, 12, 7, 0, 0, 0, 9}));
    EXPECT_EQ(0, Reachable({1, 0, 7}));
    EXPECT_EQ(0, Reachable({1, 2, 9}));
    EXPECT_EQ(0, Reachable({0}));
}

struct WALKCASE {
    std::vector<int> Results;
    std::vector<int> Steps; // the step after each result
    STEPWALK::NEXT Last;
};

TEST(StepWalk, ResultsMoveOneStepAtMostAndNeverOutOfTheTable) {
    const WALKCASE cases[] = {
        {{149, 149, 149}, {1, 2, 2}, STEPWALK::NEXT::Run},       // Next on the finishing page stays
        {{148, 148}, {0, 0}, STEPWALK::NEXT::Run},               // Back on the first page stays
        {{149, -1, 148, -1}, {1, 2, 1, 0}, STEPWALK::NEXT::Run}, // -1 repeats the direction
        {{149, 0}, {1, 1}, STEPWALK::NEXT::AskQuit},
        {{149, 149, 0}, {1, 2, 2}, STEPWALK::NEXT::Finished},
        {{149, 0, -1}, {1, 1, 2}, STEPWALK::NEXT::Run},  // a close is no direction to repeat
        {{149, 77, -1}, {1, 1, 2}, STEPWALK::NEXT::Run}, // nor is a stay
    };
    for (const WALKCASE& c : cases) {
        STEPWALK walk(3);
        STEPWALK::NEXT next = STEPWALK::NEXT::Run;
        for (size_t i = 0; i < c.Results.size(); i++) {
            next = walk.After(c.Results[i]);
            EXPECT_EQ(c.Steps[i], walk.Step()) << "after result " << i;
        }
        EXPECT_EQ(c.Last, next);
    }
    STEPWALK first(3);
    first.After(148);
    EXPECT_TRUE(first.BackOnFirst());
    first.After(149);
    EXPECT_FALSE(first.BackOnFirst());
}

} // namespace
