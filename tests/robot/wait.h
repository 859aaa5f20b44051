// Polling: the target runs in its own process, so the robot can only look again until the screen shows
// what it expects or the time is up.
#pragma once

#include <chrono>
#include <functional>

namespace uirobot {

using Milliseconds = std::chrono::milliseconds;

// Long enough for a cold Wine start of a small program, short enough that a broken test fails quickly.
inline constexpr Milliseconds kDefaultTimeout{10000};

// Calls condition until it returns true (-> true) or timeout has passed (-> false).
bool waitUntil(const std::function<bool()>& condition, Milliseconds timeout = kDefaultTimeout,
               Milliseconds interval = Milliseconds{20});

} // namespace uirobot
