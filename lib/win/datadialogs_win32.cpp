// DATADIALOGBASE, DATADIALOG and DATADIALOGBOX: bound items, dependency rules and the modal run that loads
// and stores the items.
#include "lib/win/datadialogs.h"

#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/win/winassert.h"

namespace {

// Notification codes after which the rules are applied: click, selection change, edit change.
bool IsRuleNotification(int code) {
    return code == BN_CLICKED || code == LBN_SELCHANGE || code == EN_CHANGE;
}

bool ConditionNotAllowed() {
    ORVIK_ASSERT(FALSE);
    return false;
}

bool ButtonConditionHolds(uint32_t code, const CONTROL& button) {
    switch (code) {
    case RULE_CHECKED:
        return button.IsChecked();
    case RULE_NOT_CHECKED:
        return !button.IsChecked();
    case RULE_ALWAYS:
        return true;
    case RULE_NEVER:
        return false;
    default:
        return ConditionNotAllowed();
    }
}

bool ListConditionHolds(uint32_t code, HWND window, int id, const STRING& compare) {
    LISTCONTROL list(window, id);
    switch (code) {
    case RULE_TEXT_EQUALS:
        return list.GetItemText() == compare;
    case RULE_TEXT_DIFFERS:
        return list.GetItemText() != compare;
    case RULE_INDEX_EQUALS:
        return list.GetSelected() == compare.ToInt();
    case RULE_INDEX_DIFFERS:
        return list.GetSelected() != compare.ToInt();
    case RULE_ALWAYS:
        return true;
    case RULE_NEVER:
        return false;
    default:
        return ConditionNotAllowed();
    }
}

bool EditConditionHolds(uint32_t code, const CONTROL& edit, const STRING& compare) {
    const STRING text = edit.GetText();
    switch (code) {
    case RULE_CHECKED:
        return text.NotEmpty();
    case RULE_NOT_CHECKED:
        return text.IsEmpty();
    case RULE_TEXT_EQUALS:
        return text == compare;
    case RULE_TEXT_DIFFERS:
        return text != compare;
    case RULE_FILE_EXISTS:
    case RULE_FILE_MISSING: {
        const FILENAME file(text);
        const bool isfile = text.NotEmpty() && file.Exists() && !file.IsDirectory();
        return code == RULE_FILE_EXISTS ? isfile : !isfile;
    }
    case RULE_DIR_EXISTS:
    case RULE_DIR_MISSING: {
        const bool isdir = text.NotEmpty() && FILENAME(text).IsDirectory();
        return code == RULE_DIR_EXISTS ? isdir : !isdir;
    }
    case RULE_ALWAYS:
        return true;
    case RULE_NEVER:
        return false;
    default:
        return ConditionNotAllowed();
    }
}

} // namespace

// ---- DATADIALOGBASE --------------------------------------------------------------------------------------

DATADIALOGBASE::~DATADIALOGBASE() = default;

int DATADIALOGBASE::AddItem(DATADIALOGITEM* item) {
    std::unique_ptr<DATADIALOGITEM> owned(item);
    ORVIK_ASSERT(this->Howmany < this->Max);
    if (Howmany >= Max)
        return -1; // the table is full: the item is refused, never written past the end
    Items[Howmany] = std::move(owned);
    return Howmany++;
}

bool DATADIALOGBASE::AddDisableRule(HWND targetwindow, int targetid, HWND sourcewindow, int sourceid,
                                    uint32_t condition, const char* comparetext) {
    WIN_ASSERT(DisableItemCount < Max, "this->DisableItemCount<ARRAYMAX(this->DisableItems)");
    if (DisableItemCount >= Max)
        return false; // full: refused, never written past the end
    DATARULE& rule = DisableItems[DisableItemCount++];
    rule.TargetWindow = targetwindow;
    rule.TargetId = targetid;
    rule.SourceWindow = sourcewindow;
    rule.SourceId = sourceid;
    rule.Condition = condition;
    rule.CompareText = comparetext ? comparetext : "";
    rule.Visited = false;
    return true;
}

int DATADIALOGBASE::HandleButton(int id) {
    WIN_ASSERT(id != IDHELP, "id!=IDHELP");
    for (int i = 0; i < Howmany; i++) {
        auto* button = dynamic_cast<DATAPUSHBUTTON*>(Items[i].get());
        if (button && button->GetId() == id) {
            button->Fire();
            return 1;
        }
    }
    return 0;
}

void DATADIALOGBASE::LoadItems() {
    HWND dialog = GetDialogWindow();
    for (int i = 0; i < Howmany; i++)
        Items[i]->ToDialog(dialog);
}

void DATADIALOGBASE::StoreItems() {
    if (!StoreOnClose)
        return;
    for (int i = 0; i < Howmany; i++)
        Items[i]->FromDialog();
}

int DATADIALOGBASE::CallNotifyHook(int code, CONTROL& control) {
    return NotifyHook ? NotifyHook(NotifyUserData, GetDialogWindow(), code, control) : 0;
}

