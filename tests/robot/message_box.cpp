#include "tests/robot/message_box.h"

#include "tests/robot/controls.h"
#include "tests/robot/robot_error.h"
#include "tests/robot/text.h"
#include "tests/robot/window_finder.h"

namespace uirobot {

namespace {

constexpr int kMessageTextId = 0xFFFF;

struct StandardButton {
    const char* label;
    int id;
};

constexpr StandardButton kStandardButtons[] = {
    {"OK", IDOK},       {"Cancel", IDCANCEL},      {"Abort", IDABORT},
    {"Retry", IDRETRY}, {"Ignore", IDIGNORE},      {"Yes", IDYES},
    {"No", IDNO},       {"Try Again", IDTRYAGAIN}, {"Continue", IDCONTINUE},
};

} // namespace

MessageBoxWindow MessageBoxWindow::waitFor(const WindowFinder& finder, const std::string& title,
                                           Milliseconds timeout) {
    return MessageBoxWindow(finder.waitFor(WindowQuery::ofClassTitled("#32770", title), timeout));
}

std::string MessageBoxWindow::message() const {
    return window_.child(kMessageTextId).text();
}

std::vector<std::string> MessageBoxWindow::buttons() const {
    std::vector<std::string> labels;
    for (const Window& control : window_.children()) {
        if (control.className() == "Button" && control.isVisible())
            labels.push_back(withoutMnemonic(control.text()));
    }
    return labels;
}

void MessageBoxWindow::answer(int buttonId) const {
    Button(window_.child(buttonId)).click();
    waitUntilClosed(window_);
}

void MessageBoxWindow::answer(std::string_view label) const {
    for (const StandardButton& button : kStandardButtons) {
        if (label == button.label && GetDlgItem(window_.handle(), button.id)) {
            answer(button.id);
            return;
        }
    }
    // A translated box: find the button by what it shows.
    Button(window_.childByText("Button", label)).click();
    waitUntilClosed(window_);
}

} // namespace uirobot
