// The bound items of data dialogs: entry, radio button, list and push button.
#include <cstring>

#include "lib/orvik.h"
#include "lib/win/datadialogs.h"
#include "lib/win/winassert.h"

namespace {

STRING IdText(int id) {
    STRING text;
    text.Printf("%d", id);
    return text;
}

// Writes number into a bound int; the destination must be exactly an int.
void StoreRawInt(void* destination, int length, int number) {
    if (!destination)
        return;
    WIN_ASSERT(length == 4, "this->pDataLength==4");
    if (length == static_cast<int>(sizeof(int)))
        std::memcpy(destination, &number, sizeof number);
}

} // namespace

// ---- entry -----------------------------------------------------------------------------------------------

DATAENTRY::DATAENTRY(int id, STRING& value, int maxlength)
    : DATADIALOGITEM(id, &value), MaxLength(maxlength) {}

void DATAENTRY::ToDialog(HWND dialog) {
    Dialog = dialog;
    CONTROL entry(dialog, Id);
    CONTROL* pEntry = &entry;
    WIN_ASSERT_INFO(pEntry->IsValid() && pEntry->IsEdit(), "this->pEntry->IsValid()", IdText(Id).Text());
    if (!entry.IsValid())
        return;
    entry.SetLimit(MaxLength);
    entry.SetText(pValue->NotNull() ? pValue->c_str() : "");
    // The rules that depend on this entry see its starting text.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(Id, EN_CHANGE), reinterpret_cast<LPARAM>(entry.Hwnd()));
    entry.SelectAll();
}

void DATAENTRY::FromDialog() {
    CONTROL entry(Dialog, Id);
    if (!entry.IsValid())
        return;
    *pValue = entry.GetText();
    if (pData && pDataLength > 0) {
        char* buffer = static_cast<char*>(pData);
        const int n = pValue->Length() < pDataLength - 1 ? pValue->Length() : pDataLength - 1;
        std::memcpy(buffer, pValue->c_str(), n);
        buffer[n] = '\0';
    }
}

// ---- radio button ----------------------------------------------------------------------------------------

DATARADIO::DATARADIO(int id, STRING& value, int buttonvalue)
    : DATADIALOGITEM(id, &value), ButtonValue(buttonvalue) {}

void DATARADIO::ToDialog(HWND dialog) {
    Dialog = dialog;
    CONTROL radio(dialog, Id);
    CONTROL* pRadio = &radio;
    WIN_ASSERT_INFO(pRadio->IsValid() && pRadio->IsKind("Button"), "this->pRadio->IsValid()",
                    IdText(Id).Text());
    if (!radio.IsValid())
        return;
    radio.SetCheck(pValue->NotEmpty() && pValue->ToInt() == ButtonValue);
}

void DATARADIO::FromDialog() {
    CONTROL radio(Dialog, Id);
    if (!radio.IsValid() || !radio.IsChecked())
        return;
    pValue->Printf("%d", ButtonValue);
    StoreRawInt(pData, pDataLength, ButtonValue);
}

// ---- list ------------------------------------------------------------------------------------------------

DATALIST::DATALIST(int id, STRING& value, const STRINGARRAY& entries)
    : DATADIALOGITEM(id, &value), Entries(entries) {}

std::unique_ptr<LISTCONTROL> DATALIST::FindList(HWND dialog) const {
    CONTROL existing(dialog, Id);
    const bool placeholder = existing.IsKind("Static", SS_BLACKFRAME, SS_GRAYFRAME);
    if (placeholder)
        return std::make_unique<LISTCONTROL>(CONTROL::REPLACE, dialog, Id);
    return std::make_unique<LISTCONTROL>(dialog, Id);
}

void DATALIST::ToDialog(HWND dialog) {
    Dialog = dialog;
    std::unique_ptr<LISTCONTROL> pList = FindList(dialog);
    WIN_ASSERT_INFO(pList->IsValid() && pList->GetKind() != LISTCONTROL::KIND::NONE, "this->pList->IsValid()",
                    IdText(Id).Text());
    if (pList->GetKind() == LISTCONTROL::KIND::NONE)
        return;
    pList->Clear();
    for (int i = 0; i < Entries.Count(); i++)
        pList->Add(Entries.Get(i)->Text());
    pList->Select(pValue->NotEmpty() ? pValue->ToInt() : -1);
}

void DATALIST::FromDialog() {
    LISTCONTROL list(Dialog, Id);
    if (list.GetKind() == LISTCONTROL::KIND::NONE)
        return;
    const int selected = list.GetSelected();
    pValue->Printf("%d", selected);
    StoreRawInt(pData, pDataLength, selected);
}

// ---- push button -----------------------------------------------------------------------------------------

DATAPUSHBUTTON::DATAPUSHBUTTON(int id, STRING& value, DATABUTTONCALLBACK callback, void* user,
                               intptr_t buttonvalue)
    : DATADIALOGITEM(id, &value), Callback(callback), User(user), ButtonValue(buttonvalue) {}

void DATAPUSHBUTTON::ToDialog(HWND dialog) {
    Dialog = dialog;
    Copy = *pValue;
}

void DATAPUSHBUTTON::FromDialog() {
    *pValue = Copy;
}

void DATAPUSHBUTTON::Fire() {
    WIN_ASSERT(Magic == MagicValue, "this->Magic==0x50555348");
    if (Magic != MagicValue || !Callback)
        return;
    Callback(User, ButtonValue, Dialog, Copy);
}
