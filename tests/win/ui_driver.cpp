// The second-thread driver of the in-process dialog tests.
#include "tests/win/ui_driver.h"

#include <chrono>

namespace uidriver {

bool WaitUntil(const std::function<bool()>& condition, int timeoutms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        Sleep(10);
    }
}

namespace {

struct SEARCH {
    const char* Caption;
    const char* ClassName;
    HWND Found;
    HWND Except = nullptr;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lparam) {
    auto* search = reinterpret_cast<SEARCH*>(lparam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(hwnd) || hwnd == search->Except)
        return TRUE;
    char text[256] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpA(text, search->Caption) == 0 &&
        (!search->ClassName || lstrcmpA(name, search->ClassName) == 0)) {
        search->Found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct ITEMSEARCH {
    int Id;
    HWND Found;
};

BOOL CALLBACK MatchItem(HWND hwnd, LPARAM lparam) {
    auto* search = reinterpret_cast<ITEMSEARCH*>(lparam);
    if (GetDlgCtrlID(hwnd) == search->Id) {
        search->Found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND WaitForWindow(const char* caption, const char* classname, int timeoutms) {
    SEARCH search{caption, classname, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.Found != nullptr;
        },
        timeoutms);
    if (!search.Found)
        throw FAILURE{std::string("no window \"") + caption + "\""};
    return search.Found;
}

HWND WaitForOtherWindow(const char* caption, HWND except, int timeoutms) {
    SEARCH search{caption, nullptr, nullptr, except};
    WaitUntil(
        [&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.Found != nullptr;
        },
        timeoutms);
    if (!search.Found)
        throw FAILURE{std::string("no second window \"") + caption + "\""};
    return search.Found;
}

HWND FindItem(HWND window, int id) {
    ITEMSEARCH search{id, nullptr};
    EnumChildWindows(window, MatchItem, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND WaitForItem(HWND dialog, int id, int timeoutms) {
    HWND item = nullptr;
    WaitUntil(
        [&] {
            item = FindItem(dialog, id);
            return item && IsWindowVisible(item);
        },
        timeoutms);
    if (!item)
        throw FAILURE{"no item " + std::to_string(id)};
    return item;
}

void Click(HWND button) {
    if (!IsWindowVisible(button) || !IsWindowEnabled(button))
        throw FAILURE{"a person cannot click the hidden or disabled " + Text(button)};
    SendMessageA(button, BM_CLICK, 0, 0);
}

void SetText(HWND control, const char* text) {
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

std::string Text(HWND window) {
    char text[1024] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool IsChecked(HWND button) {
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void PressKey(HWND dialog, UINT virtualkey) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    HWND target = (GetGUIThreadInfo(thread, &info) && info.hwndFocus) ? info.hwndFocus : dialog;
    const UINT scan = MapVirtualKeyA(virtualkey, 0);
    PostMessageA(target, WM_KEYDOWN, virtualkey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualkey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

SCRIPT::SCRIPT(std::function<void()> script)
    : TestThread(GetCurrentThreadId()), Thread([this, script] {
          try {
              script();
          } catch (const FAILURE& failure) {
              FailureReason = failure.Reason;
              Failure = true;
              PostThreadMessageA(TestThread, WM_QUIT, 0, 0);
          }
      }) {}

SCRIPT::~SCRIPT() {
    Thread.join();
}

void DrainQuit() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

} // namespace uidriver
