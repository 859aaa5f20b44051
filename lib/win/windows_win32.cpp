// WINDOW: the message dispatcher and window operations; DIALOG: template creation, the dialog procedure and
// the modal loop.
#include "lib/win/windows_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/stringarray.h"
#include "lib/win/commoncontrols.h"
#include "lib/win/winassert.h"

namespace {

constexpr int DROPPATH_MAX = 260;
constexpr int HELP_BUTTON_ALT = 0xFFFC;

HINSTANCE ResourceInstance(HMODULE module) {
    if (module)
        return module;
    if (gResourceModule)
        return static_cast<HINSTANCE>(gResourceModule);
    return GetModuleHandleA(nullptr);
}

RECT WorkArea() {
    RECT area{0, 0, 0, 0};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

int SizingEdges(WPARAM side) {
    switch (side) {
    case WMSZ_LEFT:
        return SIZING_LEFT;
    case WMSZ_RIGHT:
        return SIZING_RIGHT;
    case WMSZ_TOP:
        return SIZING_TOP;
    case WMSZ_BOTTOM:
        return SIZING_BOTTOM;
    case WMSZ_TOPLEFT:
        return SIZING_TOP | SIZING_LEFT;
    case WMSZ_TOPRIGHT:
        return SIZING_TOP | SIZING_RIGHT;
    case WMSZ_BOTTOMLEFT:
        return SIZING_BOTTOM | SIZING_LEFT;
    case WMSZ_BOTTOMRIGHT:
        return SIZING_BOTTOM | SIZING_RIGHT;
    default:
        return 0;
    }
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP || message == WM_SYSCHAR;
}

bool IsClassName(HWND hwnd, const char* classname) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return lstrcmpiA(name, classname) == 0;
}

} // namespace

// ---- WINDOW ----------------------------------------------------------------------------------------------

WINDOW::WINDOW(HWND hwnd) : hWnd(hwnd) {
    if (hWnd)
        Id = GetDlgCtrlID(hWnd);
}

WINDOW::~WINDOW() {
    DestroyOwnedWindow();
}

void WINDOW::DestroyOwnedWindow() {
    if (!AutoDestroy || !hWnd)
        return;
    if (IsWindow(hWnd)) {
        LogPrintf("WINDOW::~WINDOW auto-destroying %s %d\n", GetText().Text(), Id);
        // The object is going: no message of the destruction may reach it any more.
        if (FromHandle(hWnd) == this)
            SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hWnd);
    }
    hWnd = nullptr;
    AutoDestroy = false;
}

void WINDOW::DestroyWindow() {
    if (hWnd && IsWindow(hWnd))
        ::DestroyWindow(hWnd);
    hWnd = nullptr;
    AutoDestroy = false;
}

void WINDOW::AttachOwned(HWND hwnd) {
    hWnd = hwnd;
    AutoDestroy = hwnd != nullptr;
}

WINDOW* WINDOW::FromHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    return reinterpret_cast<WINDOW*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT WINDOW::DefaultProcessing(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(hWnd, message, wparam, lparam);
}

