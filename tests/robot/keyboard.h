// Key presses for a window of another process. They go to the control that has the keyboard focus in the
// target (or to the window itself), so a dialog's own keyboard handling decides what Enter or Escape does.
#pragma once

#include "tests/robot/window.h"

namespace uirobot {

void pressKey(const Window& window, UINT virtualKey);
// Enter: the dialog's default button.
inline void pressEnter(const Window& window) {
    pressKey(window, VK_RETURN);
}
// Escape: the dialog's Cancel.
inline void pressEscape(const Window& window) {
    pressKey(window, VK_ESCAPE);
}

// Alt+F4 on the focused control of window's top-level window: the system closes that window.
void pressAltF4(const Window& window);
// A click of the close box in the title bar of window's top-level window.
void clickCloseBox(const Window& window);

// The control that has the keyboard focus in the thread of window, or an empty Window.
Window focusedControl(const Window& window);

} // namespace uirobot
