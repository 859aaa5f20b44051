// Finding the top-level windows of a program: they appear some time after it starts, so every lookup waits.
#pragma once

#include "tests/robot/wait.h"
#include "tests/robot/window.h"

#include <string>
#include <vector>

namespace uirobot {

class RobotProcess;

// What a person looks for on the screen: a window with this title, a title containing some words, or a kind
// of window ("#32770" is the class of dialogs and message boxes).
class WindowQuery {
public:
    static WindowQuery titled(std::string title);
    static WindowQuery titleContaining(std::string words);
    static WindowQuery ofClass(std::string className);
    // Both the class and the exact title, e.g. a message box with a given title.
    static WindowQuery ofClassTitled(std::string className, std::string title);

    bool matches(const Window& window) const;
    std::string describe() const;

private:
    enum class TitleMatch { Any, Exact, Contains };
    TitleMatch titleMatch_ = TitleMatch::Any;
    std::string title_;
    std::string className_;
};

class WindowFinder {
public:
    // Looks at the visible top-level windows of one process.
    explicit WindowFinder(DWORD processId) : processId_(processId) {}
    explicit WindowFinder(const RobotProcess& process);
    // Looks at the visible top-level windows of every process: for a program that hands over to another
    // (a setup that continues in a copy of itself) or whose windows belong to the shell.
    static WindowFinder anyProcess() { return WindowFinder(ANY_PROCESS); }

    std::vector<Window> topLevelWindows() const;
    // The first matching window, or an empty Window.
    Window find(const WindowQuery& query) const;

    // Waits until a matching window is there; a RobotError naming the windows that were there if it never is.
    Window waitFor(const WindowQuery& query, Milliseconds timeout = kDefaultTimeout) const;
    // Waits until no matching window is left (e.g. a dialog closed after its OK button).
    void waitUntilGone(const WindowQuery& query, Milliseconds timeout = kDefaultTimeout) const;

private:
    static constexpr DWORD ANY_PROCESS = 0; // no process has the identifier 0 (the idle process)
    DWORD processId_;
};

// Visible top-level windows of any process whose title holds words. The title is read with GetWindowText,
// which for another process's window answers from the system's copy and sends nothing: a window that is still
// starting and not yet answering messages, such as the shell's, is found rather than waited on.
std::vector<Window> windowsTitled(const std::string& words);
// Waits for a visible top-level window of any process titled exactly title, other than except (e.g. a wizard
// whose message box has the same title); a RobotError if none comes.
Window waitForWindowTitled(const std::string& title, const Window& except = Window(),
                           Milliseconds timeout = kDefaultTimeout);

// Waits until window is closed; a RobotError if it stays.
void waitUntilClosed(const Window& window, Milliseconds timeout = kDefaultTimeout);

} // namespace uirobot
