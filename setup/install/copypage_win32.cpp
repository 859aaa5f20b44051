// The copy step: CopyPage on the main thread, ActualCopy on its worker thread.
#include "setup/install/copypage.h"

#include <commctrl.h>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/install/installwizard.h"
#include "setup/record/installrecord.h"
#include "setup/res/messages.h"
#include "setup/wizard/workerpage.h"

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
    bool StopRequested() const override { return Job.Stop && Job.Stop->Requested; }

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

// A damaged package cannot be mended by trying again: the page says so and offers only to close Setup.
void OfferClose(const COPYJOB& job) {
    CONTROL(job.Page, IDC_COPY_STATUS).SetText(OSYS::GetStringFromResource(IDS_COPY_STATUS_DAMAGED).Text());
    CONTROL cancel(job.Wizard->Hwnd(), IDC_WIZARD_CANCEL);
    cancel.SetText(OSYS::GetStringFromResource(IDS_CLOSE_BUTTON).Text());
    cancel.SetDefaultButton(true);
    SendMessageA(job.Wizard->Hwnd(), WM_WIZARD_FOCUSCONTROL, IDC_WIZARD_CANCEL, 0);
}

// The worker is done; if the person has asked to stop, the page ends (unless the question is still open:
// then its answer ends it).
void EndIfStopped(const COPYJOB& job) {
    if (!job.Stop)
        return;
    job.Stop->WorkerDone = true;
    if (job.Stop->Requested)
        job.Wizard->EndPage(PAGE_CLOSE);
}

// Cancel pressed while the copy runs: the question of every page, asked once. Quitting stops the copy at
// the next member; the worker undoes what it copied and ends the page.
bool AskStopCopy(SETUPDIALOGBOX* wizard, HWND page, COPYSTOP& stop) {
    if (stop.Requested)
        return true;
    if (wizard->AskContinue())
        return true; // go on copying
    LogPrintf("SETUP::CopyPage the user cancels the copy\n");
    wizard->QuitWithoutAsking();
    CONTROL(wizard->Hwnd(), IDC_WIZARD_CANCEL).Disable();
    CONTROL(page, IDC_COPY_STATUS).SetText(OSYS::GetStringFromResource(IDS_COPY_STATUS_STOPPING).Text());
    stop.Requested = true;
    if (stop.WorkerDone)
        wizard->EndPage(PAGE_CLOSE);
    return true;
}

} // namespace

int ActualCopy(COPYJOB* job) {
    LogPrintf("SETUP::ActualCopy(%p, %p, %p)\n", static_cast<void*>(job->Wizard),
              static_cast<void*>(job->ProgressBar), static_cast<void*>(job->Page));
    COPYPAGEINTERACTION interaction(*job);
    INSTALLATION& installation = InstallationOf(job->Wizard);
    const COPYOUTCOME outcome = installation.Copy(interaction);
    const bool copied = outcome == COPYOUTCOME::Finished;
    const bool stopped = job->Stop && job->Stop->Requested;
    const bool movesOn = CONFIGREADER(installation.State().Config).Number("NoCopyComplete") != 0;
    if (stopped) {
        // The page is about to end: nothing more to offer.
    } else if (copied) {
        OfferNext(*job, movesOn);
    } else if (outcome == COPYOUTCOME::Failed) {
        OfferClose(*job);
    } else {
        CONTROL(job->Page, IDC_COPY_STATUS)
            .SetText(OSYS::GetStringFromResource(IDS_COPY_STATUS_UNDONE).Text());
        CONTROL(job->Wizard->Hwnd(), IDC_WIZARD_BACK).Enable();
    }
    if (!stopped)
        CONTROL(job->Wizard->Hwnd(), IDC_WIZARD_CANCEL).Enable();
    // Moving on by itself is only right after a complete copy: an abandoned one must keep the page.
    if (copied && movesOn && !stopped)
        PostMessageA(job->Wizard->Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_WIZARD_NEXT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(WizardButton(*job, IDC_WIZARD_NEXT)));
    EndIfStopped(*job);
    LogPrintf("SETUP::~ActualCopy() %d\n", static_cast<int>(outcome));
    return 0;
}

int CopyPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    LogPrintf("SETUP::CopyPage()\n");
    const HWND pagewindow = page->Hwnd();
    COPYSTOP stop;
    WORKERCANCEL cancel;
    cancel.Enabled = true;
    cancel.Press = [&] { return AskStopCopy(wizard, pagewindow, stop); };
    const int result = RunWorkerPage(
        wizard, page, IDC_COPY_PROGRESS,
        [wizard, pagewindow, &stop](HWND progressbar) {
            COPYJOB job{wizard, progressbar, pagewindow, &stop};
            ActualCopy(&job);
        },
        cancel);
    // Closing after a damaged package needs no question: going on cannot help.
    if (result == PAGE_CLOSE && InstallationOf(wizard).State().Copy == COPYOUTCOME::Failed)
        wizard->QuitWithoutAsking();
    LogPrintf("SETUP::~CopyPage() %d\n", result);
    return result;
}
