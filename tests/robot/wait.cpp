#include "tests/robot/wait.h"

#include <thread>

namespace uirobot {

bool waitUntil(const std::function<bool()>& condition, Milliseconds timeout, Milliseconds interval) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
}

} // namespace uirobot
