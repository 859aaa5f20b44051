// The window toolkit under Wine: message decoding, ownership of windows, deferred creation and the modal
// loop.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "lib/orvik.h"
#include "lib/win/hline3d.h"
#include "lib/win/windows_win32.h"
#include "tests/win/testdialogs.h"
#include "tests/win/ui_driver.h"

using namespace uidriver;

namespace {

class ToolkitTest : public testing::Test {
protected:
    void SetUp() override { DrainQuit(); }
};

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A dialog that records which handlers ran.
class PROBEDIALOG : public DIALOG {
public:
    explicit PROBEDIALOG(int templ) : DIALOG(templ, nullptr) {}
    int OnCreate() override {
        Creates++;
        return 0;
    }
    int OnButton(int id) override {
        Buttons.push_back(id);
        if (id == IDCANCEL || id == IDOK)
            EndModal(id);
        return 1;
    }
    int OnHelp() override {
        Helps++;
        return 1;
    }
    int OnControlNotify(int code, CONTROL& control, intptr_t value) override {
        Notifications.push_back({code, control.GetId()});
        return 0;
    }
    int OnKey(const KEYRECORD& key) override {
        if (key.Message == WM_KEYDOWN)
            Keys.push_back(key);
        return 0;
    }
    int Creates = 0;
    int Helps = 0;
    std::vector<int> Buttons;
    std::vector<std::pair<int, int>> Notifications;
    std::vector<KEYRECORD> Keys;
};

// A plain toolkit window of its own class, to see the mouse decoding.
class PROBEWINDOW : public WINDOW {
public:
    PROBEWINDOW() {
        RegisterToolkitClass("OrvikTestProbeWindow");
        AttachOwned(CreateWindowExA(0, "OrvikTestProbeWindow", "probe", WS_POPUP, 0, 0, 50, 50, nullptr,
                                    nullptr, GetModuleHandleA(nullptr), this));
    }
    ~PROBEWINDOW() override { DestroyOwnedWindow(); }
    int OnCreate() override {
        Creates++;
        return 0;
    }
    int OnMouse(UINT message, int x, int y, int keys) override {
        if (message == WM_MOUSEWHEEL)
            Wheel.push_back(keys);
        return 1;
    }
    int Creates = 0;
    std::vector<int> Wheel;
};

TEST_F(ToolkitTest, ControlForAMissingItemWrapsNothingAndDestroysNothing) {
    PROBEDIALOG dialog(IDD_TEST_DATA);
    ASSERT_TRUE(dialog.IsValid());
    {
        CONTROL missing(dialog.Hwnd(), 4711);
        EXPECT_FALSE(missing.IsValid());
        EXPECT_FALSE(missing.OwnsWindow());
        CONTROL present(dialog.Hwnd(), IDOK);
        EXPECT_TRUE(present.IsValid());
        EXPECT_TRUE(present.IsPushButton());
        EXPECT_FALSE(present.OwnsWindow());
    }
    // Dropping the wrappers left the dialog and its button alone.
    EXPECT_TRUE(IsWindow(dialog.Hwnd()));
    EXPECT_TRUE(IsWindow(GetDlgItem(dialog.Hwnd(), IDOK)));
}

TEST_F(ToolkitTest, CreatedControlIsOwnedAndDestroyedWithItsObject) {
    PROBEDIALOG dialog(IDD_TEST_DATA);
    HWND created = nullptr;
    {
        CONTROL control(dialog.Hwnd(), 900, "Edit", WS_VISIBLE, 1, 1, 40, 12, "made here");
        created = control.Hwnd();
        ASSERT_TRUE(IsWindow(created));
        EXPECT_TRUE(control.OwnsWindow());
        EXPECT_STREQ("made here", control.GetText().Text());
        EXPECT_EQ(created, GetDlgItem(dialog.Hwnd(), 900));
        // It took its parent's font.
        EXPECT_EQ(SendMessageA(dialog.Hwnd(), WM_GETFONT, 0, 0), control.Send(WM_GETFONT));
    }
    EXPECT_FALSE(IsWindow(created));
}

TEST_F(ToolkitTest, OnCreateRunsOnceAfterTheObjectIsAttached) {
    PROBEDIALOG dialog(IDD_TEST_DATA);
    EXPECT_EQ(0, dialog.Creates);
    PumpPending();
    EXPECT_EQ(1, dialog.Creates);
    EXPECT_EQ(IDD_TEST_DATA, dialog.GetId());

    PROBEWINDOW window;
    EXPECT_EQ(0, window.Creates);
    PumpPending();
    EXPECT_EQ(1, window.Creates);
}

TEST_F(ToolkitTest, HelpButtonCallsOnHelpNeverOnButton) {
    PROBEDIALOG dialog(IDD_TEST_DATA);
    SCRIPT script([&] {
        HWND window = WaitForWindow("Data dialog test");
        Click(WaitForItem(window, IDC_TEST_HELP));
        Click(WaitForItem(window, IDC_TEST_UNBOUND));
        Click(WaitForItem(window, IDCANCEL));
    });
    EXPECT_EQ(IDCANCEL, dialog.RunModal());
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ(1, dialog.Helps);
    EXPECT_EQ((std::vector<int>{IDC_TEST_UNBOUND, IDCANCEL}), dialog.Buttons);
}

TEST_F(ToolkitTest, ListSelectionFromCodeNotifiesTheParentLikeAClick) {
    PROBEDIALOG dialog(IDD_TEST_DATA);
    LISTCONTROL list(CONTROL::REPLACE, dialog.Hwnd(), IDC_TEST_LISTFRAME);
    ASSERT_EQ(LISTCONTROL::KIND::LISTBOX, list.GetKind());
    list.Add("alpha");
    list.Add("beta");
    dialog.Notifications.clear();
    list.Select(1);
    EXPECT_EQ(1, list.GetSelected());
    EXPECT_STREQ("beta", list.GetItemText().Text());
    ASSERT_EQ(1u, dialog.Notifications.size());
    EXPECT_EQ(LBN_SELCHANGE, dialog.Notifications[0].first);
    EXPECT_EQ(IDC_TEST_LISTFRAME, dialog.Notifications[0].second);

    DROPDOWNLIST combo(dialog.Hwnd(), IDC_TEST_COMBO);
    EXPECT_EQ(LISTCONTROL::KIND::DROPDOWNLIST, combo.GetKind());
    combo.Add("one");
    combo.Select(0);
    EXPECT_STREQ("one", combo.GetItemText().Text());
    EXPECT_EQ(2u, dialog.Notifications.size());
}

TEST_F(ToolkitTest, MarkerItemKeepsTheDialogManagerAwayFromTheFocus) {
    PROBEDIALOG marked(IDD_TEST_NOFOCUS);
    HWND markedfocus = GetFocus();
    EXPECT_NE(GetDlgItem(marked.Hwnd(), IDC_TEST_ENTRY), markedfocus);
    marked.DestroyWindow();

    PROBEDIALOG plain(IDD_TEST_FOCUS);
    EXPECT_EQ(GetDlgItem(plain.Hwnd(), IDC_TEST_ENTRY), GetFocus());
}

TEST_F(ToolkitTest, WheelNotchesAreReportedAsPlusAndMinusOne) {
    PROBEWINDOW window;
    window.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(10, 10));
    window.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(10, 10));
    EXPECT_EQ((std::vector<int>{1, -1}), window.Wheel);
}

