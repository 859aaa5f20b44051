// Data dialogs under Wine: a real dialog of the test program, its controls clicked and read from a second
// thread while the test thread runs the modal loop.
#include <gtest/gtest.h>

#include <cstring>

#include "lib/orvik.h"
#include "lib/stringarray.h"
#include "lib/win/datadialogs.h"
#include "tests/win/testdialogs.h"
#include "tests/win/ui_driver.h"

using namespace uidriver;

namespace {

constexpr const char* Caption = "Data dialog test";

class DataDialogTest : public testing::Test {
protected:
    void SetUp() override { DrainQuit(); }

    // The item, waited for on the visible dialog.
    static HWND Item(int id) { return WaitForItem(WaitForWindow(Caption), id); }
};

// A bound push button that counts its calls and changes the text it is given.
struct PUSHRECORD {
    int Calls = 0;
    intptr_t Value = 0;
    HWND Dialog = nullptr;
};

void CountPush(void* user, intptr_t value, HWND dialog, STRING& text) {
    auto* record = static_cast<PUSHRECORD*>(user);
    record->Calls++;
    record->Value = value;
    record->Dialog = dialog;
    text = "pushed";
}

struct BOUNDVALUES {
    STRING Name{"Ann"};
    STRING Other{""};
    STRING Mode{"1"};
    STRING Choice{"2"};
    STRING Pushed{"initial"};
    char RawName[4] = "xyz";
    int RawMode = -7;
    int RawChoice = -7;
};

// Binds every kind of item of the test dialog to values.
void BindAll(DATADIALOG& dialog, BOUNDVALUES& values, PUSHRECORD& push) {
    auto* name = new DATAENTRY(IDC_TEST_ENTRY, values.Name, 40);
    name->SetRawDestination(values.RawName, sizeof values.RawName);
    dialog.AddItem(name);
    dialog.AddItem(new DATAENTRY(IDC_TEST_ENTRY2, values.Other, 40));
    for (int i = 0; i < 3; i++) {
        auto* radio = new DATARADIO(IDC_TEST_RADIO0 + i, values.Mode, i);
        radio->SetRawDestination(&values.RawMode, sizeof values.RawMode);
        dialog.AddItem(radio);
    }
    STRINGARRAY entries;
    for (const char* text : {"red", "green", "blue"})
        entries.Append(STRING(text));
    auto* list = new DATALIST(IDC_TEST_LISTFRAME, values.Choice, entries);
    list->SetRawDestination(&values.RawChoice, sizeof values.RawChoice);
    dialog.AddItem(list);
    dialog.AddItem(new DATAPUSHBUTTON(IDC_TEST_BOUND, values.Pushed, CountPush, &push, 42));
}

TEST_F(DataDialogTest, ControlsShowTheBoundValuesWhenTheDialogOpens) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    BOUNDVALUES values;
    PUSHRECORD push;
    BindAll(dialog, values, push);
    std::string name, listclass, listtext;
    bool radio0 = true, radio1 = false, radio2 = true;
    SCRIPT script([&] {
        name = Text(Item(IDC_TEST_ENTRY));
        radio0 = IsChecked(Item(IDC_TEST_RADIO0));
        radio1 = IsChecked(Item(IDC_TEST_RADIO1));
        radio2 = IsChecked(Item(IDC_TEST_RADIO2));
        HWND list = Item(IDC_TEST_LISTFRAME);
        char cls[64] = "";
        GetClassNameA(list, cls, sizeof cls);
        listclass = cls;
        const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
        char text[64] = "";
        SendMessageA(list, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(text));
        listtext = text;
        Click(Item(IDCANCEL));
    });
    EXPECT_EQ(0, dialog.RunModal());
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ("Ann", name);
    EXPECT_FALSE(radio0);
    EXPECT_TRUE(radio1);
    EXPECT_FALSE(radio2);
    // The black frame of the template was replaced by a list box of its place, with the entry selected.
    EXPECT_STREQ("ListBox", listclass.c_str());
    EXPECT_EQ("blue", listtext);
}

TEST_F(DataDialogTest, CancelLeavesEveryBoundVariableUnchanged) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    BOUNDVALUES values;
    PUSHRECORD push;
    BindAll(dialog, values, push);
    SCRIPT script([&] {
        SetText(Item(IDC_TEST_ENTRY), "Bob");
        Click(Item(IDC_TEST_RADIO2));
        SendMessageA(Item(IDC_TEST_LISTFRAME), LB_SETCURSEL, 0, 0);
        Click(Item(IDC_TEST_BOUND));
        Click(Item(IDCANCEL));
    });
    EXPECT_EQ(0, dialog.RunModal());
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ(1, push.Calls);
    EXPECT_STREQ("Ann", values.Name.Text());
    EXPECT_STREQ("1", values.Mode.Text());
    EXPECT_STREQ("2", values.Choice.Text());
    EXPECT_STREQ("initial", values.Pushed.Text());
    EXPECT_STREQ("xyz", values.RawName);
    EXPECT_EQ(-7, values.RawMode);
    EXPECT_EQ(-7, values.RawChoice);
}

