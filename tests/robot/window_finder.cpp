#include "tests/robot/window_finder.h"

#include "tests/robot/robot_error.h"
#include "tests/robot/robot_process.h"
#include "tests/robot/text.h"

namespace uirobot {

namespace {

struct EnumState {
    DWORD processId;
    std::vector<Window>* windows;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // Hidden helper windows (IME, DDE, message-only) are no part of what a person sees.
    if ((state->processId == 0 || owner == state->processId) && IsWindowVisible(window))
        state->windows->emplace_back(window);
    return TRUE;
}

} // namespace

WindowQuery WindowQuery::titled(std::string title) {
    WindowQuery query;
    query.titleMatch_ = TitleMatch::Exact;
    query.title_ = std::move(title);
    return query;
}

WindowQuery WindowQuery::titleContaining(std::string words) {
    WindowQuery query;
    query.titleMatch_ = TitleMatch::Contains;
    query.title_ = std::move(words);
    return query;
}

WindowQuery WindowQuery::ofClass(std::string className) {
    WindowQuery query;
    query.className_ = std::move(className);
    return query;
}

WindowQuery WindowQuery::ofClassTitled(std::string className, std::string title) {
    WindowQuery query = titled(std::move(title));
    query.className_ = std::move(className);
    return query;
}

bool WindowQuery::matches(const Window& window) const {
    if (!className_.empty() && window.className() != className_)
        return false;
    switch (titleMatch_) {
    case TitleMatch::Any:
        return true;
    case TitleMatch::Exact:
        return window.text() == title_;
    case TitleMatch::Contains:
        return window.text().find(title_) != std::string::npos;
    }
    return false;
}

std::string WindowQuery::describe() const {
    std::string description;
    if (titleMatch_ == TitleMatch::Exact)
        description = "a window titled '" + title_ + "'";
    else if (titleMatch_ == TitleMatch::Contains)
        description = "a window whose title contains '" + title_ + "'";
    else
        description = "a window";
    if (!className_.empty())
        description += " of class " + className_;
    return description;
}

WindowFinder::WindowFinder(const RobotProcess& process) : processId_(process.id()) {}

std::vector<Window> WindowFinder::topLevelWindows() const {
    std::vector<Window> windows;
    EnumState state{processId_, &windows};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&state));
    return windows;
}

Window WindowFinder::find(const WindowQuery& query) const {
    for (const Window& window : topLevelWindows()) {
        // A window may close between the listing and the look at it.
        try {
            if (query.matches(window))
                return window;
        } catch (const RobotError&) {
        }
    }
    return {};
}

Window WindowFinder::waitFor(const WindowQuery& query, Milliseconds timeout) const {
    Window found;
    if (waitUntil([&] { return bool(found = find(query)); }, timeout))
        return found;
    std::string seen;
    for (const Window& window : topLevelWindows())
        seen += " [" + window.describe() + "]";
    const std::string owner = processId_ == ANY_PROCESS ? "" : " of process " + std::to_string(processId_);
    throw RobotError("no " + query.describe() + owner + " within " + std::to_string(timeout.count()) +
                     " ms; its windows:" + (seen.empty() ? " none" : seen));
}

void WindowFinder::waitUntilGone(const WindowQuery& query, Milliseconds timeout) const {
    if (!waitUntil([&] { return !find(query); }, timeout))
        throw RobotError(query.describe() + " is still open after " + std::to_string(timeout.count()) +
                         " ms");
}

std::vector<Window> windowsTitled(const std::string& words) {
    std::vector<Window> found;
    for (const Window& window : WindowFinder::anyProcess().topLevelWindows()) {
        wchar_t title[512] = L"";
        if (GetWindowTextW(window.handle(), title, 512) > 0 && toUtf8(title).find(words) != std::string::npos)
            found.push_back(window);
    }
    return found;
}

Window waitForWindowTitled(const std::string& title, const Window& except, Milliseconds timeout) {
    Window found;
    waitUntil(
        [&] {
            for (const Window& window : windowsTitled(title))
                if (window != except && window.text() == title)
                    found = window;
            return static_cast<bool>(found);
        },
        timeout);
    if (!found)
        throw RobotError("no window titled '" + title + "' within " + std::to_string(timeout.count()) +
                         " ms");
    return found;
}

void waitUntilClosed(const Window& window, Milliseconds timeout) {
    if (!waitUntil([&] { return !window.exists() || !window.isVisible(); }, timeout))
        throw RobotError(window.describe() + " is still open after " + std::to_string(timeout.count()) +
                         " ms");
}

} // namespace uirobot
