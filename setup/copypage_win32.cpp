// The copy step: CopyPage on the main thread, ActualCopy on its worker thread.
#include "setup/copypage.h"

#include <commctrl.h>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/installrecord.h"
#include "setup/installwizard.h"
#include "setup/res/messages.h"
#include "setup/workerpage.h"

namespace {

constexpr int FINAL_PAUSE_MS = 500;

// What the installation shows and asks, shown on the copy page: the worker's messages to the page's
// controls are served by the page's loop on the main thread; questions are owned by the wizard.
class COPYPAGEINTERACTION : public INTERACTION {
public:
    explicit COPYPAGEINTERACTION(const COPYJOB& job) : Job(job) {}

    void SetProgress(int percent) override {
        SendMessageA(Job.ProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
    void SetStatus(const char* text) override { CONTROL(Job.Page, IDC_COPY_STATUS).SetText(text); }
    bool AskYesNo(const char* title, const char* question, bool) override {
        return WINORVIK::YesNoMsgBox(Job.Wizard->Hwnd(), title, question);
    }
    void ReportError(const char* title, const char* text) override {
        WINORVIK::ErrorMsgBox(Job.Wizard->Hwnd(), title, text);
    }
    void* ProgressWindow() const override { return Job.ProgressBar; }

private:
    COPYJOB Job;
};

HWND WizardButton(const COPYJOB& job, int id) {
    return GetDlgItem(job.Wizard->Hwnd(), id);
}

// Lets the user go on with Next; unless the wizard is to move on by itself, says so and focuses Next.
void OfferNext(const COPYJOB& job, bool movesOn) {
    OSYS::Sleep(FINAL_PAUSE_MS);
    CONTROL next(job.Wizard->Hwnd(), IDC_WIZARD_NEXT);
    next.Enable();
    if (movesOn)
        return;
    CONTROL(job.Page, IDC_COPY_STATUS).SetText(OSYS::GetStringFromResource(IDS_COPY_STATUS_COMPLETE).Text());
    next.SetDefaultButton(true);
    // The worker may not set the focus itself: the wizard does it on its own thread.
    SendMessageA(job.Wizard->Hwnd(), WM_WIZARD_FOCUSCONTROL, IDC_WIZARD_NEXT, 0);
}

} // namespace

int ActualCopy(COPYJOB* job) {
    LogPrintf("SETUP::ActualCopy(%p, %p, %p)\n", static_cast<void*>(job->Wizard),
              static_cast<void*>(job->ProgressBar), static_cast<void*>(job->Page));
    COPYPAGEINTERACTION interaction(*job);
    INSTALLATION& installation = InstallationOf(job->Wizard);
    const bool copied = installation.Copy(interaction) == COPYOUTCOME::Finished;
    const bool movesOn = ConfigValue(installation.State().Config, "NoCopyComplete").ToInt() != 0;
    if (copied) {
        OfferNext(*job, movesOn);
    } else {
        CONTROL(job->Page, IDC_COPY_STATUS)
            .SetText(OSYS::GetStringFromResource(IDS_COPY_STATUS_UNDONE).Text());
        CONTROL(job->Wizard->Hwnd(), IDC_WIZARD_BACK).Enable();
    }
    CONTROL(job->Wizard->Hwnd(), IDC_WIZARD_CANCEL).Enable();
    // Moving on by itself is only right after a complete copy: an abandoned one must keep the page.
    if (copied && movesOn)
        PostMessageA(job->Wizard->Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_WIZARD_NEXT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(WizardButton(*job, IDC_WIZARD_NEXT)));
    LogPrintf("SETUP::~ActualCopy()\n");
    return 0;
}

int CopyPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    LogPrintf("SETUP::CopyPage()\n");
    const HWND pagewindow = page->Hwnd();
    const int result = RunWorkerPage(wizard, page, IDC_COPY_PROGRESS, [wizard, pagewindow](HWND progressbar) {
        COPYJOB job{wizard, progressbar, pagewindow};
        ActualCopy(&job);
    });
    LogPrintf("SETUP::~CopyPage() %d\n", result);
    return result;
}