TEST_F(DataDialogTest, AnotherButtonStoresWhatTheControlsHold) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    BOUNDVALUES values;
    PUSHRECORD push;
    BindAll(dialog, values, push);
    SCRIPT script([&] {
        SetText(Item(IDC_TEST_ENTRY), "Bobby");
        Click(Item(IDC_TEST_RADIO2));
        SendMessageA(Item(IDC_TEST_LISTFRAME), LB_SETCURSEL, 0, 0);
        Click(Item(IDC_TEST_BOUND));
        Click(Item(IDOK));
    });
    EXPECT_EQ(IDOK, dialog.RunModal());
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_STREQ("Bobby", values.Name.Text());
    EXPECT_STREQ("Bob", values.RawName); // cut to the buffer's length - 1
    EXPECT_STREQ("2", values.Mode.Text());
    EXPECT_EQ(2, values.RawMode);
    EXPECT_STREQ("0", values.Choice.Text());
    EXPECT_EQ(0, values.RawChoice);
    // The callback's change of its text copy comes back into the variable.
    EXPECT_STREQ("pushed", values.Pushed.Text());
}

TEST_F(DataDialogTest, BoundButtonFiresWithoutEndingTheDialogAndUnboundEndsItWithItsId) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    BOUNDVALUES values;
    PUSHRECORD push;
    BindAll(dialog, values, push);
    bool openafterbound = false;
    int callsbeforeunbound = -1;
    SCRIPT script([&] {
        HWND window = WaitForWindow(Caption);
        Click(Item(IDC_TEST_BOUND));
        Click(Item(IDC_TEST_BOUND));
        Sleep(100);
        openafterbound = IsWindowVisible(window) != 0;
        callsbeforeunbound = push.Calls;
        Click(Item(IDC_TEST_UNBOUND));
    });
    EXPECT_EQ(IDC_TEST_UNBOUND, dialog.RunModal());
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_TRUE(openafterbound);
    EXPECT_EQ(2, callsbeforeunbound);
    EXPECT_EQ(42, push.Value);
    EXPECT_EQ(dialog.Hwnd(), push.Dialog);
}

TEST_F(DataDialogTest, RuleOnCheckBoxAppliesOnlyOnceTheUserClicksIt) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    ASSERT_TRUE(dialog.AddDisableRule(nullptr, IDC_TEST_TARGET2, nullptr, IDC_TEST_CHECK, RULE_NOT_CHECKED));
    bool atopening = false, afterfirst = false, aftersecond = true;
    SCRIPT script([&] {
        HWND target = Item(IDC_TEST_TARGET2);
        atopening = IsWindowEnabled(target) != 0;
        Click(Item(IDC_TEST_CHECK));
        afterfirst = IsWindowEnabled(target) != 0;
        Click(Item(IDC_TEST_CHECK));
        aftersecond = IsWindowEnabled(target) != 0;
        Click(Item(IDCANCEL));
    });
    dialog.RunModal();
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_TRUE(atopening);
    EXPECT_TRUE(afterfirst);
    EXPECT_FALSE(aftersecond);
}

TEST_F(DataDialogTest, RuleOnEmptyEntryDisablesItsTargetAtOpeningAndFollowsTyping) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    STRING other("");
    dialog.AddItem(new DATAENTRY(IDC_TEST_ENTRY2, other, 20));
    dialog.AddDisableRule(nullptr, IDC_TEST_TARGET2, nullptr, IDC_TEST_ENTRY2, RULE_NOT_CHECKED);
    bool atopening = true, aftertyping = false;
    SCRIPT script([&] {
        HWND target = Item(IDC_TEST_TARGET2);
        atopening = IsWindowEnabled(target) != 0;
        SetText(Item(IDC_TEST_ENTRY2), "x");
        aftertyping = IsWindowEnabled(target) != 0;
        Click(Item(IDCANCEL));
    });
    dialog.RunModal();
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_FALSE(atopening);
    EXPECT_TRUE(aftertyping);
}

