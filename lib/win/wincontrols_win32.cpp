// CONTROL and its list, combo and progress variants: child windows wrapped or created by the toolkit.
#include "lib/win/windows_win32.h"

#include <commctrl.h>

#include "lib/orvik.h"
#include "lib/win/commoncontrols.h"
#include "lib/win/winassert.h"

namespace {

constexpr int MAX_MULTISELECTION = 256;

HINSTANCE OwnInstance() {
    return GetModuleHandleA(nullptr);
}

} // namespace

// ---- CONTROL ---------------------------------------------------------------------------------------------

CONTROL::CONTROL(HWND parent, int id) {
    if (id == -1) {
        hWnd = parent;
        Id = parent ? GetDlgCtrlID(parent) : -1;
    } else {
        hWnd = parent ? GetDlgItem(parent, id) : nullptr;
        Id = id;
    }
}

CONTROL::CONTROL(HWND parent, int id, const char* classname, DWORD style, int x, int y, int width, int height,
                 const char* text, DWORD exstyle) {
    LogPrintf("CONTROL::CONTROL %p, %d, %s, %s, %x, %x\n", static_cast<void*>(parent), id, classname,
              text ? text : "", static_cast<unsigned>(style), static_cast<unsigned>(exstyle));
    const bool parentiswindow = IsWindow(parent) != 0;
    LogPrintf("CONTROL::CONTROL %d\n", parentiswindow ? 1 : 0);
    InitialiseCommonControls();
    HWND hwnd =
        CreateWindowExA(exstyle, classname, text ? text : "", style | WS_CHILD, x, y, width, height, parent,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), OwnInstance(), nullptr);
    AttachOwned(hwnd);
    Id = id;
    WIN_ASSERT(hWnd, "this->hWnd");
    if (hWnd && parentiswindow) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0));
        if (font)
            Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

