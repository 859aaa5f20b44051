// The window toolkit: small objects around Win32 windows whose virtual handlers receive messages already
// decoded. BASEWINDOW is the root, WINDOW holds the handle and the dispatcher, CONTROL wraps a child control,
// DIALOG adds template creation, the dialog procedure and a modal loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>

#include "lib/strings.h"

class STRINGARRAY;
class WINDOW;
class CONTROL;

// Messages of the toolkit itself.
constexpr UINT WM_ORVIK_ENDMODAL = WM_USER + 241;       // 1265: ends a modal loop, wParam = result
constexpr UINT WM_ORVIK_DEFERREDCREATE = WM_USER + 257; // 1281: OnCreate once the object is attached
constexpr UINT WM_ORVIK_FIRSTUSER = WM_USER + 1;        // 1025..1280 reach OnUserMessage
constexpr UINT WM_ORVIK_LASTUSER = WM_USER + 256;

// Edges of OnSizing, combined for corners.
constexpr int SIZING_LEFT = 1;
constexpr int SIZING_RIGHT = 2;
constexpr int SIZING_TOP = 4;
constexpr int SIZING_BOTTOM = 8;

// A keyboard message as OnKey sees it.
struct KEYRECORD {
    UINT Message = 0; // WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP or WM_SYSCHAR
    UINT Key = 0;     // the virtual key, or the character of a WM_CHAR / WM_SYSCHAR
    int Repeat = 0;
    bool Shift = false;
    bool Control = false;
    bool Alt = false;
    bool Extended = false;
};

// A window procedure called before the object's own handling of every dialog message; a non-zero result is
// the answer and ends the handling.
using WINDOWHOOK = LRESULT (*)(WINDOW* window, UINT message, WPARAM wparam, LPARAM lparam);

class BASEWINDOW {
public:
    BASEWINDOW() = default;
    virtual ~BASEWINDOW() = default;
    BASEWINDOW(const BASEWINDOW&) = delete;
    BASEWINDOW& operator=(const BASEWINDOW&) = delete;
};

class WINDOW : public BASEWINDOW {
public:
    WINDOW() = default;
    // Wraps an existing window without owning it.
    explicit WINDOW(HWND hwnd);
    ~WINDOW() override;