// Two rules on one target, sources two check boxes; returns the target's enabled state after each of the
// clicks: first box, second box, first box again.
std::vector<bool> TwoRulesOnOneTarget(uint32_t flags) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    dialog.AddDisableRule(nullptr, IDC_TEST_TARGET2, nullptr, IDC_TEST_CHECK, RULE_CHECKED | flags);
    dialog.AddDisableRule(nullptr, IDC_TEST_TARGET2, nullptr, IDC_TEST_CHECK2, RULE_CHECKED | flags);
    std::vector<bool> enabled;
    SCRIPT script([&] {
        HWND target = WaitForItem(WaitForWindow(Caption), IDC_TEST_TARGET2);
        for (int box : {IDC_TEST_CHECK, IDC_TEST_CHECK2, IDC_TEST_CHECK}) {
            Click(WaitForItem(WaitForWindow(Caption), box));
            enabled.push_back(IsWindowEnabled(target) != 0);
        }
        Click(WaitForItem(WaitForWindow(Caption), IDCANCEL));
    });
    dialog.RunModal();
    EXPECT_FALSE(script.Failed()) << script.Reason();
    return enabled;
}

TEST_F(DataDialogTest, RulesOfOneTargetSwitchItOffWhileAnyHoldsOrWithAllOfWhileBothHold) {
    EXPECT_EQ((std::vector<bool>{false, false, false}), TwoRulesOnOneTarget(0));
    EXPECT_EQ((std::vector<bool>{true, false, true}), TwoRulesOnOneTarget(RULE_ALL_OF));
}

TEST_F(DataDialogTest, HideRuleOnEntryHidesTheEntryAndItsLabel) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    dialog.AddDisableRule(nullptr, IDC_TEST_ENTRY, nullptr, IDC_TEST_CHECK, RULE_CHECKED | RULE_HIDE);
    bool entryvisible = true, labelvisible = true, entryenabled = false, back = false;
    SCRIPT script([&] {
        HWND window = WaitForWindow(Caption);
        Click(Item(IDC_TEST_CHECK));
        entryvisible = IsWindowVisible(GetDlgItem(window, IDC_TEST_ENTRY)) != 0;
        labelvisible = IsWindowVisible(GetDlgItem(window, IDC_TEST_ENTRY_LABEL)) != 0;
        entryenabled = IsWindowEnabled(GetDlgItem(window, IDC_TEST_ENTRY)) != 0;
        Click(Item(IDC_TEST_CHECK));
        back = IsWindowVisible(GetDlgItem(window, IDC_TEST_ENTRY)) &&
               IsWindowVisible(GetDlgItem(window, IDC_TEST_ENTRY_LABEL));
        Click(Item(IDCANCEL));
    });
    dialog.RunModal();
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_FALSE(entryvisible);
    EXPECT_FALSE(labelvisible);
    EXPECT_TRUE(entryenabled);
    EXPECT_TRUE(back);
}

TEST_F(DataDialogTest, RadioRulesFollowAClickOnAnyRadioOfTheGroup) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    STRING mode("0");
    for (int i = 0; i < 3; i++)
        dialog.AddItem(new DATARADIO(IDC_TEST_RADIO0 + i, mode, i));
    // The target is off while radio "One" is checked: clicking "Two" must switch it back on.
    dialog.AddDisableRule(nullptr, IDC_TEST_TARGET, nullptr, IDC_TEST_RADIO1, RULE_CHECKED);
    bool afterone = true, aftertwo = false;
    SCRIPT script([&] {
        HWND target = Item(IDC_TEST_TARGET);
        Click(Item(IDC_TEST_RADIO1));
        afterone = IsWindowEnabled(target) != 0;
        Click(Item(IDC_TEST_RADIO2));
        aftertwo = IsWindowEnabled(target) != 0;
        Click(Item(IDOK));
    });
    EXPECT_EQ(IDOK, dialog.RunModal());
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_FALSE(afterone);
    EXPECT_TRUE(aftertwo);
    EXPECT_STREQ("2", mode.Text());
}

