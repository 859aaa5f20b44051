// Data dialogs: dialogs whose controls are bound to the caller's variables. Items copy their value into the
// control when the dialog opens and back when it closes; push buttons can be bound to callbacks; a small rule
// table enables, disables, shows or hides controls according to the state of other controls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "lib/stringarray.h"
#include "lib/strings.h"
#include "lib/win/windows_win32.h"

// Every entry's label is the dialog item with the entry's id plus this offset.
constexpr int DATADIALOG_LABEL_OFFSET = 55000;

// Condition codes of a dependency rule (low 12 bits) and its flags.
enum DATARULE_CONDITION : uint32_t {
    RULE_CHECKED = 0,     // check box / radio checked; edit text not empty
    RULE_NOT_CHECKED = 1, // not checked; edit text empty
    RULE_TEXT_EQUALS = 2, // list entry or edit text equals the compare text
    RULE_TEXT_DIFFERS = 3,
    RULE_INDEX_EQUALS = 5, // list selection index equals the compare text as a number
    RULE_INDEX_DIFFERS = 6,
    RULE_FILE_EXISTS = 7, // edit text names an existing file
    RULE_FILE_MISSING = 8,
    RULE_DIR_EXISTS = 9, // edit text names an existing directory
    RULE_DIR_MISSING = 10,
    RULE_ALWAYS = 11,
    RULE_NEVER = 12,
};
constexpr uint32_t RULE_CONDITION_MASK = 0x0FFF;
constexpr uint32_t RULE_HIDE = 0x10000;   // hide and show instead of disable and enable
constexpr uint32_t RULE_ALL_OF = 0x40000; // all rules of the same target must hold, not any of them

// One bound control. The value lives in the caller's STRING (text form); an optional raw destination gets a
// copy when the dialog closes.
class DATADIALOGITEM {
public:
    DATADIALOGITEM(int id, STRING* value) : Id(id), pValue(value) {}
    virtual ~DATADIALOGITEM() = default;
    DATADIALOGITEM(const DATADIALOGITEM&) = delete;
    DATADIALOGITEM& operator=(const DATADIALOGITEM&) = delete;

    virtual void ToDialog(HWND dialog) = 0;
    virtual void FromDialog() = 0;

    int GetId() const { return Id; }
    // A character buffer (entries) or an int (radio buttons, lists: length 4) that also receives the value.
    void SetRawDestination(void* destination, int length) {
        pData = destination;
        pDataLength = length;
    }

protected:
    int Id;
    STRING* pValue;
    void* pData = nullptr;
    int pDataLength = 0;
    HWND Dialog = nullptr;
};

// An edit field holding the STRING, limited to maxlength characters.
class DATAENTRY : public DATADIALOGITEM {
public:
    DATAENTRY(int id, STRING& value, int maxlength);
    void ToDialog(HWND dialog) override;
    void FromDialog() override;

private:
    int MaxLength;
};

// One radio button of a group bound to one STRING: checked when the STRING reads as value.
class DATARADIO : public DATADIALOGITEM {
public:
    DATARADIO(int id, STRING& value, int buttonvalue);
    void ToDialog(HWND dialog) override;
    void FromDialog() override;

private:
    int ButtonValue;
};

// A list filled with texts; the STRING holds the selected index in decimal (-1: none). A static black or
// grey frame in the template is replaced by a list box of its size.
class DATALIST : public DATADIALOGITEM {
public:
    DATALIST(int id, STRING& value, const STRINGARRAY& entries);
    void ToDialog(HWND dialog) override;
    void FromDialog() override;

private:
    std::unique_ptr<LISTCONTROL> FindList(HWND dialog) const;
    STRINGARRAY Entries;
};

// Called when a bound push button is clicked: (user object, value, dialog window, the item's text copy).
using DATABUTTONCALLBACK = void (*)(void* user, intptr_t value, HWND dialog, STRING& text);

// A push button that calls a function instead of closing the dialog.
class DATAPUSHBUTTON : public DATADIALOGITEM {
public:
    static constexpr uint32_t MagicValue = 0x50555348; // "PUSH"

