#include "tests/robot/controls.h"

#include "tests/robot/robot_error.h"
#include "tests/robot/text.h"
#include "tests/robot/wait.h"

#include <algorithm>

namespace uirobot {

namespace {

// A person waits a moment for a greyed control that the program is about to enable (a dialog re-enables
// its buttons only after its message box has returned); the robot waits as long, then gives up.
constexpr Milliseconds kUsableWait{3000};

void requireUsable(const Window& control) {
    waitUntil([&] { return control.exists() && control.isVisible() && control.isEnabled(); }, kUsableWait);
    if (!control.exists())
        throw RobotError("cannot use " + control.describe());
    if (!control.isVisible())
        throw RobotError(control.describe() + " is hidden");
    if (!control.isEnabled())
        throw RobotError(control.describe() + " is disabled");
}

// Tells the control's parent what the control would have told it after a person's action.
void notifyParent(const Window& control, WORD code) {
    Window parent(GetParent(control.handle()));
    postMessage(parent, WM_COMMAND, MAKEWPARAM(control.id(), code),
                reinterpret_cast<LPARAM>(control.handle()));
}

int indexOf(const std::vector<std::string>& items, std::string_view item, const Window& control) {
    auto found = std::find(items.begin(), items.end(), item);
    if (found == items.end())
        throw RobotError(control.describe() + " has no item '" + std::string(item) + "'");
    return static_cast<int>(found - items.begin());
}

// Reads item index of a list box or a combo box with its LENGTH and TEXT messages.
std::string itemText(const Window& control, UINT lengthMessage, UINT textMessage, int index) {
    LRESULT length = sendMessage(control, lengthMessage, static_cast<WPARAM>(index));
    if (length < 0)
        return {};
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = sendMessage(control, textMessage, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
    return toUtf8(buffer);
}

void waitForState(const std::function<bool()>& done, const Window& control, const std::string& wanted) {
    if (!waitUntil(done, Milliseconds{5000}))
        throw RobotError(control.describe() + " did not become " + wanted);
}

} // namespace

void bringToFront(const Window& control) {
    Window top = control.topLevel();
    if (GetForegroundWindow() != top.handle())
        SetForegroundWindow(top.handle());
}

void Button::click() const {
    requireUsable(window_);
    bringToFront(window_);
    // Posted, not sent: a click that opens a modal window must not block the robot until it closes.
    postMessage(window_, BM_CLICK);
}

bool CheckBox::isChecked() const {
    return sendMessage(window_, BM_GETCHECK) == BST_CHECKED;
}

void CheckBox::setChecked(bool checked) const {
    if (isChecked() == checked)
        return;
    Button(window_).click();
    waitForState([&] { return isChecked() == checked; }, window_, checked ? "checked" : "unchecked");
}

bool RadioButton::isSelected() const {
    return sendMessage(window_, BM_GETCHECK) == BST_CHECKED;
}

void RadioButton::select() const {
    Button(window_).click();
    waitForState([&] { return isSelected(); }, window_, "selected");
}

void Edit::setText(std::string_view text) const {
    requireUsable(window_);
    std::wstring wide = toWide(text);
    sendMessage(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Edit::type(std::string_view text) const {
    requireUsable(window_);
    bringToFront(window_);
    // The click gives the field the focus in the target's own thread, as a person's click does.
    postMessage(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    postMessage(window_, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    postMessage(window_, EM_SETSEL, 0, -1);
    for (wchar_t c : toWide(text))
        postMessage(window_, WM_CHAR, c, 1);
    std::string wanted(text);
    waitForState([&] { return window_.text() == wanted; }, window_, "'" + wanted + "'");
}

std::vector<std::string> ListBox::items() const {
    std::vector<std::string> list;
    LRESULT count = sendMessage(window_, LB_GETCOUNT);
    for (int i = 0; i < count; ++i)
        list.push_back(itemText(window_, LB_GETTEXTLEN, LB_GETTEXT, i));
    return list;
}

int ListBox::selectedIndex() const {
    return static_cast<int>(sendMessage(window_, LB_GETCURSEL));
}

std::string ListBox::selectedText() const {
    int index = selectedIndex();
    return index < 0 ? std::string() : itemText(window_, LB_GETTEXTLEN, LB_GETTEXT, index);
}

void ListBox::select(int index) const {
    requireUsable(window_);
    bringToFront(window_);
    if (sendMessage(window_, LB_SETCURSEL, static_cast<WPARAM>(index)) == LB_ERR)
        throw RobotError(window_.describe() + " has no item " + std::to_string(index));
    if (GetWindowLongPtrW(window_.handle(), GWL_STYLE) & LBS_NOTIFY)
        notifyParent(window_, LBN_SELCHANGE);
}

void ListBox::select(std::string_view item) const {
    select(indexOf(items(), item, window_));
}

std::vector<std::string> ComboBox::items() const {
    std::vector<std::string> list;
    LRESULT count = sendMessage(window_, CB_GETCOUNT);
    for (int i = 0; i < count; ++i)
        list.push_back(itemText(window_, CB_GETLBTEXTLEN, CB_GETLBTEXT, i));
    return list;
}

int ComboBox::selectedIndex() const {
    return static_cast<int>(sendMessage(window_, CB_GETCURSEL));
}

std::string ComboBox::selectedText() const {
    int index = selectedIndex();
    return index < 0 ? std::string() : itemText(window_, CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
}

void ComboBox::select(int index) const {
    requireUsable(window_);
    bringToFront(window_);
    if (sendMessage(window_, CB_SETCURSEL, static_cast<WPARAM>(index)) == CB_ERR)
        throw RobotError(window_.describe() + " has no item " + std::to_string(index));
    notifyParent(window_, CBN_SELCHANGE);
}

void ComboBox::select(std::string_view item) const {
    select(indexOf(items(), item, window_));
}

} // namespace uirobot
