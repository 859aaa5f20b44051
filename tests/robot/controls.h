// The standard controls, driven the way a person uses them: the robot queues the same input a click or a key
// press would give, so the target's own handlers run (notifications to the dialog, auto check boxes, default
// buttons). Reading goes through the controls' own messages, which Windows copies between processes.
#pragma once

#include "tests/robot/window.h"

#include <string>
#include <string_view>
#include <vector>

namespace uirobot {

// Makes the top-level window of control the active one, as a person's click would.
void bringToFront(const Window& control);

class Button {
public:
    explicit Button(Window window) : window_(window) {}
    Window window() const { return window_; }
    // Clicks the button; a RobotError if a person could not click it (hidden or disabled).
    // Returns at once: what the click opens (a message box, the next page) is for the caller to wait for.
    void click() const;

private:
    Window window_;
};

class CheckBox {
public:
    explicit CheckBox(Window window) : window_(window) {}
    Window window() const { return window_; }
    bool isChecked() const;
    // Clicks the box if it is not in the wanted state yet, then waits until it shows that state.
    void setChecked(bool checked) const;

private:
    Window window_;
};

class RadioButton {
public:
    explicit RadioButton(Window window) : window_(window) {}
    Window window() const { return window_; }
    bool isSelected() const;
    // Clicks the button and waits until it shows as selected.
    void select() const;

private:
    Window window_;
};

class Edit {
public:
    explicit Edit(Window window) : window_(window) {}
    Window window() const { return window_; }
    std::string text() const { return window_.text(); }
    // Replaces the text at once (WM_SETTEXT); a single-line edit tells its dialog with EN_CHANGE.
    void setText(std::string_view text) const;
    // Clicks into the field, selects what is there and types text character by character, then waits until
    // the field shows it.
    void type(std::string_view text) const;

private:
    Window window_;
};

class ListBox {
public:
    explicit ListBox(Window window) : window_(window) {}
    Window window() const { return window_; }
    std::vector<std::string> items() const;
    int selectedIndex() const; // -1: nothing selected
    std::string selectedText() const;
    // Selects the item and tells the dialog, as a click on it does (LBN_SELCHANGE if the list notifies).
    void select(int index) const;
    void select(std::string_view item) const;

private:
    Window window_;
};

class ComboBox {
public:
    explicit ComboBox(Window window) : window_(window) {}
    Window window() const { return window_; }
    std::vector<std::string> items() const;
    int selectedIndex() const;
    std::string selectedText() const;
    // Selects the item and tells the dialog (CBN_SELCHANGE), as picking it from the drop-down list does.
    void select(int index) const;
    void select(std::string_view item) const;

private:
    Window window_;
};

} // namespace uirobot
