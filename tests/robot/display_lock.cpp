#include "tests/robot/display_lock.h"

#include "tests/robot/robot_error.h"

namespace uirobot {

DisplayLock::DisplayLock(Milliseconds timeout)
    : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\uirobot-display")) {
    if (!mutex_)
        throw RobotError("cannot create the display lock");
    DWORD waited = WaitForSingleObject(mutex_.get(), static_cast<DWORD>(timeout.count()));
    // WAIT_ABANDONED: a session before crashed while holding it; the lock is ours now.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        throw RobotError("another UI test held the screen for " + std::to_string(timeout.count()) + " ms");
}

DisplayLock::~DisplayLock() {
    ReleaseMutex(mutex_.get());
}

} // namespace uirobot