TEST_F(DataDialogTest, ListRulesCompareTheSelectedTextOrIndex) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    STRING choice("0");
    STRINGARRAY entries;
    for (const char* text : {"red", "green"})
        entries.Append(STRING(text));
    dialog.AddItem(new DATALIST(IDC_TEST_COMBO, choice, entries));
    dialog.AddDisableRule(nullptr, IDC_TEST_TARGET, nullptr, IDC_TEST_COMBO, RULE_TEXT_EQUALS, "GREEN");
    dialog.AddDisableRule(nullptr, IDC_TEST_TARGET2, nullptr, IDC_TEST_COMBO, RULE_INDEX_DIFFERS, "1");
    bool target1 = false, target2 = true, target1later = true, target2later = false;
    SCRIPT script([&] {
        target1 = IsWindowEnabled(Item(IDC_TEST_TARGET)) != 0;
        target2 = IsWindowEnabled(Item(IDC_TEST_TARGET2)) != 0;
        // A person picking "green" from the drop-down list.
        HWND combo = Item(IDC_TEST_COMBO);
        SendMessageA(combo, CB_SETCURSEL, 1, 0);
        SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(IDC_TEST_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        target1later = IsWindowEnabled(Item(IDC_TEST_TARGET)) != 0;
        target2later = IsWindowEnabled(Item(IDC_TEST_TARGET2)) != 0;
        Click(Item(IDOK));
    });
    dialog.RunModal();
    ASSERT_FALSE(script.Failed()) << script.Reason();
    // "red" at opening: text rule off (case ignored later), index rule on.
    EXPECT_TRUE(target1);
    EXPECT_FALSE(target2);
    EXPECT_FALSE(target1later);
    EXPECT_TRUE(target2later);
    EXPECT_STREQ("1", choice.Text());
}

TEST_F(DataDialogTest, The65thItemOrRuleAssertsAndIsRefused) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    STRING value;
    for (int i = 0; i < DATADIALOGBASE::Max; i++)
        ASSERT_EQ(i, dialog.AddItem(new DATAENTRY(IDC_TEST_ENTRY, value, 10)));
    for (int i = 0; i < DATADIALOGBASE::Max; i++)
        ASSERT_TRUE(dialog.AddDisableRule(nullptr, IDC_TEST_TARGET, nullptr, IDC_TEST_CHECK, RULE_CHECKED));
    const unsigned long before = LastAssertFailure().Count;

    EXPECT_EQ(-1, dialog.AddItem(new DATAENTRY(IDC_TEST_ENTRY, value, 10)));
    EXPECT_EQ(before + 1, LastAssertFailure().Count);
    EXPECT_STREQ("this->Howmany < this->Max", LastAssertFailure().Condition.Text());

    EXPECT_FALSE(dialog.AddDisableRule(nullptr, IDC_TEST_TARGET, nullptr, IDC_TEST_CHECK, RULE_CHECKED));
    EXPECT_EQ(before + 2, LastAssertFailure().Count);
    EXPECT_STREQ("this->DisableItemCount<ARRAYMAX(this->DisableItems)", LastAssertFailure().Condition.Text());
    EXPECT_EQ(DATADIALOGBASE::Max, dialog.ItemCount());
    EXPECT_EQ(DATADIALOGBASE::Max, dialog.RuleCount());
}

TEST_F(DataDialogTest, DialogBoxCancelLeavesTheSubDialogsVariablesUnchanged) {
    DATADIALOGBOX box(IDD_TEST_DATA, nullptr);
    DATADIALOG sub(IDD_TEST_FOCUS, box.Hwnd());
    STRING own("own"), inner("inner");
    box.AddItem(new DATAENTRY(IDC_TEST_ENTRY, own, 20));
    sub.AddItem(new DATAENTRY(IDC_TEST_ENTRY, inner, 20));
    ASSERT_TRUE(box.AddSubDialog(&sub, 1));
    std::string shown;
    SCRIPT script([&] {
        HWND subentry = WaitForItem(sub.Hwnd(), IDC_TEST_ENTRY);
        shown = Text(subentry);
        SetText(subentry, "changed");
        SetText(Item(IDC_TEST_ENTRY), "changed");
        Click(Item(IDCANCEL));
    });
    sub.Show();
    EXPECT_EQ(0, box.RunModal());
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ("inner", shown);
    EXPECT_STREQ("own", own.Text());
    EXPECT_STREQ("inner", inner.Text());
}

TEST_F(DataDialogTest, NotifyHookSeesClicksBeforeTheRules) {
    DATADIALOG dialog(IDD_TEST_DATA, nullptr);
    static int seen;
    seen = 0;
    dialog.SetNotifyHook(
        [](intptr_t userdata, HWND, int code, CONTROL& control) {
            if (code == BN_CLICKED && control.GetId() == IDC_TEST_CHECK)
                seen += static_cast<int>(userdata);
            return 0;
        },
        5);
    SCRIPT script([&] {
        Click(Item(IDC_TEST_CHECK));
        Click(Item(IDCANCEL));
    });
    dialog.RunModal();
    ASSERT_FALSE(script.Failed()) << script.Reason();
    EXPECT_EQ(5, seen);
}

} // namespace
