// SETUPDIALOGBOX: frame layout, header colours, page creation, the page loop and the walk over the steps.
#include "setup/setupdialog.h"

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/textcodec.h"
#include "lib/win/textlayout.h"
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

INT_PTR SETUPDIALOGBOX::DlgProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
        // Enter without a default button: it means Next, but never past a hidden or disabled Next.
        CONTROL next(hWnd, IDC_WIZARD_NEXT);
        if (!next.IsEnabled() || !next.IsVisible())
            return TRUE;
        wparam = MAKEWPARAM(IDC_WIZARD_NEXT, BN_CLICKED);
        lparam = reinterpret_cast<LPARAM>(next.Hwnd());
    } else if (message == WM_WIZARD_FOCUSCONTROL && wparam) {
        CONTROL(hWnd, static_cast<int>(wparam)).SetFocus();
    }
    return DATADIALOGBOX::DlgProc(message, wparam, lparam);
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
    CONTROL(hWnd, IDC_WIZARD_TITLE).SetText(title);
    CONTROL(hWnd, IDC_WIZARD_SUBTITLE).SetText(subtitle);
    SetFonts();

    CONTROL area(hWnd, IDC_WIZARD_PAGEAREA);
    area.Show();
    const RECT rect = area.GetRect();
    area.Hide();

    pSubDlg = std::make_unique<DATADIALOG>(templ, hWnd, module);
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

int SETUPDIALOGBOX::RunPage() {
    if (!pSubDlg)
        return 0;
    pSubDlg->LoadItems();
    Show(SW_SHOW);
    FocusFirstPageControl();

    const intptr_t result = MessageLoop();
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

bool SETUPDIALOGBOX::ConfirmQuit() {
    return WINORVIK::YesNoMsgBox(hWnd, GetText().Text(), Confirmation.Text());
}

int SETUPDIALOGBOX::RunSteps(SETUPSTEP* steps, intptr_t finishingstep) {
    int step = 0;
    int previous = PAGE_NEXT; // before the first step the direction of travel is forward
    for (;;) {
        SETUPSTEP& record = steps[step];
        const bool finishing = record.idstep == finishingstep;
        WIN_ASSERT(record.idstep != 0, "steps[step].idstep!=0");
        if (!record.page) {
            // A record without a page cannot run: the table ended before its finishing step.
            WIN_ASSERT(record.page, "steps[step].page");
            return 0;
        }
        const STRING subtitle = OSYS::GetStringFromResource(static_cast<int>(record.subtitle));
        const STRING title = OSYS::GetStringFromResource(static_cast<int>(record.title));
        CreatePage(static_cast<int>(record.templ), static_cast<HMODULE>(record.module), title.Text(),
                   subtitle.Text());
        PrepareButtons(step == 0, finishing);

        CallHook(NEWHOOK_BEFORE_PAGE, record, record.extra);
        int result = record.page(this, pSubDlg.get());
        CallHook(NEWHOOK_AFTER_PAGE, record, result);
        DestroyPage();
        LogPrintf("SETUPDIALOGBOX::RunSteps step %d id %d result %d\n", step, static_cast<int>(record.idstep),
                  result);

        if (result == PAGE_REPEAT_DIRECTION)
            result = previous;
        if (result == PAGE_BACK) {
            if (step == 0)
                WIN_ASSERT(FALSE, "FALSE");
            else
                step--;
        } else if (result == PAGE_NEXT) {
            step++;
        } else if (result == PAGE_CLOSE) {
            if (finishing)
                return 1;
            if (!ConfirmQuit())
                return 0;
        }
        previous = result;
    }
}