LRESULT WINDOW::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        if (lparam) {
            // The object may not be complete yet: OnCreate runs from the deferred message.
            Post(WM_ORVIK_DEFERREDCREATE);
            return DefaultProcessing(message, wparam, lparam);
        }
        return OnCreate();
    case WM_ORVIK_DEFERREDCREATE:
        return WndProc(WM_CREATE, 0, 0);
    case WM_ACTIVATE:
        result = LOWORD(wparam) ? OnActivate() : OnDeactivate();
        break;
    case WM_COMMAND:
        result = DecodeCommand(wparam, lparam);
        break;
    case WM_NOTIFY:
        result = DecodeNotify(lparam);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        result = DecodeScroll(message, wparam, lparam);
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: {
        KEYRECORD key;
        key.Message = message;
        key.Key = static_cast<UINT>(wparam);
        key.Repeat = LOWORD(lparam);
        key.Extended = (lparam & (1 << 24)) != 0;
        key.Shift = GetKeyState(VK_SHIFT) < 0;
        key.Control = GetKeyState(VK_CONTROL) < 0;
        key.Alt = (lparam & (1 << 29)) != 0;
        result = OnKey(key);
        break;
    }
    case WM_TIMER:
        result = OnTimer(static_cast<int>(wparam));
        break;
    case WM_MOVE:
        result = OnMove();
        break;
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED) {
            result = OnMinimize();
        } else {
            if (wparam == SIZE_RESTORED)
                OnRestore();
            result = OnSize();
        }
        break;
    case WM_SIZING:
        result = OnSizing(reinterpret_cast<RECT*>(lparam), SizingEdges(wparam));
        break;
    case WM_SHOWWINDOW:
        result = wparam ? OnShow() : OnHide();
        break;
    case WM_SETFOCUS:
        result = OnSetFocus();
        break;
    case WM_KILLFOCUS:
        result = OnKillFocus();
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        result = OnMouse(message, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), static_cast<int>(wparam));
        break;
    case WM_MOUSEWHEEL:
        result = OnMouse(message, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam),
                         GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA);
        break;
    case WM_DROPFILES:
        result = DecodeDropFiles(wparam);
        break;
    case WM_CLOSE:
        result = OnClose();
        break;
    case WM_DESTROY:
        result = OnDestroy();
        PrevProc = nullptr;
        break;
    case WM_PAINT:
        result = OnPaint();
        break;
    case WM_HELP:
        result = OnHelp();
        break;
    case WM_ENDSESSION:
        result = OnEndSession();
        break;
    case WM_QUERYENDSESSION:
    case WM_ERASEBKGND:
        return 1;
    default:
        if (message >= WM_ORVIK_FIRSTUSER && message <= WM_ORVIK_LASTUSER)
            result = OnUserMessage(message, wparam, lparam);
        break;
    }
    return result ? result : DefaultProcessing(message, wparam, lparam);
}

LRESULT WINDOW::DecodeCommand(WPARAM wparam, LPARAM lparam) {
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    HWND sender = reinterpret_cast<HWND>(lparam);
    if (!sender)
        return (code == 0 || code == 1) ? OnMenuCommand(id) : 0;
    CONTROL control(sender, -1);
    if (code != 0) {
        // Selection change, double click, focus changes and edit change; nothing else is passed on.
        switch (code) {
        case LBN_SELCHANGE:
        case LBN_DBLCLK:
        case LBN_SETFOCUS:
        case LBN_KILLFOCUS:
        case EN_KILLFOCUS:
        case EN_CHANGE:
            return OnControlNotify(code, control, 0);
        default:
            return 0;
        }
    }
    if (control.IsPushButton()) {
        if (id == IDHELP || id == HELP_BUTTON_ALT)
            return OnHelp();
        LRESULT result = OnButton(id);
        if (!result)
            result = OnControlNotify(0, control, 0);
        return result;
    }
    return OnControlNotify(0, control, 0);
}

LRESULT WINDOW::DecodeNotify(LPARAM lparam) {
    auto* header = reinterpret_cast<NMHDR*>(lparam);
    if (!header)
        return 0;
    CONTROL control(header->hwndFrom, -1);
    const int code = static_cast<int>(header->code);
    if (IsClassName(header->hwndFrom, WC_LISTVIEWA)) {
        switch (header->code) {
        case LVN_COLUMNCLICK: {
            auto* view = reinterpret_cast<NMLISTVIEW*>(lparam);
            WIN_ASSERT(view->iItem == -1, "pnm->iItem==-1");
            return OnControlNotify(code, control, view->iSubItem);
        }
        case LVN_ITEMCHANGED:
        case NM_DBLCLK:
        case NM_RETURN:
        case NM_RCLICK:
            return OnControlNotify(code, control, 0);
        default:
            return 0;
        }
    }
    if (IsClassName(header->hwndFrom, WC_TABCONTROLA)) {
        if (header->code == TCN_SELCHANGE)
            return OnControlNotify(code, control, 0);
        return header->code == TCN_SELCHANGING ? 1 : 0;
    }
    if (IsClassName(header->hwndFrom, WC_TREEVIEWA))
        return header->code == TVN_SELCHANGEDA ? OnControlNotify(code, control, 0) : 0;
    if (header->code == UDN_DELTAPOS) {
        auto* updown = reinterpret_cast<NMUPDOWN*>(lparam);
        return OnControlNotify(code, control, updown->iPos + updown->iDelta);
    }
    if (header->code == TTN_GETDISPINFOA)
        return OnControlNotify(code, control, lparam);
    return 0;
}