bool DATADIALOGBASE::RuleHolds(const DATARULE& rule) {
    HWND window = rule.SourceWindow ? rule.SourceWindow : GetDialogWindow();
    CONTROL cdepend(window, rule.SourceId);
    ORVIK_ASSERT(cdepend.IsValid());
    if (!cdepend.IsValid())
        return false;
    const uint32_t code = rule.Condition & RULE_CONDITION_MASK;
    if (cdepend.IsCheckBox() || cdepend.IsRadioButton())
        return ButtonConditionHolds(code, cdepend);
    if (cdepend.IsListBox() || cdepend.IsComboBox())
        return ListConditionHolds(code, window, rule.SourceId, rule.CompareText);
    if (cdepend.IsEdit())
        return EditConditionHolds(code, cdepend, rule.CompareText);
    return false;
}

void DATADIALOGBASE::ApplyRule(const DATARULE& rule, bool switchoff) {
    HWND window = rule.TargetWindow ? rule.TargetWindow : GetDialogWindow();
    CONTROL target(window, rule.TargetId);
    // On a page embedded in a frame (a child dialog made a control parent) controls are hidden, not greyed.
    // Top-level dialogs carry WS_EX_CONTROLPARENT too, so the child style tells the embedded page apart.
    const bool embeddedpage = (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
                              (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD);
    if ((rule.Condition & RULE_HIDE) || embeddedpage) {
        const int show = switchoff ? SW_HIDE : SW_SHOW;
        target.Show(show);
        if (target.IsEdit())
            CONTROL(window, rule.TargetId + DATADIALOG_LABEL_OFFSET).Show(show);
    } else {
        target.Enable(!switchoff);
    }
}

int DATADIALOGBASE::OnNotify(int code, CONTROL& control) {
    if (!IsRuleNotification(code))
        return 0;
    HWND sender = GetParent(control.Hwnd());
    const int senderid = control.GetId();
    const bool senderisradio = control.IsRadioButton();
    for (int i = 0; i < DisableItemCount; i++)
        DisableItems[i].Visited = false;

    for (int i = 0; i < DisableItemCount; i++) {
        DATARULE& rule = DisableItems[i];
        if (rule.Visited)
            continue;
        HWND source = rule.SourceWindow ? rule.SourceWindow : GetDialogWindow();
        bool due = source == sender && rule.SourceId == senderid;
        // One click changes several radio buttons: every rule on a radio button is due.
        if (!due && senderisradio)
            due = CONTROL(source, rule.SourceId).IsRadioButton();
        if (!due)
            continue;

        HWND target = rule.TargetWindow ? rule.TargetWindow : GetDialogWindow();
        int rules = 0, holding = 0;
        for (int k = i; k < DisableItemCount; k++) {
            DATARULE& other = DisableItems[k];
            HWND othertarget = other.TargetWindow ? other.TargetWindow : GetDialogWindow();
            if (othertarget != target || other.TargetId != rule.TargetId)
                continue;
            rules++;
            if (RuleHolds(other))
                holding++;
            other.Visited = true;
        }
        const bool switchoff = holding > 0 && (!(rule.Condition & RULE_ALL_OF) || holding == rules);
        ApplyRule(rule, switchoff);
    }
    return 0;
}

// ---- DATADIALOG ------------------------------------------------------------------------------------------

DATADIALOG::DATADIALOG(int templ, HWND owner, HMODULE module) : DIALOG(templ, owner, module) {}

intptr_t DATADIALOG::RunModal(bool keepshown) {
    StoreOnClose = true;
    LoadItems();
    const intptr_t result = DIALOG::RunModal(keepshown);
    StoreItems();
    return result;
}

int DATADIALOG::OnButton(int id) {
    if (HandleButton(id))
        return 1;
    if (id == IDCANCEL) {
        // A cancelled dialog leaves every bound variable as it was.
        Cancel();
        EndModal(0);
    } else {
        EndModal(id);
    }
    return 1;
}

int DATADIALOG::OnControlNotify(int code, CONTROL& control, intptr_t value) {
    int result = CallNotifyHook(code, control);
    if (!result)
        result = OnNotify(code, control);
    if (!result)
        result = DIALOG::OnControlNotify(code, control, value);
    return result;
}

// ---- DATADIALOGBOX ---------------------------------------------------------------------------------------

DATADIALOGBOX::DATADIALOGBOX(int templ, HWND owner, HMODULE module) : DATADIALOG(templ, owner, module) {}

bool DATADIALOGBOX::AddSubDialog(DATADIALOG* sub, int id) {
    for (SUBDIALOG& slot : SubDialogs) {
        if (slot.Id == -1) {
            slot.Dialog = sub;
            slot.Id = id;
            return true;
        }
    }
    ORVIK_ASSERT_INFO(FALSE, "no free sub-dialog slot");
    return false;
}

void DATADIALOGBOX::RemoveSubDialog(int id) {
    for (SUBDIALOG& slot : SubDialogs) {
        if (slot.Id == id) {
            slot.Dialog = nullptr;
            slot.Id = -1;
        }
    }
}

void DATADIALOGBOX::LoadItems() {
    DATADIALOG::LoadItems();
    for (SUBDIALOG& slot : SubDialogs)
        if (slot.Id != -1 && slot.Dialog)
            slot.Dialog->LoadItems();
}

void DATADIALOGBOX::StoreItems() {
    DATADIALOG::StoreItems();
    for (SUBDIALOG& slot : SubDialogs)
        if (slot.Id != -1 && slot.Dialog)
            slot.Dialog->StoreItems();
}

void DATADIALOGBOX::Cancel() {
    DATADIALOG::Cancel();
    for (SUBDIALOG& slot : SubDialogs)
        if (slot.Id != -1 && slot.Dialog)
            slot.Dialog->Cancel();
}
