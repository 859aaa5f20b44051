#include "tests/robot/robot_process.h"

#include "tests/robot/robot_error.h"
#include "tests/robot/text.h"
#include "tests/robot/wine_settings.h"

#include <vector>

namespace uirobot {

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

HANDLE UniqueHandle::release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
}

void UniqueHandle::reset(HANDLE handle) {
    if (*this)
        CloseHandle(handle_);
    handle_ = handle;
}

RobotProcess RobotProcess::start(const std::string& program, const std::string& arguments,
                                 const std::string& workingDirectory) {
    if (GetFileAttributesW(toWide(program).c_str()) == INVALID_FILE_ATTRIBUTES)
        throw RobotError("cannot start " + program + ": there is no such file");
    letWineDrawWindowFrames(program.substr(program.find_last_of("\\/") + 1));
    std::wstring commandLine = L"\"" + toWide(program) + L"\"";
    if (!arguments.empty())
        commandLine += L" " + toWide(arguments);
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    std::wstring directory = toWide(workingDirectory);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Wine now and then fails a start with ERROR_INTERNAL_ERROR while other tests start programs (seen once in
    // a whole suite); the same start goes through a moment later. A program that cannot start fails each time.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0)
            Sleep(200);
        std::vector<wchar_t> line = buffer;
        started = CreateProcessW(toWide(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 directory.empty() ? nullptr : directory.c_str(), &startup, &info) != 0;
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR)
            break;
    }
    if (!started)
        throw RobotError("cannot start " + program + " (error " + std::to_string(GetLastError()) + ")");
    CloseHandle(info.hThread);
    return RobotProcess(UniqueHandle(info.hProcess), info.dwProcessId, program);
}

RobotProcess::RobotProcess(UniqueHandle process, DWORD id, std::string program)
    : process_(std::move(process)), id_(id), program_(std::move(program)) {}

RobotProcess::~RobotProcess() {
    kill();
}

RobotProcess& RobotProcess::operator=(RobotProcess&& other) noexcept {
    if (this != &other) {
        kill();
        process_ = std::move(other.process_);
        id_ = other.id_;
        program_ = std::move(other.program_);
    }
    return *this;
}

bool RobotProcess::isRunning() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> RobotProcess::waitForExit(Milliseconds timeout) const {
    if (!process_ ||
        WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

DWORD RobotProcess::exitCode(Milliseconds timeout) const {
    auto code = waitForExit(timeout);
    if (!code)
        throw RobotError(program_ + " did not exit within " + std::to_string(timeout.count()) + " ms");
    return *code;
}

void RobotProcess::waitForIdle(Milliseconds timeout) const {
    if (process_)
        WaitForInputIdle(process_.get(), static_cast<DWORD>(timeout.count()));
}

void RobotProcess::kill() {
    if (!isRunning())
        return;
    TerminateProcess(process_.get(), 0xDEAD);
    // Wait, so that the next test does not meet the dying program's windows.
    WaitForSingleObject(process_.get(), 5000);
}

std::string ownDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return toUtf8(path.substr(0, path.find_last_of(L"\\/") + 1));
}

} // namespace uirobot
