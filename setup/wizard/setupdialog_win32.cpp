// SETUPDIALOGBOX: frame layout, header colours, page creation, the page loop and the walk over the steps.
#include "setup/wizard/setupdialog.h"

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/textcodec.h"
#include "lib/textlayout.h"
#include "lib/win/winassert.h"
#include "setup/res/messages.h"

namespace {

constexpr int TITLE_FONT_POINTS = 9;
constexpr COLORREF HEADER_WHITE = RGB(255, 255, 255);

HFONT CreateArialBold(int points) {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    const auto charset =
        static_cast<DWORD>(CharsetFromCodePage(static_cast<int>(TEXTCODEC::ActiveCodePage())));
    return CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
}

bool IsHeaderText(int id) {
    return id == IDC_WIZARD_TITLE || id == IDC_WIZARD_SUBTITLE || id == IDC_WIZARD_ICON;
}

bool IsNavigation(int id) {
    return id == IDOK || id == IDC_WIZARD_NEXT || id == IDC_WIZARD_BACK || id == IDC_WIZARD_CANCEL;
}

// Removes what waits in the queue for the range of messages (of window, or of every window of the thread).
int DiscardMessages(HWND window, UINT first, UINT last) {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, window, first, last, PM_REMOVE))
        count++;
    return count;
}

// A page inside the wizard: what would close the page alone (Escape in a multi-line field, which closes
// its dialog, or the page's own Cancel) is the wizard's Cancel.
class WIZARDPAGE : public DATADIALOG {
public:
    WIZARDPAGE(int templ, HWND wizard, HMODULE module) : DATADIALOG(templ, wizard, module), Wizard(wizard) {}

    INT_PTR DlgProc(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_CLOSE) {
            SendMessageA(Wizard, WM_CLOSE, 0, 0);
            return TRUE;
        }
        return DATADIALOG::DlgProc(message, wparam, lparam);
    }
    int OnButton(int id) override {
        if (id != IDCANCEL && id != IDOK)
            return DATADIALOG::OnButton(id);
        SendMessageA(Wizard, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        return 1;
    }

private:
    HWND Wizard;
};

} // namespace

SETUPDIALOGBOX::SETUPDIALOGBOX(const char* caption, const char* confirmation, int subtitlefontsize,
                               HWND owner)
    : DATADIALOGBOX(IDD_WIZARD_FRAME, owner, nullptr), SubtitleFontSize(subtitlefontsize),
      Confirmation(confirmation ? confirmation : "") {
    if (!hWnd)
        return;
    HeaderLine = std::make_unique<HLINE3D>(hWnd, IDC_WIZARD_LINE_HEADER);
    ButtonLine = std::make_unique<HLINE3D>(hWnd, IDC_WIZARD_LINE_BUTTONS);
    SetText(caption);
    SetWindowHook(HeaderColourHook);
    LayOut();
}

SETUPDIALOGBOX::~SETUPDIALOGBOX() {
    WIN_ASSERT(!pSubDlg, "!this->pSubDlg");
    pSubDlg.reset();
    HeaderLine.reset();
    ButtonLine.reset();
    // The window goes before the fonts and the brush it uses.
    DestroyOwnedWindow();
}

void SETUPDIALOGBOX::LayOut() {
    CONTROL subtitle(hWnd, IDC_WIZARD_SUBTITLE);
    const RECT text = subtitle.GetRect();
    subtitle.Move(text.left, text.top + 1);
    CONTROL(hWnd, IDC_WIZARD_SPARE).Hide();

    const RECT header = CONTROL(hWnd, IDC_WIZARD_HEADER).GetRect();
    const RECT area = CONTROL(hWnd, IDC_WIZARD_PAGEAREA).GetRect();
    const RECT back = CONTROL(hWnd, IDC_WIZARD_BACK).GetRect();
    HeaderLine->Move(0, header.bottom - 1, header.right, 2);
    HeaderLine->Show();
    ButtonLine->Move(0, area.bottom + (back.top - area.bottom) / 4, header.right, 2);
    ButtonLine->Show();
}

LRESULT SETUPDIALOGBOX::HeaderColourHook(WINDOW* window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_CTLCOLORSTATIC)
        return 0;
    HWND control = reinterpret_cast<HWND>(lparam);
    if (!IsHeaderText(GetDlgCtrlID(control)))
        return 0;
    auto* wizard = static_cast<SETUPDIALOGBOX*>(window);
    if (!wizard->HeaderBrush)
        wizard->HeaderBrush.reset(CreateSolidBrush(HEADER_WHITE));
    SetBkColor(reinterpret_cast<HDC>(wparam), HEADER_WHITE);
    return reinterpret_cast<LRESULT>(wizard->HeaderBrush.get());
}

