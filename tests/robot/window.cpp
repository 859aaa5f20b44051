#include "tests/robot/window.h"

#include <cstdio>

#include "tests/robot/robot_error.h"
#include "tests/robot/text.h"

namespace uirobot {

namespace {

constexpr UINT kSendTimeoutMs = 5000;

BOOL CALLBACK collectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<Window>*>(list)->emplace_back(child);
    return TRUE;
}

} // namespace

LRESULT sendMessage(Window window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window.handle(), message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%04x", message);
        throw RobotError(std::string("message ") + code + " to " + window.describe() +
                         " was not answered (error " + std::to_string(GetLastError()) + ")");
    }
    return static_cast<LRESULT>(result);
}

void postMessage(Window window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!PostMessageW(window.handle(), message, wParam, lParam))
        throw RobotError("cannot post a message to " + window.describe());
}

bool Window::exists() const {
    return handle_ && IsWindow(handle_);
}

std::string Window::text() const {
    // WM_GETTEXT is marshalled between processes for every window, so it reads controls too.
    auto length = static_cast<size_t>(sendMessage(*this, WM_GETTEXTLENGTH));
    std::wstring buffer(length + 1, L'\0');
    auto copied = static_cast<size_t>(
        sendMessage(*this, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())));
    buffer.resize(std::min(copied, length));
    return toUtf8(buffer);
}

std::string Window::className() const {
    wchar_t name[256] = {};
    GetClassNameW(handle_, name, 256);
    return toUtf8(name);
}

int Window::id() const {
    return GetDlgCtrlID(handle_);
}
bool Window::isEnabled() const {
    return IsWindowEnabled(handle_) != FALSE;
}
bool Window::isVisible() const {
    return IsWindowVisible(handle_) != FALSE;
}

RECT Window::screenRect() const {
    RECT rect{};
    GetWindowRect(handle_, &rect);
    return rect;
}

DWORD Window::processId() const {
    DWORD process = 0;
    GetWindowThreadProcessId(handle_, &process);
    return process;
}

DWORD Window::threadId() const {
    return GetWindowThreadProcessId(handle_, nullptr);
}

Window Window::topLevel() const {
    return Window(GetAncestor(handle_, GA_ROOT));
}

std::vector<Window> Window::children() const {
    std::vector<Window> list;
    EnumChildWindows(handle_, collectChild, reinterpret_cast<LPARAM>(&list));
    return list;
}

Window Window::child(int id) const {
    HWND control = GetDlgItem(handle_, id);
    if (!control)
        throw RobotError(describe() + " has no control with id " + std::to_string(id));
    return Window(control);
}

Window Window::childByText(std::string_view text) const {
    return childByText({}, text);
}

Window Window::childByText(std::string_view className, std::string_view text) const {
    std::string seen;
    for (const Window& control : children()) {
        if (!className.empty() && control.className() != className)
            continue;
        std::string label = control.text();
        if (label == text || withoutMnemonic(label) == text)
            return control;
        seen += " '" + label + "'";
    }
    throw RobotError(describe() + " has no control '" + std::string(text) + "'; it shows:" + seen);
}

std::string Window::describe() const {
    if (!handle_)
        return "no window";
    if (!IsWindow(handle_))
        return "a closed window";
    wchar_t caption[256] = {};
    // GetWindowText does not wait for the target, so describing a hung window does not hang.
    InternalGetWindowText(handle_, caption, 256);
    std::string description = className() + " '" + toUtf8(caption) + "'";
    if (GetWindowLongPtrW(handle_, GWL_STYLE) & WS_CHILD)
        description += " (id " + std::to_string(id()) + ")";
    return description;
}

} // namespace uirobot