CONTROL::CONTROL(REPLACE_TAG, HWND parent, int id, const char* classname, DWORD style, DWORD exstyle,
                 const char* text) {
    CONTROL old(parent, id);
    RECT rect = old.GetRect();
    HWND previous = old.Hwnd();
    if (previous) {
        // Keep the tab order: the new window takes the old one's place in the z-order.
        HWND before = GetWindow(previous, GW_HWNDPREV);
        ::DestroyWindow(previous);
        CONTROL created(parent, id, classname, style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, text, exstyle);
        hWnd = created.Hwnd();
        Id = id;
        created.ReleaseOwnership();
        if (hWnd)
            SetWindowPos(hWnd, before ? before : HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
        Id = id;
    }
    WIN_ASSERT(CONTROL(parent, id).Hwnd() == hWnd, "CONTROL(hwndparent, id).Hwnd()==this->hWnd");
}

bool CONTROL::IsKind(const char* classname, int style1, int style2, int style3) const {
    if (!hWnd)
        return false;
    char name[64] = "";
    GetClassNameA(hWnd, name, sizeof name);
    if (lstrcmpiA(name, classname) != 0)
        return false;
    if (style1 == -1 && style2 == -1 && style3 == -1)
        return true;
    const int low = GetStyle() & 0x0F;
    return low == style1 || low == style2 || low == style3;
}

int CONTROL::GetStyle() const {
    return hWnd ? static_cast<int>(GetWindowLongPtrA(hWnd, GWL_STYLE)) : 0;
}

bool CONTROL::IsChecked() const {
    return Send(BM_GETCHECK) == BST_CHECKED;
}

void CONTROL::SetCheck(bool checked) {
    Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CONTROL::SetDefaultButton(bool isdefault) {
    Send(BM_SETSTYLE, isdefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    if (hWnd)
        InvalidateRect(hWnd, nullptr, TRUE);
}

void CONTROL::SetLimit(int maxlength) {
    Send(EM_LIMITTEXT, static_cast<WPARAM>(maxlength));
}

void CONTROL::SelectAll() {
    Send(EM_SETSEL, 0, -1);
}

// ---- LISTCONTROL -----------------------------------------------------------------------------------------

LISTCONTROL::LISTCONTROL(HWND parent, int id) : CONTROL(parent, id) {
    RememberKind();
}

LISTCONTROL::LISTCONTROL(HWND parent, int id, int x, int y, int width, int height, DWORD style)
    : CONTROL(parent, id, "ListBox", ListBoxStyle | style, x, y, width, height, "LISTBOX", WS_EX_CLIENTEDGE) {
    RememberKind();
}

LISTCONTROL::LISTCONTROL(REPLACE_TAG, HWND parent, int id, DWORD style)
    : CONTROL(REPLACE, parent, id, "ListBox", ListBoxStyle | style, WS_EX_CLIENTEDGE, "LISTBOX") {
    RememberKind();
}

void LISTCONTROL::RememberKind() {
    if (IsListBox())
        Kind = KIND::LISTBOX;
    else if (IsDropdownList())
        Kind = KIND::DROPDOWNLIST;
    else if (IsDropdownCombo())
        Kind = KIND::DROPDOWNCOMBO;
    else
        Kind = KIND::NONE;
}

bool LISTCONTROL::IsMultiSelect() const {
    return Kind == KIND::LISTBOX && (GetStyle() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}

int LISTCONTROL::Count() const {
    if (Kind == KIND::LISTBOX)
        return static_cast<int>(Send(LB_GETCOUNT));
    if (Kind != KIND::NONE)
        return static_cast<int>(Send(CB_GETCOUNT));
    return 0;
}

void LISTCONTROL::Clear() {
    if (Kind == KIND::LISTBOX)
        Send(LB_RESETCONTENT);
    else if (Kind != KIND::NONE)
        Send(CB_RESETCONTENT);
}

int LISTCONTROL::Add(const char* text) {
    if (Kind == KIND::LISTBOX)
        return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    if (Kind != KIND::NONE)
        return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    return -1;
}

int LISTCONTROL::GetSelected(int n) const {
    if (Kind == KIND::NONE)
        return -1;
    if (IsMultiSelect()) {
        int selected[MAX_MULTISELECTION];
        const int count =
            static_cast<int>(Send(LB_GETSELITEMS, MAX_MULTISELECTION, reinterpret_cast<LPARAM>(selected)));
        return (n >= 0 && n < count) ? selected[n] : -1;
    }
    if (n != 0)
        return -1;
    const LRESULT index = Send(Kind == KIND::LISTBOX ? LB_GETCURSEL : CB_GETCURSEL);
    return index < 0 ? -1 : static_cast<int>(index);
}

STRING LISTCONTROL::GetItemText(int index) const {
    if (index == -1)
        index = GetSelected();
    if (index < 0 || Kind == KIND::NONE)
        return STRING("");
    const bool list = Kind == KIND::LISTBOX;
    const LRESULT length = Send(list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length < 0)
        return STRING("");
    STRING text;
    text.Make(static_cast<int>(length));
    const LRESULT got = Send(list ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(text.GetBuffer()));
    text.Truncate(got < 0 ? 0 : static_cast<int>(got));
    return text;
}

void LISTCONTROL::Select(int index) {
    if (Kind == KIND::NONE)
        return;
    if (Kind == KIND::LISTBOX) {
        if (IsMultiSelect())
            Send(LB_SETSEL, TRUE, index);
        else
            Send(LB_SETCURSEL, static_cast<WPARAM>(index));
    } else {
        Send(CB_SETCURSEL, static_cast<WPARAM>(index));
    }
    // The same notification as a user's choice, so that the dialog reacts alike.
    HWND parent = GetParent(hWnd);
    if (parent)
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(Id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hWnd));
}

DROPDOWNLIST::DROPDOWNLIST(HWND parent, int id) : LISTCONTROL(parent, id) {
    ORVIK_ASSERT(this->IsDropdownList() || !this->IsValid());
}

DROPDOWNCOMBO::DROPDOWNCOMBO(HWND parent, int id) : LISTCONTROL(parent, id) {
    ORVIK_ASSERT(this->IsDropdownCombo() || !this->IsValid());
}

// ---- PROGRESSBAR -----------------------------------------------------------------------------------------

PROGRESSBAR::PROGRESSBAR(HWND parent, int id, int x, int y, int width, int height)
    : CONTROL(parent, id, PROGRESS_CLASSA, WS_CHILD | WS_VISIBLE, x, y, width, height, "") {
    Send(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

void PROGRESSBAR::SetPos(int position) {
    Send(PBM_SETPOS, static_cast<WPARAM>(position));
}
