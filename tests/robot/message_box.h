// A message box of the target: its title, its text and its buttons, and answering it.
#pragma once

#include "tests/robot/wait.h"
#include "tests/robot/window.h"

#include <string>
#include <string_view>
#include <vector>

namespace uirobot {

class WindowFinder;

class MessageBoxWindow {
public:
    // Waits for a message box (a "#32770" window) with exactly this title.
    static MessageBoxWindow waitFor(const WindowFinder& finder, const std::string& title,
                                    Milliseconds timeout = kDefaultTimeout);

    explicit MessageBoxWindow(Window window) : window_(window) {}
    Window window() const { return window_; }

    std::string title() const { return window_.text(); }
    // The question or statement: the static control with id 0xFFFF.
    std::string message() const;
    // The labels of the buttons, without "&", e.g. {"Yes", "No"}.
    std::vector<std::string> buttons() const;

    // Presses the button with this id (IDYES, IDNO, IDOK, ...) and waits until the box is gone.
    void answer(int buttonId) const;
    // Presses the button labelled "Yes", "No", "OK", "Cancel", ... and waits until the box is gone.
    void answer(std::string_view label) const;

private:
    Window window_;
};

} // namespace uirobot