bool SETUPDIALOGBOX::TakeNavigation(int id) {
    const bool question = !IsWindowEnabled(hWnd); // a message box over the wizard
    if (InBusyCancel || question)
        return false;
    if (id == IDC_WIZARD_CANCEL && BusyCancel && Gate.PageRunning()) {
        InBusyCancel = true;
        const bool taken = BusyCancel();
        InBusyCancel = false;
        if (taken)
            return false;
    }
    CONTROL button(hWnd, id);
    return Gate.Take(button.IsVisible() && button.IsEnabled(), question);
}

INT_PTR SETUPDIALOGBOX::DlgProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) {
        // The close box and Alt+F4 are Cancel, and only as far as Cancel may be pressed.
        message = WM_COMMAND;
        wparam = MAKEWPARAM(IDC_WIZARD_CANCEL, BN_CLICKED);
        lparam = 0;
    }
    if (message == WM_COMMAND && IsNavigation(LOWORD(wparam))) {
        // Enter without a default button means Next. A press the page does not take (it is leaving, a
        // question is open, the button is hidden or disabled) is dropped, so a page ends only once.
        const int id = LOWORD(wparam) == IDOK ? IDC_WIZARD_NEXT : LOWORD(wparam);
        if (!TakeNavigation(id)) {
            LogPrintf("SETUPDIALOGBOX::DlgProc press of %d dropped\n", id);
            return TRUE;
        }
        CONTROL button(hWnd, id);
        wparam = MAKEWPARAM(id, BN_CLICKED);
        lparam = reinterpret_cast<LPARAM>(button.Hwnd());
    } else if (message == WM_WIZARD_FOCUSCONTROL && wparam) {
        CONTROL(hWnd, static_cast<int>(wparam)).SetFocus();
    }
    return DATADIALOGBOX::DlgProc(message, wparam, lparam);
}

int SETUPDIALOGBOX::PreTranslate(MSG* message) {
    const bool altf4 = message->message == WM_SYSKEYDOWN && message->wParam == VK_F4 &&
                       (message->lParam & (LPARAM(1) << 29)) != 0;
    if (!altf4 || (message->hwnd != hWnd && !IsChild(hWnd, message->hwnd)))
        return 0;
    Send(WM_CLOSE);
    return 1;
}

void SETUPDIALOGBOX::SetFonts() {
    if (!TitleFont) {
        TitleFont.reset(CreateArialBold(TITLE_FONT_POINTS));
        CONTROL(hWnd, IDC_WIZARD_TITLE).Send(WM_SETFONT, reinterpret_cast<WPARAM>(TitleFont.get()), TRUE);
    }
    if (!SubtitleFont && SubtitleFontSize != -1) {
        SubtitleFont.reset(CreateArialBold(SubtitleFontSize));
        CONTROL(hWnd, IDC_WIZARD_SUBTITLE)
            .Send(WM_SETFONT, reinterpret_cast<WPARAM>(SubtitleFont.get()), TRUE);
    }
}

