// Failures of the robot: a window that never appeared, a control that is missing, a target that hangs.
// They are thrown as exceptions so that a test stops at the first step that went wrong, with a message
// that says what the robot was waiting for.
#pragma once

#include <stdexcept>
#include <string>

namespace uirobot {

class RobotError : public std::runtime_error {
public:
    explicit RobotError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace uirobot
