// A window or control of another process, seen from outside: what a person can read on it.
// It does not own the window (the target does); it only holds the handle.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace uirobot {

class Window {
public:
    Window() = default;
    explicit Window(HWND handle) : handle_(handle) {}

    HWND handle() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    bool operator==(const Window& other) const { return handle_ == other.handle_; }
    bool operator!=(const Window& other) const { return handle_ != other.handle_; }

    bool exists() const;
    std::string text() const; // the caption, or a control's text
    std::string className() const;
    int id() const; // the dialog id of a control
    bool isEnabled() const;
    bool isVisible() const;
    RECT screenRect() const;
    DWORD processId() const;
    DWORD threadId() const;
    Window topLevel() const;

    // All controls inside, in creation order, children of children included.
    std::vector<Window> children() const;
    // The control with dialog id (GetDlgItem); a RobotError if there is none.
    Window child(int id) const;
    // The first control whose text, read without its "&", is text; a RobotError if there is none.
    Window childByText(std::string_view text) const;
    // The first control of that class whose text is text, as childByText.
    Window childByText(std::string_view className, std::string_view text) const;

    // "Button 'OK' (id 1)": for failure messages.
    std::string describe() const;

private:
    HWND handle_ = nullptr;
};

// Sends a message to a window of another process, waiting at most a few seconds: a hung target becomes a
// RobotError instead of a hung test.
LRESULT sendMessage(Window window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues a message for the target's message loop and returns at once: what input does.
void postMessage(Window window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

} // namespace uirobot
