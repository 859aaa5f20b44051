// SETUPDIALOGBOX: the wizard frame of the installer and the uninstaller. It walks a table of steps and shows
// one page at a time in its placeholder area, under a white header with title, subtitle and icon.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "lib/orvik.h"
#include "lib/strings.h"
#include "lib/win/datadialogs.h"
#include "lib/win/hline3d.h"
#include "lib/winhandles.h"
#include "setup/hookcodes.h"
#include "setup/res/resourceids.h"
#include "setup/wizard/stepwalk.h"

class SETUPDIALOGBOX;

// A page function: fills and runs the page (RunPage) and returns where the wizard goes next.
using SETUPPAGEFUNCTION = int (*)(SETUPDIALOGBOX* wizard, DATADIALOG* page);

// One step of the wizard. Every field is a machine word: hook libraries read and rewrite the table.
struct SETUPSTEP {
    intptr_t idstep;        // 0 is not allowed in a step that is reached
    intptr_t title;         // message number of the header title
    intptr_t subtitle;      // message number of the header subtitle
    intptr_t templ;         // dialog template of the page
    void* module;           // module holding the template; null = gResourceModule
    SETUPPAGEFUNCTION page; // the page function
    intptr_t extra;         // passed to the hook before the page runs
};

// Sent to the wizard with a control id in wParam: moves the keyboard focus to that control (also from
// worker threads, which may not set the focus themselves).
constexpr UINT WM_WIZARD_FOCUSCONTROL = WM_USER + 9;

class SETUPDIALOGBOX : public DATADIALOGBOX {
public:
    // Creates the frame from template 10702 of gResourceModule. subtitlefontsize -1 keeps the template's
    // font for the subtitle; confirmation is asked when the user closes a page before the finishing step.
    SETUPDIALOGBOX(const char* caption, const char* confirmation, int subtitlefontsize, HWND owner = nullptr);
    ~SETUPDIALOGBOX() override;

    // Runs the steps from index 0 until the finishing step is closed (1) or the user quits (0).
    int RunSteps(SETUPSTEP* steps, intptr_t finishingstep);
    // Shows the page of template (from module, null = gResourceModule) in the page area with the header
    // texts; the page belongs to the wizard until DestroyPage.
    DATADIALOG* CreatePage(int templ, HMODULE module, const char* title, const char* subtitle);
    // Runs the current page until a button ends it: Next 149, Back 148, 0 for Cancel or close.
    int RunPage();
    void DestroyPage();
    DATADIALOG* GetPage() const { return pSubDlg.get(); }

    // Ends the running page with result as its button would; may be called from any thread.
    void EndPage(int result) { EndModal(result); }
    // Asks the confirmation of the wizard (Cancel pressed before the finishing step): true to go on.
    bool AskContinue();
    // The person has already said to quit: closing the page ends the wizard without the question.
    void QuitWithoutAsking() { QuitConfirmed = true; }
    // While a page's work runs, Cancel (its button, Escape, the close box) goes to busy first: true when it
    // took the press (asked, stopped the work or refused), false to let Cancel end the page. Empty: none.
    void SetBusyCancel(std::function<bool()> busy) { BusyCancel = std::move(busy); }

    void SetHook(NEWSETUPHOOK hook) { Hook = hook; }
    NEWSETUPHOOK GetHook() const { return Hook; }

    INT_PTR DlgProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    // Alt+F4 closes the wizard whichever control has the focus: a drop-down list would keep it.
    int PreTranslate(MSG* message) override;

private:
    static LRESULT HeaderColourHook(WINDOW* window, UINT message, WPARAM wparam, LPARAM lparam);
    void LayOut();
    void SetFonts();
    void PrepareButtons(bool first, bool finishing);
    void FocusFirstPageControl();
    int CallHook(int code, const SETUPSTEP& step, intptr_t last);
    bool TakeNavigation(int id);
    void DiscardQueuedInput();

    GDIHANDLE<HFONT> TitleFont;
    GDIHANDLE<HFONT> SubtitleFont;
    std::unique_ptr<DATADIALOG> pSubDlg;
    int SubtitleFontSize;
    STRING Confirmation;
    NEWSETUPHOOK Hook = nullptr;
    std::unique_ptr<HLINE3D> HeaderLine;
    std::unique_ptr<HLINE3D> ButtonLine;
    GDIHANDLE<HBRUSH> HeaderBrush; // white background of the header texts, made on first use
    NAVGATE Gate;
    std::function<bool()> BusyCancel;
    bool InBusyCancel = false;
    bool QuitConfirmed = false;
};

// The wizard frame of one run of setup (an installation or an uninstallation). Page functions get only the
// frame (SETUPPAGEFUNCTION is fixed by the hook libraries); they ask it for the run whose choices they make.
template <class RUN> class RUNWIZARD : public SETUPDIALOGBOX {
public:
    RUNWIZARD(RUN& run, const char* caption, const char* confirmation, int subtitlefontsize)
        : SETUPDIALOGBOX(caption, confirmation, subtitlefontsize), Run(run) {}

    RUN& CurrentRun() const { return Run; }

private:
    RUN& Run;
};

// The run of the wizard a page is shown in. A page shown by the frame of another kind of run is a fault of
// the program.
template <class RUN> RUN& RunOf(SETUPDIALOGBOX* wizard) {
    auto* runwizard = dynamic_cast<RUNWIZARD<RUN>*>(wizard);
    ORVIK_ASSERT_INFO(runwizard != nullptr, "a page outside the wizard of its run");
    return runwizard->CurrentRun();
}