DATADIALOG* SETUPDIALOGBOX::CreatePage(int templ, HMODULE module, const char* title, const char* subtitle) {
    DiscardQueuedInput();
    CONTROL(hWnd, IDC_WIZARD_TITLE).SetText(title);
    CONTROL(hWnd, IDC_WIZARD_SUBTITLE).SetText(subtitle);
    SetFonts();

    CONTROL area(hWnd, IDC_WIZARD_PAGEAREA);
    area.Show();
    const RECT rect = area.GetRect();
    area.Hide();

    pSubDlg = std::make_unique<WIZARDPAGE>(templ, hWnd, module);
    WIN_ASSERT(pSubDlg && pSubDlg->IsValid(), "this->pSubDlg");
    HWND page = pSubDlg->Hwnd();
    if (!page)
        return pSubDlg.get();
    SetWindowLongPtrA(page, GWL_STYLE, GetWindowLongPtrA(page, GWL_STYLE) & ~WS_BORDER);
    pSubDlg->Move(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    SetWindowLongPtrA(page, GWL_EXSTYLE, GetWindowLongPtrA(page, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    pSubDlg->Show();
    return pSubDlg.get();
}

void SETUPDIALOGBOX::DestroyPage() {
    pSubDlg.reset();
}

void SETUPDIALOGBOX::FocusFirstPageControl() {
    if (pSubDlg)
        pSubDlg->FocusFirstControl(true);
}

// Input that came while no page could take it (the person clicked again while the last page was busy
// leaving) is not meant for the page about to be shown.
void SETUPDIALOGBOX::DiscardQueuedInput() {
    int count = DiscardMessages(nullptr, WM_KEYFIRST, WM_KEYLAST);
    count += DiscardMessages(nullptr, WM_MOUSEFIRST, WM_MOUSELAST);
    for (int id : {IDC_WIZARD_BACK, IDC_WIZARD_NEXT, IDC_WIZARD_CANCEL})
        count += DiscardMessages(GetDlgItem(hWnd, id), BM_CLICK, BM_CLICK);
    count += DiscardMessages(hWnd, WM_SYSCOMMAND, WM_SYSCOMMAND);
    count += DiscardMessages(hWnd, WM_CLOSE, WM_CLOSE);
    if (count > 0)
        LogPrintf("SETUPDIALOGBOX::CreatePage %d queued input messages discarded\n", count);
}

int SETUPDIALOGBOX::RunPage() {
    if (!pSubDlg)
        return 0;
    pSubDlg->LoadItems();
    Show(SW_SHOW);
    FocusFirstPageControl();

    Gate.PageRuns();
    const intptr_t result = MessageLoop();
    Gate.PageEnded();
    // Only one press ends a page; an end that still waits belongs to no page now.
    if (DiscardMessages(hWnd, WM_ORVIK_ENDMODAL, WM_ORVIK_ENDMODAL) > 0)
        LogPrintf("SETUPDIALOGBOX::RunPage a second end of the page discarded\n");
    pSubDlg->StoreItems();
    return static_cast<int>(result);
}

void SETUPDIALOGBOX::PrepareButtons(bool first, bool finishing) {
    CONTROL back(hWnd, IDC_WIZARD_BACK);
    CONTROL next(hWnd, IDC_WIZARD_NEXT);
    CONTROL cancel(hWnd, IDC_WIZARD_CANCEL);
    if (first) {
        back.SetDefaultButton(false);
        back.Hide();
        next.Show();
    } else if (finishing) {
        next.Hide();
        back.Hide();
        cancel.SetText(OSYS::GetStringFromResource(IDS_FINISH_BUTTON).Text());
        cancel.SetDefaultButton(true);
    } else {
        back.Show();
        back.SetDefaultButton(false);
        next.Show();
    }
    if (!finishing)
        next.SetDefaultButton(true);
    CONTROL& preferred = finishing ? cancel : next;
    // The dialog manager's own default must follow, or Enter would still press a hidden button.
    Send(DM_SETDEFID, static_cast<WPARAM>(preferred.GetId()));
    preferred.SetDefaultButton(true);
    preferred.SetFocus();
}

int SETUPDIALOGBOX::CallHook(int code, const SETUPSTEP& step, intptr_t last) {
    if (!Hook)
        return 0;
    HWND page = pSubDlg ? pSubDlg->Hwnd() : nullptr;
    return Hook(code, static_cast<int>(step.idstep), reinterpret_cast<intptr_t>(hWnd),
                reinterpret_cast<intptr_t>(page), reinterpret_cast<intptr_t>(step.page), last);
}

bool SETUPDIALOGBOX::AskContinue() {
    return WINORVIK::YesNoMsgBox(hWnd, GetText().Text(), Confirmation.Text());
}

int SETUPDIALOGBOX::RunSteps(SETUPSTEP* steps, intptr_t finishingstep) {
    const int reachable =
        ReachableSteps([steps](int index) { return steps[index].idstep; }, finishingstep, STEPEND);
    if (reachable == 0) {
        // The table has no finishing step before a free record: the wizard could not end.
        WIN_ASSERT(FALSE, "steps[step].idstep!=0");
        return 0;
    }
    STEPWALK walk(reachable);
    for (;;) {
        const int step = walk.Step();
        SETUPSTEP& record = steps[step];
        if (!record.page) {
            WIN_ASSERT(record.page, "steps[step].page");
            return 0;
        }
        const STRING subtitle = OSYS::GetStringFromResource(static_cast<int>(record.subtitle));
        const STRING title = OSYS::GetStringFromResource(static_cast<int>(record.title));
        CreatePage(static_cast<int>(record.templ), static_cast<HMODULE>(record.module), title.Text(),
                   subtitle.Text());
        PrepareButtons(walk.First(), walk.Finishing());

        CallHook(NEWHOOK_BEFORE_PAGE, record, record.extra);
        const int result = record.page(this, pSubDlg.get());
        CallHook(NEWHOOK_AFTER_PAGE, record, result);
        DestroyPage();
        LogPrintf("SETUPDIALOGBOX::RunSteps step %d id %d result %d\n", step, static_cast<int>(record.idstep),
                  result);

        switch (walk.After(result)) {
        case STEPWALK::NEXT::Finished:
            return 1;
        case STEPWALK::NEXT::AskQuit:
            if (QuitConfirmed || !AskContinue())
                return 0;
            break;
        case STEPWALK::NEXT::Run:
            if (walk.BackOnFirst())
                WIN_ASSERT(FALSE, "FALSE");
            break;
        }
    }
}
