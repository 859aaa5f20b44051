// The progress window of "/SILENT": a frame of the system's dialog class with a status line and a bar.
#include "setup/wizard/progresswindow.h"

#include <windows.h>

#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/win/windows_win32.h"

namespace {

constexpr int CLIENT_WIDTH = 400;
constexpr int CLIENT_HEIGHT = 90;
constexpr int MARGIN = 16;
constexpr int LINE_HEIGHT = 20;
constexpr int STATUS_ID = 201;
constexpr int PROGRESS_ID = 901;
// The system's dialog class: a plain window with the dialog's background and no procedure of ours.
const char* const DIALOG_CLASS = MAKEINTATOM(0x8002);

HWND CreateFrame(const STRING& title) {
    RECT frame{0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_MINIMIZEBOX | WS_SYSMENU;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_APPWINDOW);
    return CreateWindowExA(WS_EX_APPWINDOW, DIALOG_CLASS, title.Text(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

} // namespace

PROGRESSWINDOW::PROGRESSWINDOW(const STRING& title, bool askperson)
    : AskPerson(askperson), Window(CreateFrame(title)) {
    if (!Window) {
        LogPrintf("SETUP::ProgressWindow cannot be created: %lu\n", GetLastError());
        return;
    }
    const HWND frame = Window.get();
    Status = std::make_unique<CONTROL>(frame, STATUS_ID, "STATIC", WS_VISIBLE | SS_LEFTNOWORDWRAP, MARGIN,
                                       MARGIN, CLIENT_WIDTH - 2 * MARGIN, LINE_HEIGHT, "");
    Status->Send(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    Bar = std::make_unique<PROGRESSBAR>(frame, PROGRESS_ID, MARGIN, 2 * MARGIN + LINE_HEIGHT,
                                        CLIENT_WIDTH - 2 * MARGIN, LINE_HEIGHT);
    // Closing it would not stop the installation: the close box stays disabled.
    EnableMenuItem(GetSystemMenu(frame, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    WINDOW placed(frame);
    placed.CenterOver(nullptr);
    ShowWindow(frame, SW_SHOWNORMAL);
    ServeMessages();
}

// The controls, declared after the window, go before it.
PROGRESSWINDOW::~PROGRESSWINDOW() = default;

void PROGRESSWINDOW::ServeMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void PROGRESSWINDOW::SetProgress(int percent) {
    Log.SetProgress(percent);
    if (Bar)
        Bar->SetPos(percent);
    ServeMessages();
}

void PROGRESSWINDOW::SetStatus(const char* text) {
    Log.SetStatus(text);
    if (Status)
        Status->SetText(text);
    ServeMessages();
}

bool PROGRESSWINDOW::AskYesNo(const char* title, const char* question, bool defaultanswer) {
    if (!AskPerson)
        return Log.AskYesNo(title, question, defaultanswer);
    return WINORVIK::YesNoMsgBox(Window.get(), title, question);
}

void PROGRESSWINDOW::ReportError(const char* title, const char* text) {
    Log.ReportError(title, text);
    if (AskPerson)
        WINORVIK::ErrorMsgBox(Window.get(), title, text);
}

void* PROGRESSWINDOW::ProgressWindow() const {
    return Bar ? Bar->Hwnd() : nullptr;
}
