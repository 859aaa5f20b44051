#include "tests/robot/keyboard.h"

#include "tests/robot/controls.h"

namespace uirobot {

Window focusedControl(const Window& window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(window.threadId(), &info))
        return {};
    return Window(info.hwndFocus);
}

void pressKey(const Window& window, UINT virtualKey) {
    Window top = window.topLevel();
    bringToFront(top);
    Window target = focusedControl(top);
    if (!target || (target != top && !IsChild(top.handle(), target.handle())))
        target = top;
    LPARAM scanCode = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    postMessage(target, WM_KEYDOWN, virtualKey, scanCode | 1);
    // Bits 30 and 31: the key was down and is being released.
    postMessage(target, WM_KEYUP, virtualKey, scanCode | 1 | (LPARAM(1) << 30) | (LPARAM(1) << 31));
}

} // namespace uirobot