LRESULT WINDOW::DecodeScroll(UINT message, WPARAM wparam, LPARAM lparam) {
    HWND sender = reinterpret_cast<HWND>(lparam);
    int code = LOWORD(wparam);
    if (code == SB_ENDSCROLL)
        return 0;
    const int bar = sender ? SB_CTL : (message == WM_HSCROLL ? SB_HORZ : SB_VERT);
    HWND scrolled = sender ? sender : hWnd;
    int minimum = 0, maximum = 0;
    GetScrollRange(scrolled, bar, &minimum, &maximum);
    int position = (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) ? static_cast<short>(HIWORD(wparam))
                                                                       : GetScrollPos(scrolled, bar);
    if (code == SB_TOP) {
        code = SB_THUMBPOSITION;
        position = minimum;
    } else if (code == SB_BOTTOM) {
        code = SB_THUMBPOSITION;
        position = maximum;
    }
    CONTROL control(sender ? sender : hWnd, -1);
    return OnScroll(code, control, position);
}

LRESULT WINDOW::DecodeDropFiles(WPARAM wparam) {
    HDROP drop = reinterpret_cast<HDROP>(wparam);
    const int count = static_cast<int>(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0));
    STRINGARRAY paths;
    for (int i = 0; i < count; i++) {
        char path[DROPPATH_MAX + 1] = "";
        DragQueryFileA(drop, i, path, sizeof path);
        paths.Append(STRING(path));
    }
    DragFinish(drop);
    return OnDropFiles(count, paths);
}

int WINDOW::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hWnd, &paint);
    RECT client = GetClientRect();
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
    EndPaint(hWnd, &paint);
    return 1;
}

int WINDOW::OnHelp() {
    // No help file is shipped with this program: the topic is only logged.
    HWND focus = GetFocus();
    const int topic = (focus && IsChild(hWnd, focus)) ? GetDlgCtrlID(focus) : Id;
    LogPrintf("WINDOW::OnHelp topic %d\n", topic);
    return 1;
}

STRING WINDOW::GetText() const {
    if (!hWnd)
        return STRING("");
    const int length = GetWindowTextLengthA(hWnd) + 1;
    STRING text;
    text.Make(length);
    char* txt = text.GetBuffer();
    ORVIK_ASSERT(txt);
    if (!txt)
        return STRING("");
    const int got = GetWindowTextA(hWnd, txt, length);
    text.Truncate(got);
    return text;
}

void WINDOW::SetText(const char* text) {
    if (hWnd)
        SetWindowTextA(hWnd, text ? text : "");
}

bool WINDOW::Show(int command) {
    if (!hWnd)
        return false;
    if (command != SW_HIDE) {
        if (IsIconic(hWnd))
            command = SW_RESTORE;
        else if (IsZoomed(hWnd))
            command = SW_SHOWMAXIMIZED;
    }
    return ShowWindow(hWnd, command) != 0;
}

bool WINDOW::IsVisible() const {
    return hWnd && IsWindowVisible(hWnd);
}

bool WINDOW::IsEnabled() const {
    return hWnd && IsWindowEnabled(hWnd);
}

void WINDOW::Enable(bool enable) {
    if (hWnd)
        EnableWindow(hWnd, enable);
}

void WINDOW::SetFocus() {
    if (hWnd)
        ::SetFocus(hWnd);
}

