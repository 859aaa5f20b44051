// A small Windows program for the robot's own tests. It shows what real programs show (a message box, a
// dialog with the standard controls) and reports what the person did, so a test can check that the robot's
// actions really reached the program:
//   robot_target messagebox          a Yes/No question; the exit code is the button (IDYES 6, IDNO 7)
//   robot_target form RESULT_FILE    a form; OK writes its fields to RESULT_FILE and exits 1, Cancel exits 2
//   robot_target exit CODE           no window, exits with CODE
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kNameLabelId = 100;
constexpr int kNameId = 101;
constexpr int kReportsId = 102;
constexpr int kTypicalId = 103;
constexpr int kCustomId = 104;
constexpr int kItemsId = 105;
constexpr int kColoursId = 106;
constexpr int kSummaryId = 107;

const wchar_t* const kItems[] = {L"Alpha", L"Bravo", L"Charlie"};
const wchar_t* const kColours[] = {L"Red", L"Green", L"Blue"};

// Builds a dialog template in memory: the header, then one DWORD-aligned entry per control.
class DialogTemplate {
public:
    DialogTemplate(const wchar_t* title, short width, short height) {
        addDword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
        addDword(0);
        countIndex_ = words_.size();
        words_.push_back(0);
        addShorts({0, 0, width, height});
        words_.push_back(0); // no menu
        words_.push_back(0); // the standard dialog class
        addString(title);
        words_.push_back(8);
        addString(L"MS Shell Dlg");
    }

    // classAtom: 0x80 button, 0x81 edit, 0x82 static, 0x83 list box, 0x85 combo box.
    void add(WORD classAtom, const wchar_t* text, int id, DWORD style, short x, short y, short cx, short cy) {
        if (words_.size() % 2)
            words_.push_back(0);
        addDword(style | WS_CHILD | WS_VISIBLE);
        addDword(0);
        addShorts({x, y, cx, cy});
        words_.push_back(static_cast<WORD>(id));
        words_.push_back(0xFFFF);
        words_.push_back(classAtom);
        addString(text);
        words_.push_back(0); // no creation data
        ++words_[countIndex_];
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void addDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void addShorts(std::initializer_list<short> values) {
        for (short value : values)
            words_.push_back(static_cast<WORD>(value));
    }
    void addString(const wchar_t* text) {
        for (; *text; ++text)
            words_.push_back(static_cast<WORD>(*text));
        words_.push_back(0);
    }

    std::vector<WORD> words_;
    size_t countIndex_ = 0;
};

std::wstring controlText(HWND dialog, int id) {
    wchar_t buffer[512] = {};
    GetDlgItemTextW(dialog, id, buffer, 512);
    return buffer;
}

std::wstring selectedItem(HWND dialog) {
    LRESULT index = SendDlgItemMessageW(dialog, kItemsId, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? L"(none)" : kItems[index];
}

std::wstring selectedColour(HWND dialog) {
    LRESULT index = SendDlgItemMessageW(dialog, kColoursId, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? L"(none)" : kColours[index];
}

void showSummary(HWND dialog) {
    std::wstring summary = L"Selected: " + selectedItem(dialog) + L", " + selectedColour(dialog);
    SetDlgItemTextW(dialog, kSummaryId, summary.c_str());
}

std::string utf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), length, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

void writeResult(const wchar_t* path, const std::string& text) {
    FILE* file = _wfopen(path, L"wb");
    if (!file)
        return;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

std::string formResult(HWND dialog) {
    std::string result = "name=" + utf8(controlText(dialog, kNameId)) + "\n";
    result += std::string("reports=") + (IsDlgButtonChecked(dialog, kReportsId) ? "1" : "0") + "\n";
    result += std::string("mode=") + (IsDlgButtonChecked(dialog, kCustomId) ? "custom" : "typical") + "\n";
    result += "item=" + utf8(selectedItem(dialog)) + "\n";
    result += "colour=" + utf8(selectedColour(dialog)) + "\n";
    return result;
}

INT_PTR CALLBACK formProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        for (const wchar_t* item : kItems)
            SendDlgItemMessageW(dialog, kItemsId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        for (const wchar_t* colour : kColours)
            SendDlgItemMessageW(dialog, kColoursId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(colour));
        SendDlgItemMessageW(dialog, kColoursId, CB_SETCURSEL, 0, 0);
        CheckRadioButton(dialog, kTypicalId, kCustomId, kTypicalId);
        // OK waits for a name.
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
        showSummary(dialog);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id == kNameId && code == EN_CHANGE) {
            EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthW(GetDlgItem(dialog, kNameId)) > 0);
        } else if ((id == kItemsId && code == LBN_SELCHANGE) || (id == kColoursId && code == CBN_SELCHANGE)) {
            showSummary(dialog);
        } else if (id == IDOK && IsWindowEnabled(GetDlgItem(dialog, IDOK))) {
            writeResult(reinterpret_cast<const wchar_t*>(GetWindowLongPtrW(dialog, DWLP_USER)),
                        formResult(dialog));
            EndDialog(dialog, 1);
        } else if (id == IDCANCEL) {
            if (MessageBoxW(dialog, L"Do you really want to leave the form?", L"Robot Target",
                            MB_YESNO | MB_ICONQUESTION) == IDYES) {
                writeResult(reinterpret_cast<const wchar_t*>(GetWindowLongPtrW(dialog, DWLP_USER)),
                            "cancelled\n");
                EndDialog(dialog, 2);
            }
        }
        return TRUE;
    }
    }
    return FALSE;
}

int showForm(const wchar_t* resultPath) {
    DialogTemplate form(L"Robot Target Form", 220, 170);
    form.add(0x82, L"&Your name:", kNameLabelId, SS_LEFT, 7, 9, 50, 8);
    form.add(0x81, L"", kNameId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 60, 7, 153, 12);
    form.add(0x80, L"Send anonymous &reports", kReportsId, BS_AUTOCHECKBOX | WS_TABSTOP, 7, 25, 150, 10);
    form.add(0x80, L"&Typical installation", kTypicalId, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 7, 40,
             100, 10);
    form.add(0x80, L"&Custom installation", kCustomId, BS_AUTORADIOBUTTON, 110, 40, 100, 10);
    form.add(0x83, L"", kItemsId, LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 7, 56, 100,
             50);
    form.add(0x85, L"", kColoursId, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 113, 56, 100, 60);
    form.add(0x82, L"", kSummaryId, SS_LEFT, 7, 112, 206, 8);
    form.add(0x80, L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 109, 149, 50, 14);
    form.add(0x80, L"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 163, 149, 50, 14);
    return static_cast<int>(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), form.get(), nullptr, formProc,
                                                    reinterpret_cast<LPARAM>(resultPath)));
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"messagebox")
        return MessageBoxW(nullptr, L"Shall the robot go on?", L"Robot Target Question",
                           MB_YESNO | MB_ICONQUESTION);
    if (mode == L"form" && argc > 2)
        return showForm(argv[2]);
    if (mode == L"exit" && argc > 2)
        return _wtoi(argv[2]);
    return 100; // unknown mode: a code no test expects
}
