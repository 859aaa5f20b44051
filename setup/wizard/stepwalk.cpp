#include "setup/wizard/stepwalk.h"

int ReachableSteps(const std::function<intptr_t(int index)>& idat, intptr_t finishing, intptr_t endmarker) {
    for (int index = 0;; index++) {
        const intptr_t id = idat(index);
        if (id == finishing)
            return index + 1;
        if (id == 0 || id == endmarker)
            return 0;
    }
}

STEPWALK::NEXT STEPWALK::After(int result) {
    Fault = false;
    if (result == PAGE_REPEAT_DIRECTION)
        result = Previous;
    switch (result) {
    case PAGE_BACK:
        Fault = First();
        if (Fault)
            return NEXT::Run;
        Current--;
        break;
    case PAGE_NEXT:
        // A Next on the finishing page can only be a stale one: its page shows no Next.
        if (!Finishing())
            Current++;
        break;
    case PAGE_CLOSE:
        return Finishing() ? NEXT::Finished : NEXT::AskQuit;
    default:
        return NEXT::Run; // the same step again
    }
    // Only a direction is repeated: a page that skips itself after a stay or a close would stay for ever.
    Previous = result;
    return NEXT::Run;
}

bool NAVGATE::Take(bool usable, bool questionopen) {
    if (!Running || Leaving || !usable || questionopen)
        return false;
    Leaving = true;
    return true;
}
