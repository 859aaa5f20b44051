// The wizard frame's decisions, apart from its windows: which step a page's result leads to, and which
// presses of Back, Next and Cancel the page on show takes. Whatever comes through the frame's message queue,
// the walk stays within the steps the table lets it reach, and a page is ended at most once.
#pragma once

#include <cstdint>
#include <functional>

// Page results.
constexpr int PAGE_NEXT = 149;
constexpr int PAGE_BACK = 148;
constexpr int PAGE_CLOSE = 0;
constexpr int PAGE_REPEAT_DIRECTION = -1; // go on in the direction of the previous step

// How many steps a wizard can reach in a table whose step ids idat gives by index: those up to and including
// the first with the finishing id. 0 when a record with id 0 or the end marker comes first: the walk would
// have no step to stop at.
int ReachableSteps(const std::function<intptr_t(int index)>& idat, intptr_t finishing, intptr_t endmarker);

class STEPWALK {
public:
    enum class NEXT {
        Run,      // run the page of Step()
        AskQuit,  // a page before the finishing one was closed: ask whether to quit
        Finished, // the finishing page was closed
    };

    // reachable > 0; the last reachable step is the finishing one.
    explicit STEPWALK(int reachable) : Reachable(reachable) {}

    int Step() const { return Current; }
    bool First() const { return Current == 0; }
    bool Finishing() const { return Current == Reachable - 1; }
    // The last result was Back on the first step: a fault of the page that returned it.
    bool BackOnFirst() const { return Fault; }

    // The page of Step() returned result. Back on the first step and Next on the finishing one stay.
    NEXT After(int result);

private:
    int Reachable;
    int Current = 0;
    int Previous = PAGE_NEXT; // the direction of travel: forward before the first step
    bool Fault = false;
};

// Which presses of the navigation buttons a page takes: the first that ends it. None while no page loop
// runs, once a press has ended the page, or while a question is open over the wizard.
class NAVGATE {
public:
    void PageRuns() {
        Running = true;
        Leaving = false;
    }
    void PageEnded() { Running = false; }
    // A press of a button; usable: it is shown and enabled. True: the press ends the page.
    bool Take(bool usable, bool questionopen);
    bool PageRunning() const { return Running && !Leaving; }

private:
    bool Running = false;
    bool Leaving = false;
};