    // The dispatcher: decodes the message and calls the handler below; a handler result of 0 continues
    // to the default processing.
    virtual LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);
    virtual void DestroyWindow();
    virtual int OnCreate() { return 0; }
    virtual int OnActivate() { return 0; }
    virtual int OnDeactivate() { return 0; }
    virtual int OnMenuCommand(int id) { return 0; }
    virtual int OnButton(int id) { return 0; }
    virtual int OnControlNotify(int code, CONTROL& control, intptr_t value) { return 0; }
    virtual int OnScroll(int code, CONTROL& control, int position) { return 0; }
    virtual int OnKey(const KEYRECORD& key) { return 0; }
    virtual int OnTimer(int id) { return 0; }
    virtual int OnMove() { return 0; }
    virtual int OnSize() { return 0; }
    virtual int OnSizing(RECT* rect, int edges) { return 0; }
    virtual int OnShow() { return 0; }
    virtual int OnHide() { return 0; }
    virtual int OnSetFocus() { return 0; }
    virtual int OnKillFocus() { return 0; }
    virtual int OnMinimize() { return 0; }
    virtual int OnRestore() { return 0; }
    // Mouse moves and buttons; the wheel comes as message WM_MOUSEWHEEL with notches (+1 away from the
    // user) in place of the key state.
    virtual int OnMouse(UINT message, int x, int y, int keys) { return 0; }
    virtual int OnDropFiles(int count, STRINGARRAY& paths) { return 0; }
    virtual int OnClose() { return 0; }
    virtual int OnDestroy() { return 0; }
    virtual int OnUserMessage(UINT message, WPARAM wparam, LPARAM lparam) { return 0; }
    virtual int OnPaint();
    virtual int OnHelp();
    virtual int OnEndSession() { return 0; }

    HWND Hwnd() const { return hWnd; }
    bool IsValid() const { return hWnd != nullptr; }
    int GetId() const { return Id; }
    bool OwnsWindow() const { return AutoDestroy; }

    STRING GetText() const;
    void SetText(const char* text);
    // A non-zero command restores a minimised window and keeps a maximised one maximised.
    bool Show(int command = SW_SHOW);
    bool Hide() { return Show(SW_HIDE); }
    bool IsVisible() const;
    bool IsEnabled() const;
    void Enable(bool enable = true);
    void Disable() { Enable(false); }
    void SetFocus();
    RECT GetClientRect() const;
    // The rectangle in the parent's client coordinates (screen coordinates for a top-level window); the
    // desktop work area for an empty object.
    RECT GetRect() const;
    // -1 keeps the current width or height.
    void Move(int x, int y, int width = -1, int height = -1);
    void CenterOver(HWND reference);
    LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
    bool Post(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
    // Focuses the first enabled tab stop that is no static text or group box, else a checked button;
    // returns its id, or 0 when there is none.
    // skipradios: radio buttons get the focus only as the checked one of their group, as a wizard page wants.
    int FocusFirstControl(bool skipradios = false);

    void SetWindowHook(WINDOWHOOK hook) { PrevProc = hook; }
    WINDOWHOOK GetWindowHook() const { return PrevProc; }

    // The object attached to a window of the toolkit, or null.
    static WINDOW* FromHandle(HWND hwnd);

protected:
    // What a message that no handler took gets: DefWindowProc for plain windows.
    virtual LRESULT DefaultProcessing(UINT message, WPARAM wparam, LPARAM lparam);
    // Attaches the object to a window it created; the window is destroyed with the object.
    void AttachOwned(HWND hwnd);
    // Stops owning the window: it stays when the object goes (a child that dies with its parent).
    void ReleaseOwnership() { AutoDestroy = false; }
    void DestroyOwnedWindow();
    // The procedure of the toolkit's own window classes; CreateWindowEx gets the object as creation data.
    static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    static bool RegisterToolkitClass(const char* classname);

    HWND hWnd = nullptr;
    int Id = 0;
    WINDOWHOOK PrevProc = nullptr;
    bool AutoDestroy = false;

private:
    LRESULT DecodeCommand(WPARAM wparam, LPARAM lparam);
    LRESULT DecodeNotify(LPARAM lparam);
    LRESULT DecodeScroll(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT DecodeDropFiles(WPARAM wparam);
};

class CONTROL : public WINDOW {
public:
    struct REPLACE_TAG {};
    static constexpr REPLACE_TAG REPLACE{};

    // An existing dialog item; with id -1 the handle is the control itself (the sender of a notification).
    CONTROL(HWND parent, int id);
    // A new child window, owned. WS_CHILD is always added.
    CONTROL(HWND parent, int id, const char* classname, DWORD style, int x, int y, int width, int height,
            const char* text, DWORD exstyle = 0);
    // A new window of another class in place of the dialog item id: created at the item's rectangle, the old
    // item destroyed. The new window belongs to the dialog (it dies with it).
    CONTROL(REPLACE_TAG, HWND parent, int id, const char* classname, DWORD style, DWORD exstyle,
            const char* text);

    // Class name compared ignoring case and, when given, the low four style bits against up to three values.
    bool IsKind(const char* classname, int style1 = -1, int style2 = -1, int style3 = -1) const;
    bool IsPushButton() const { return IsKind("Button", BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_USERBUTTON); }
    bool IsCheckBox() const {
        return IsKind("Button", BS_CHECKBOX, BS_AUTOCHECKBOX) || IsKind("Button", BS_3STATE, BS_AUTO3STATE);
    }
    bool IsRadioButton() const { return IsKind("Button", BS_RADIOBUTTON, BS_AUTORADIOBUTTON); }
    bool IsGroupBox() const { return IsKind("Button", BS_GROUPBOX); }
    bool IsEdit() const { return IsKind("Edit"); }
    bool IsListBox() const { return IsKind("ListBox"); }
    bool IsComboBox() const { return IsKind("ComboBox"); }
    bool IsDropdownList() const { return IsKind("ComboBox", CBS_DROPDOWNLIST); }
    bool IsDropdownCombo() const { return IsKind("ComboBox", CBS_DROPDOWN); }
    bool IsStatic() const { return IsKind("Static"); }
    int GetStyle() const;

    bool IsChecked() const;
    void SetCheck(bool checked);
    // Gives a push button the default-button look (or takes it away) and redraws it.
    void SetDefaultButton(bool isdefault);
    void SetLimit(int maxlength);
    void SelectAll();
};

// List box, drop-down list or drop-down combo: one object for all three, the kind remembered at construction.
class LISTCONTROL : public CONTROL {
public:
    enum class KIND { NONE, LISTBOX, DROPDOWNLIST, DROPDOWNCOMBO };

    LISTCONTROL(HWND parent, int id);
    // A new list box (WS_CHILD, WS_VISIBLE, WS_VSCROLL, WS_TABSTOP, LBS_NOTIFY, the caller's style, a client
    // edge), either at a position or in place of the dialog item id.
    LISTCONTROL(HWND parent, int id, int x, int y, int width, int height, DWORD style = 0);
    LISTCONTROL(REPLACE_TAG, HWND parent, int id, DWORD style = 0);

    KIND GetKind() const { return Kind; }
    int Count() const;
    void Clear();
    int Add(const char* text);
    // The n-th selected entry (only n = 0 for single-selection lists); -1 when none.
    int GetSelected(int n = 0) const;
    // The entry's text; index -1 means the current selection.
    STRING GetItemText(int index = -1) const;
    // Selects the entry and tells the parent with a selection-change notification, as a click does.
    void Select(int index);

protected:
    static constexpr DWORD ListBoxStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY;
    void RememberKind();
    bool IsMultiSelect() const;

    KIND Kind = KIND::NONE;
};

class DROPDOWNLIST : public LISTCONTROL {
public:
    DROPDOWNLIST(HWND parent, int id);
};

class DROPDOWNCOMBO : public LISTCONTROL {
public:
    DROPDOWNCOMBO(HWND parent, int id);
};

class PROGRESSBAR : public CONTROL {
public:
    // A new visible progress bar with the range 0..100.
    PROGRESSBAR(HWND parent, int id, int x, int y, int width, int height);
    // An existing one.
    PROGRESSBAR(HWND parent, int id) : CONTROL(parent, id) {}
    void SetPos(int position);
};

class DIALOG : public WINDOW {
public:
    // Creates the dialog from template number templ of module (null: gResourceModule, which null means the
    // program itself). A top-level dialog is centred over its owner.
    DIALOG(int templ, HWND owner, HMODULE module = nullptr);
    ~DIALOG() override;

    virtual INT_PTR DlgProc(UINT message, WPARAM wparam, LPARAM lparam);
    // Modal-loop hook: non-zero swallows the message.
    virtual int PreTranslate(MSG* message) { return 0; }
    virtual BOOL IsDialogMessage(HWND window, MSG* message);
    // Shows the dialog (unless keepshown leaves the visibility alone), runs the loop, hides it again.
    virtual intptr_t RunModal(bool keepshown = false);
    virtual intptr_t MessageLoop();
    // Ends the running loop with result (posts WM_ORVIK_ENDMODAL).
    virtual void EndModal(intptr_t result);

    int GetTemplate() const { return Template; }

    // The procedure registered for every dialog of the toolkit.
    static INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

protected:
    LRESULT DefaultProcessing(UINT message, WPARAM wparam, LPARAM lparam) override { return 0; }

    int Template;
};