    DATAPUSHBUTTON(int id, STRING& value, DATABUTTONCALLBACK callback, void* user, intptr_t buttonvalue);
    ~DATAPUSHBUTTON() override { Magic = 0; }
    void ToDialog(HWND dialog) override;
    void FromDialog() override;
    void Fire();

private:
    uint32_t Magic = MagicValue;
    DATABUTTONCALLBACK Callback;
    void* User;
    intptr_t ButtonValue;
    STRING Copy;
};

// One dependency rule: the target item is switched off (disabled or hidden) while the condition on the
// source control holds.
struct DATARULE {
    HWND TargetWindow = nullptr; // null: the dialog that owns the rule
    int TargetId = 0;
    HWND SourceWindow = nullptr; // null: the dialog that owns the rule
    int SourceId = 0;
    uint32_t Condition = 0; // condition code and flags
    STRING CompareText;
    bool Visited = false;
};

// Called first for every control notification; non-zero takes the notification.
using DATANOTIFYHOOK = int (*)(intptr_t userdata, HWND dialog, int code, CONTROL& control);

// The binding part of a data dialog: items, rules, the notification hook and the store-on-close switch.
class DATADIALOGBASE {
public:
    static constexpr int Max = 64;

    DATADIALOGBASE() = default;
    virtual ~DATADIALOGBASE();
    DATADIALOGBASE(const DATADIALOGBASE&) = delete;
    DATADIALOGBASE& operator=(const DATADIALOGBASE&) = delete;

    virtual HWND GetDialogWindow() const = 0;
    // The dependency update for a notification of control; returns 0 so the notification goes on.
    virtual int OnNotify(int code, CONTROL& control);
    // Fires the first push-button item with id: 1, or 0 when no item takes it.
    virtual int HandleButton(int id);
    virtual void LoadItems();
    virtual void StoreItems();
    // Nothing is stored when the dialog closes.
    virtual void Cancel() { StoreOnClose = false; }

    // Takes ownership of item; returns its index, or -1 when the table is full (the item is deleted).
    int AddItem(DATADIALOGITEM* item);
    // Returns false when the table is full.
    bool AddDisableRule(HWND targetwindow, int targetid, HWND sourcewindow, int sourceid, uint32_t condition,
                        const char* comparetext = nullptr);
    void SetNotifyHook(DATANOTIFYHOOK hook, intptr_t userdata) {
        NotifyHook = hook;
        NotifyUserData = userdata;
    }

    int ItemCount() const { return Howmany; }
    int RuleCount() const { return DisableItemCount; }

protected:
    int CallNotifyHook(int code, CONTROL& control);
    bool RuleHolds(const DATARULE& rule);
    void ApplyRule(const DATARULE& rule, bool switchoff);

    std::unique_ptr<DATADIALOGITEM> Items[Max];
    int Howmany = 0;
    DATARULE DisableItems[Max];
    int DisableItemCount = 0;
    DATANOTIFYHOOK NotifyHook = nullptr;
    intptr_t NotifyUserData = 0;
    bool StoreOnClose = true;
};

class DATADIALOG : public DATADIALOGBASE, public DIALOG {
public:
    DATADIALOG(int templ, HWND owner, HMODULE module = nullptr);

    HWND GetDialogWindow() const override { return hWnd; }
    // Loads the items, runs the modal loop and stores the items (unless cancelled).
    intptr_t RunModal(bool keepshown = false) override;
    // A bound push button fires; any other button ends the loop with its id, Cancel with 0 and nothing
    // stored.
    int OnButton(int id) override;
    int OnControlNotify(int code, CONTROL& control, intptr_t value) override;
};

// A data dialog with sub-dialogs whose items load, store and cancel together with its own.
class DATADIALOGBOX : public DATADIALOG {
public:
    static constexpr int MaxSubDialogs = 16;

    DATADIALOGBOX(int templ, HWND owner, HMODULE module = nullptr);

    // The sub-dialog is not owned; it must outlive its registration. False when all slots are taken.
    bool AddSubDialog(DATADIALOG* sub, int id);
    void RemoveSubDialog(int id);

    void LoadItems() override;
    void StoreItems() override;
    void Cancel() override;

private:
    struct SUBDIALOG {
        DATADIALOG* Dialog = nullptr;
        int Id = -1;
    };
    SUBDIALOG SubDialogs[MaxSubDialogs];
};
