// A program the robot drives, started as a separate process. The process is killed when the object goes away
// while it is still running, so a failing test never leaves a window behind for the next one.
#pragma once

#include "tests/robot/wait.h"

#include <windows.h>

#include <optional>
#include <string>

namespace uirobot {

// Owns one kernel handle and closes it.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept;
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const { return handle_; }
    HANDLE release();
    void reset(HANDLE handle = nullptr);
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = nullptr;
};

class RobotProcess {
public:
    // Starts "program" arguments in workingDirectory (empty: the robot's own). Throws RobotError on failure.
    // Under Wine the program's windows get frames drawn by Wine (see wine_settings.h).
    static RobotProcess start(const std::string& program, const std::string& arguments = {},
                              const std::string& workingDirectory = {});

    ~RobotProcess();
    RobotProcess(RobotProcess&&) noexcept = default;
    RobotProcess& operator=(RobotProcess&&) noexcept;
    RobotProcess(const RobotProcess&) = delete;
    RobotProcess& operator=(const RobotProcess&) = delete;

    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }
    const std::string& program() const { return program_; }

    bool isRunning() const;
    // The exit code, or nothing if the process is still running after timeout.
    std::optional<DWORD> waitForExit(Milliseconds timeout = kDefaultTimeout) const;
    // Like waitForExit, but a process that does not end is a RobotError.
    DWORD exitCode(Milliseconds timeout = kDefaultTimeout) const;
    // Returns once the program waits for input with nothing left to handle, or after timeout.
    void waitForIdle(Milliseconds timeout = Milliseconds{2000}) const;
    void kill();

private:
    RobotProcess(UniqueHandle process, DWORD id, std::string program);

    UniqueHandle process_;
    DWORD id_ = 0;
    std::string program_;
};

// The robot's own executable's folder, with a trailing backslash: the target programs are built beside it.
std::string ownDirectory();

} // namespace uirobot
