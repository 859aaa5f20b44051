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

namespace {

Window keyTarget(const Window& window) {
    Window top = window.topLevel();
    bringToFront(top);
    Window target = focusedControl(top);
    if (!target || (target != top && !IsChild(top.handle(), target.handle())))
        target = top;
    return target;
}

LPARAM scanCode(UINT virtualKey) {
    return static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
}

} // namespace

void pressKey(const Window& window, UINT virtualKey) {
    Window target = keyTarget(window);
    postMessage(target, WM_KEYDOWN, virtualKey, scanCode(virtualKey) | 1);
    // Bits 30 and 31: the key was down and is being released.
    postMessage(target, WM_KEYUP, virtualKey,
                scanCode(virtualKey) | 1 | (LPARAM(1) << 30) | (LPARAM(1) << 31));
}

void pressAltF4(const Window& window) {
    Window target = keyTarget(window);
    // Bit 29: Alt is held.
    const LPARAM alt = LPARAM(1) << 29;
    postMessage(target, WM_SYSKEYDOWN, VK_F4, scanCode(VK_F4) | alt | 1);
    postMessage(target, WM_SYSKEYUP, VK_F4,
                scanCode(VK_F4) | alt | 1 | (LPARAM(1) << 30) | (LPARAM(1) << 31));
}

void clickCloseBox(const Window& window) {
    Window top = window.topLevel();
    bringToFront(top);
    postMessage(top, WM_SYSCOMMAND, SC_CLOSE, 0);
}

} // namespace uirobot