TEST_F(ToolkitTest, CtrlTabReachesTheDialogAndPlainTabMovesTheFocus) {
    PROBEDIALOG dialog(IDD_TEST_DATA);
    HWND focusaftertab = nullptr, focusbefore = nullptr;
    SCRIPT script([&] {
        HWND window = WaitForWindow("Data dialog test");
        HWND entry = WaitForItem(window, IDC_TEST_ENTRY);
        // Focus the first field as a person's click would.
        SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(entry), TRUE);
        GUITHREADINFO info{sizeof info};
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        focusbefore = info.hwndFocus;
        PressKey(window, VK_TAB);
        WaitUntil([&] {
            GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
            return info.hwndFocus != focusbefore;
        });
        focusaftertab = info.hwndFocus;
        // Ctrl held while Tab goes down (the key state of the dialog's thread is set by the input itself).
        INPUT keys[4] = {};
        const WORD sequence[4][2] = {
            {VK_CONTROL, 0}, {VK_TAB, 0}, {VK_TAB, KEYEVENTF_KEYUP}, {VK_CONTROL, KEYEVENTF_KEYUP}};
        for (int i = 0; i < 4; i++) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = sequence[i][0];
            keys[i].ki.dwFlags = sequence[i][1];
        }
        SetForegroundWindow(window);
        SendInput(4, keys, sizeof(INPUT));
        WaitUntil([&] { return !dialog.Keys.empty(); }, 2000);
        Click(WaitForItem(window, IDCANCEL));
    });
    dialog.RunModal();
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ(GetDlgItem(dialog.Hwnd(), IDC_TEST_ENTRY), focusbefore);
    EXPECT_EQ(GetDlgItem(dialog.Hwnd(), IDC_TEST_ENTRY2), focusaftertab);
    ASSERT_FALSE(dialog.Keys.empty()) << "Ctrl+Tab did not reach the dialog window";
    EXPECT_EQ(static_cast<UINT>(VK_TAB), dialog.Keys.back().Key);
    EXPECT_TRUE(dialog.Keys.back().Control);
}

TEST_F(ToolkitTest, OwningWindowIsDestroyedWithItsObjectButAWrapperIsNot) {
    HWND probe = nullptr;
    {
        PROBEWINDOW window;
        probe = window.Hwnd();
        WINDOW wrapper(probe);
        EXPECT_FALSE(wrapper.OwnsWindow());
    }
    EXPECT_FALSE(IsWindow(probe));
}

TEST_F(ToolkitTest, Hline3dIsAChildOfItsClassWithTheGivenId) {
    PROBEDIALOG dialog(IDD_TEST_DATA);
    HLINE3D line(dialog.Hwnd(), 100);
    ASSERT_TRUE(line.IsValid());
    char name[64] = "";
    GetClassNameA(line.Hwnd(), name, sizeof name);
    EXPECT_STREQ("OrvikWinClassHline3D", name);
    EXPECT_EQ(line.Hwnd(), GetDlgItem(dialog.Hwnd(), 100));
    const RECT rect = line.GetRect();
    EXPECT_EQ(100, rect.right - rect.left);
    EXPECT_EQ(2, rect.bottom - rect.top);
}


} // namespace
