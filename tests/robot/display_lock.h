// One robot session at a time on the screen. ctest runs tests in parallel; two sessions at once would bring
// their windows to the front over each other and spoil each other's screenshots. Every UI test holds this
// lock while its program is on the screen; it is shared by all processes of the Wine prefix.
#pragma once

#include "tests/robot/robot_process.h"
#include "tests/robot/wait.h"

namespace uirobot {

class DisplayLock {
public:
    // Waits for the sessions before; a RobotError if one holds the screen longer than timeout.
    explicit DisplayLock(Milliseconds timeout = Milliseconds{120000});
    ~DisplayLock();
    DisplayLock(const DisplayLock&) = delete;
    DisplayLock& operator=(const DisplayLock&) = delete;

private:
    UniqueHandle mutex_;
};

} // namespace uirobot
