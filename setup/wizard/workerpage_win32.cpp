#include "setup/wizard/workerpage.h"

#include <atomic>
#include <memory>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/win/windows_win32.h"

namespace {

struct WORKERSTART {
    const PAGEWORK* Work;
    HWND ProgressBar;
    std::atomic<bool> Done{false};
};

void WorkerThread(void* start) {
    WORKERSTART* worker = static_cast<WORKERSTART*>(start);
    (*worker->Work)(worker->ProgressBar);
    worker->Done = true;
}

// The page's loop has ended; the worker may still be sending a last message to the wizard (a status text,
// the focus), so its sent messages are served while waiting. Queued input stays queued for the next page.
void WaitForWorker(void* thread) {
    HANDLE handle = static_cast<HANDLE>(thread);
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    OSYS::WaitThread(thread, OSYS::WAIT_FOREVER);
}

std::unique_ptr<PROGRESSBAR> ReplaceByProgressBar(HWND page, int id) {
    CONTROL placeholder(page, id);
    const RECT rect = placeholder.GetRect();
    if (placeholder.Hwnd())
        DestroyWindow(placeholder.Hwnd());
    return std::make_unique<PROGRESSBAR>(page, id, rect.left, rect.top, rect.right - rect.left,
                                         rect.bottom - rect.top);
}

} // namespace

int RunWorkerPage(SETUPDIALOGBOX* wizard, DATADIALOG* page, int progressid, const PAGEWORK& work,
                  const WORKERCANCEL& cancel) {
    const HWND window = wizard->Hwnd();
    std::unique_ptr<PROGRESSBAR> progress = ReplaceByProgressBar(page->Hwnd(), progressid);
    CONTROL(window, IDC_WIZARD_CANCEL).SetFocus();
    CONTROL(window, IDC_WIZARD_BACK).Disable();
    CONTROL(window, IDC_WIZARD_NEXT).Disable();
    CONTROL(window, IDC_WIZARD_CANCEL).Enable(cancel.Enabled);

    WORKERSTART start{&work, progress->Hwnd()};
    wizard->SetBusyCancel([&start, &cancel] { return !start.Done && cancel.Press && cancel.Press(); });
    void* thread = OSYS::CreateThread(WorkerThread, &start);
    if (!thread) {
        // Without a worker the page could never be left: the work runs on this thread before the page.
        LogPrintf("SETUP::RunWorkerPage no worker thread, working on the main thread\n");
        WorkerThread(&start);
    }
    const int result = wizard->RunPage();
    wizard->SetBusyCancel(nullptr);
    if (thread)
        WaitForWorker(thread);
    wizard->SetFocus();
    return result;
}