RECT WINDOW::GetClientRect() const {
    RECT client{0, 0, 0, 0};
    WIN_ASSERT(hWnd != HWND_DESKTOP, "this->hWnd!=HWND_DESKTOP");
    if (hWnd)
        ::GetClientRect(hWnd, &client);
    return client;
}

RECT WINDOW::GetRect() const {
    if (!hWnd)
        return WorkArea();
    RECT rect{0, 0, 0, 0};
    GetWindowRect(hWnd, &rect);
    HWND parent = GetAncestor(hWnd, GA_PARENT);
    const bool child = (GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD) != 0;
    if (child && parent && parent != GetDesktopWindow())
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void WINDOW::Move(int x, int y, int width, int height) {
    if (!hWnd)
        return;
    RECT rect = GetRect();
    if (width == -1)
        width = rect.right - rect.left;
    if (height == -1)
        height = rect.bottom - rect.top;
    MoveWindow(hWnd, x, y, width, height, TRUE);
}

void WINDOW::CenterOver(HWND reference) {
    if (!hWnd)
        return;
    RECT area = WorkArea();
    RECT ref = area;
    if (reference && IsWindowVisible(reference)) {
        const bool is_child = IsChild(reference, hWnd) != 0;
        WIN_ASSERT(!is_child, "!is_child");
        GetWindowRect(reference, &ref);
    }
    RECT own;
    GetWindowRect(hWnd, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = (ref.left + ref.right) / 2 - width / 2;
    int y = (ref.top + ref.bottom) / 2 - height / 2;
    const bool toplevel = (GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD) == 0;
    if (toplevel) {
        if (x + width > area.right)
            x = area.right - width;
        if (y + height > area.bottom)
            y = area.bottom - height;
        if (x < area.left)
            x = area.left;
        if (y < area.top)
            y = area.top;
        if (x < 0)
            x = 0;
        if (y < 0)
            y = 0;
    } else {
        POINT origin{x, y};
        ScreenToClient(GetParent(hWnd), &origin);
        x = origin.x;
        y = origin.y;
    }
    SetWindowPos(hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT WINDOW::Send(UINT message, WPARAM wparam, LPARAM lparam) const {
    return hWnd ? SendMessageA(hWnd, message, wparam, lparam) : 0;
}

bool WINDOW::Post(UINT message, WPARAM wparam, LPARAM lparam) const {
    return hWnd && PostMessageA(hWnd, message, wparam, lparam);
}

int WINDOW::FocusFirstControl(bool skipradios) {
    HWND checked = nullptr;
    for (HWND child = GetWindow(hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        CONTROL control(child, -1);
        const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && IsWindowEnabled(child) && IsWindowVisible(child) && !control.IsStatic() &&
            !control.IsGroupBox() && !(skipradios && control.IsKind("Button", BS_AUTORADIOBUTTON))) {
            ::SetFocus(child);
            return GetDlgCtrlID(child);
        }
        if (!checked && control.IsKind("Button") && control.IsChecked())
            checked = child;
    }
    if (checked) {
        ::SetFocus(checked);
        return GetDlgCtrlID(checked);
    }
    return 0;
}

LRESULT CALLBACK WINDOW::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
        auto* window = static_cast<WINDOW*>(create->lpCreateParams);
        if (window) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
            window->hWnd = hwnd;
        }
    }
    WINDOW* window = FromHandle(hwnd);
    if (!window)
        return DefWindowProcA(hwnd, message, wparam, lparam);
    const LRESULT result = window->WndProc(message, wparam, lparam);
    if (message == WM_NCDESTROY)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return result;
}

bool WINDOW::RegisterToolkitClass(const char* classname) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing;
    if (GetClassInfoA(instance, classname, &existing))
        return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProcedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = classname;
    return RegisterClassA(&wc) != 0;
}

// ---- DIALOG ----------------------------------------------------------------------------------------------

