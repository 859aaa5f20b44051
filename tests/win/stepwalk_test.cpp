// The wizard frame's step logic apart from its windows: where results lead, which presses a page takes, and
// a frame's message queue replayed with presses arriving at random moments.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "setup/stepwalk.h"

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

TEST(NavGate, APageTakesOnePressWhileItRunsAndNoneWhileAQuestionIsOpen) {
    NAVGATE gate;
    EXPECT_FALSE(gate.Take(true, false)) << "no page runs yet";
    gate.PageRuns();
    EXPECT_FALSE(gate.Take(false, false)) << "a hidden or disabled button";
    EXPECT_FALSE(gate.Take(true, true)) << "a question is open";
    EXPECT_TRUE(gate.Take(true, false));
    EXPECT_FALSE(gate.Take(true, false)) << "the page is leaving";
    gate.PageEnded();
    EXPECT_FALSE(gate.Take(true, false)) << "between pages";
    gate.PageRuns();
    EXPECT_TRUE(gate.Take(true, false));
}

// The frame's queue: presses of Back, Next and Cancel arrive at random moments, while the frame serves its
// queue as the wizard does (input left over from the last page is discarded when a page starts, a press
// the gate takes queues the end of the page). Cancel's question is answered at random.
TEST(NavGate, AnyQueueOfPressesEndsEachPageOnceAndKeepsTheWalkInTheTable) {
    enum KIND { PRESS_BACK = 148, PRESS_NEXT = 149, PRESS_CANCEL = 0, END_PAGE = 1000 };
    for (unsigned seed = 1; seed <= 200; seed++) {
        std::mt19937 random(seed);
        const int reachable = 2 + static_cast<int>(random() % 8);
        STEPWALK walk(reachable);
        NAVGATE gate;
        std::deque<std::pair<int, int>> queue; // kind, result of an END_PAGE
        int pagesrun = 0, ended = -1;
        gate.PageRuns();
        for (int tick = 0; tick < 400 && ended < 0; tick++) {
            if (random() % 2 == 0) {
                const int kinds[] = {PRESS_BACK, PRESS_NEXT, PRESS_CANCEL};
                queue.push_back({kinds[random() % 3], 0});
                continue;
            }
            if (queue.empty())
                continue;
            const auto [kind, result] = queue.front();
            queue.pop_front();
            if (kind != END_PAGE) {
                // The first page shows no Back, the finishing one only Cancel.
                const bool usable =
                    !(kind == PRESS_BACK && walk.First()) && !(walk.Finishing() && kind != PRESS_CANCEL);
                if (gate.Take(usable, false))
                    queue.push_back({END_PAGE, kind});
                continue;
            }
            gate.PageEnded();
            int ends = 0;
            for (const auto& queued : queue)
                ends += queued.first == END_PAGE;
            ASSERT_EQ(0, ends) << "a second end of the page is queued, seed " << seed;
            const STEPWALK::NEXT next = walk.After(result);
            ASSERT_GE(walk.Step(), 0);
            ASSERT_LT(walk.Step(), reachable) << "seed " << seed;
            ASSERT_FALSE(walk.BackOnFirst()) << "seed " << seed;
            if (next == STEPWALK::NEXT::Finished || (next == STEPWALK::NEXT::AskQuit && random() % 4 == 0))
                ended = next == STEPWALK::NEXT::Finished;
            queue.clear(); // the next page starts: what was queued meanwhile is discarded
            gate.PageRuns();
            pagesrun++;
        }
        EXPECT_GT(pagesrun, 0) << "seed " << seed;
    }
}

} // namespace
