// The install wizard as the UI robot sees it: the header's title and subtitle, and the controls of the page
// on show. Shared by the tests that drive the real wizard under Wine.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/robot/uirobot.h"

namespace wizardui {

inline std::string Title(const uirobot::Window& wizard) {
    return wizard.child(666).text();
}
inline std::string Subtitle(const uirobot::Window& wizard) {
    return wizard.child(667).text();
}

// Waits until the header shows title, up to the first placeholder ("$PROG", ...) in it.
inline void WaitForPage(const uirobot::Window& wizard, std::string title, uirobot::Milliseconds timeout) {
    title = title.substr(0, title.find('$'));
    ASSERT_TRUE(uirobot::waitUntil([&] { return Title(wizard).rfind(title, 0) == 0; }, timeout))
        << "expected the page titled '" << title << "', the wizard shows '" << Title(wizard) << "'";
}

// A control of the page on show (the wizard frame has controls with the same numbers).
inline uirobot::Window PageItem(const uirobot::Window& wizard, int id) {
    for (const uirobot::Window& control : wizard.children())
        if (control.id() == id && GetParent(control.handle()) != wizard.handle() && control.isVisible())
            return control;
    throw uirobot::RobotError("no control " + std::to_string(id) + " on the page on show");
}

// How many message boxes the process shows besides its wizard.
inline int BoxCount(const uirobot::WindowFinder& finder, const uirobot::Window& wizard) {
    int count = 0;
    for (const uirobot::Window& window : finder.topLevelWindows())
        count += window != wizard && window.className() == "#32770" && window.isVisible();
    return count;
}

// The message box a process shows over its wizard (the question asked on Cancel has the wizard's title).
inline uirobot::MessageBoxWindow BoxOverWizard(const uirobot::WindowFinder& finder,
                                               const uirobot::Window& wizard, uirobot::Milliseconds timeout) {
    uirobot::Window box;
    uirobot::waitUntil(
        [&] {
            for (const uirobot::Window& window : finder.topLevelWindows())
                if (window != wizard && window.className() == "#32770" && window.isVisible())
                    box = window;
            return static_cast<bool>(box);
        },
        timeout);
    if (!box)
        throw uirobot::RobotError("no message box over the wizard");
    return uirobot::MessageBoxWindow(box);
}

// The steps the wizard ran, as its log lists them: "step id result" for each page.
inline std::vector<std::string> StepsRun(const std::string& log) {
    std::vector<std::string> steps;
    const std::string mark = "SETUPDIALOGBOX::RunSteps step ";
    for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
        const size_t from = at + mark.size();
        steps.push_back(log.substr(from, log.find_first_of("\r\n", from) - from));
    }
    return steps;
}

// Two presses as one hurried double click: the second comes before the page has reacted to the first.
inline void PressTwice(const uirobot::Window& button) {
    uirobot::Button(button).click();
    uirobot::postMessage(button, BM_CLICK);
}

// Cancel, Escape, Alt+F4 and the close box, each pressed twice as a hurried hand does. Each must bring one
// question, which answer gets and closes; a second question is a failure.
inline void CancelEveryWay(const uirobot::WindowFinder& finder, const uirobot::Window& wizard,
                           const std::function<void(const uirobot::MessageBoxWindow&)>& answer,
                           uirobot::Milliseconds timeout) {
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Cancel", [&] { PressTwice(wizard.child(IDCANCEL)); }},
        {"Escape", [&] { uirobot::pressEscape(wizard), uirobot::pressEscape(wizard); }},
        {"Alt+F4", [&] { uirobot::pressAltF4(wizard), uirobot::pressAltF4(wizard); }},
        {"the close box", [&] { uirobot::clickCloseBox(wizard), uirobot::clickCloseBox(wizard); }}};
    for (const auto& [way, press] : ways) {
        press();
        try {
            answer(BoxOverWizard(finder, wizard, timeout));
        } catch (const uirobot::RobotError& error) {
            ADD_FAILURE() << way << ": " << error.what();
            continue;
        }
        Sleep(300); // room for a second question
        EXPECT_EQ(BoxCount(finder, wizard), 0) << way << " asked twice";
    }
}

} // namespace wizardui