DIALOG::DIALOG(int templ, HWND owner, HMODULE module) : Template(templ) {
    InitialiseCommonControls();
    HWND hwnd = CreateDialogParamA(ResourceInstance(module), MAKEINTRESOURCEA(templ), owner, DialogProcedure,
                                   reinterpret_cast<LPARAM>(this));
    AttachOwned(hwnd);
    STRING info;
    info.Printf("%d", templ);
    WIN_ASSERT_INFO(hWnd, "this->hWnd", info.Text());
    if (!hWnd)
        return;
    Id = GetDlgCtrlID(hWnd);
    if (Id == 0)
        Id = templ;
    if (!(GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD))
        CenterOver(owner);
}

DIALOG::~DIALOG() {
    // Destroyed here, while the dialog part of the object still exists.
    DestroyOwnedWindow();
}

INT_PTR CALLBACK DIALOG::DialogProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG && lparam) {
        auto* dialog = reinterpret_cast<DIALOG*>(lparam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<WINDOW*>(dialog)));
        dialog->hWnd = hwnd;
        PostMessageA(hwnd, WM_ORVIK_DEFERREDCREATE, 0, 0);
    }
    auto* dialog = static_cast<DIALOG*>(FromHandle(hwnd));
    if (!dialog)
        return 0;
    LRESULT hooked = 0;
    if (dialog->PrevProc)
        hooked = dialog->PrevProc(dialog, message, wparam, lparam);
    LogitHotkey(message, wparam, lparam);
    if (hooked)
        return hooked;
    const INT_PTR result = dialog->DlgProc(message, wparam, lparam);
    if (message == WM_NCDESTROY)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return result;
}

INT_PTR DIALOG::DlgProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_ORVIK_DEFERREDCREATE:
        return DlgProc(WM_INITDIALOG, 0, 0);
    case WM_INITDIALOG:
        if (lparam) {
            // A template can ask to keep the dialog manager away from the focus.
            CONTROL marker(hWnd, 800);
            return (marker.IsValid() && marker.GetText() == "WM_INITDIALOG:RC=0") ? 0 : 1;
        }
        OnCreate();
        return 1;
    case WM_QUERYENDSESSION:
        return 1;
    case WM_NOTIFY: {
        const LRESULT result = WndProc(message, wparam, lparam);
        if (result)
            SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
        return result ? TRUE : FALSE;
    }
    case WM_DESTROY:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_CLOSE:
    case WM_ENDSESSION:
    case WM_SHOWWINDOW:
    case WM_HELP:
    case WM_COMMAND:
    case WM_TIMER:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_SIZING:
        return WndProc(message, wparam, lparam);
    default:
        if (IsKeyMessage(message) || (message >= WM_ORVIK_FIRSTUSER && message <= WM_ORVIK_LASTUSER))
            return WndProc(message, wparam, lparam);
        return 0;
    }
}

BOOL DIALOG::IsDialogMessage(HWND window, MSG* message) {
    return ::IsDialogMessageA(window, message);
}

intptr_t DIALOG::MessageLoop() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT: leave the loop and let the outer loop see it too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return 0;
        }
        if (got < 0)
            return 0;
        if (PreTranslate(&msg))
            continue;
        const bool endmodal = msg.message == WM_ORVIK_ENDMODAL && msg.hwnd == hWnd;
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
            msg.hwnd = hWnd;
        } else if (msg.message != WM_ORVIK_ENDMODAL && IsDialogMessage(hWnd, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (endmodal)
            return static_cast<intptr_t>(msg.wParam);
    }
}

intptr_t DIALOG::RunModal(bool keepshown) {
    if (!hWnd)
        return 0;
    HWND owner = GetWindow(hWnd, GW_OWNER);
    const bool disableowner = owner && owner != GetAncestor(hWnd, GA_PARENT) && IsWindowEnabled(owner);
    if (disableowner)
        EnableWindow(owner, FALSE);
    if (!keepshown)
        Show(SW_SHOW);
    const intptr_t result = MessageLoop();
    if (disableowner)
        EnableWindow(owner, TRUE);
    if (hWnd)
        Show(SW_HIDE);
    return result;
}

void DIALOG::EndModal(intptr_t result) {
    Post(WM_ORVIK_ENDMODAL, static_cast<WPARAM>(result));
}
