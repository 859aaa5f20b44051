// The pages of the uninstall wizard: feedback, removal options and the removal's progress page.
#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "lib/win/datadialogs.h"
#include "setup/interaction.h"
#include "setup/res/messages.h"
#include "setup/res/resourceids.h"
#include "setup/uninstall/feedbackmail.h"
#include "setup/uninstall/removal.h"
#include "setup/uninstall/uninstall.h"
#include "setup/uninstall/uninstallwizard.h"
#include "setup/wizard/workerpage.h"

namespace {

constexpr int FEEDBACK_COMMENT_MAX = 1024;
// The bar stops at each step of its run long enough to be seen moving.
constexpr int PROGRESS_PAUSE_MS = 50;
constexpr const char* APP_PATHS_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

STRING UninstallTitle(const UNINSTALLSTATE& state) {
    STRING title = Message(IDS_UNINSTALL_TITLE);
    title.Replace("Orvik", state.AppName.Text());
    return title;
}

// context: the uninstallation's state.
void SendFeedbackButton(void* context, intptr_t, HWND page, STRING&) {
    char text[FEEDBACK_COMMENT_MAX + 1] = {};
    GetDlgItemTextA(page, IDC_FEEDBACK_COMMENT, text, sizeof text);
    const auto* state = static_cast<const UNINSTALLSTATE*>(context);
    SendFeedbackMail(page, STRING(text), state->KeyName.Text(), state->AppName.Text());
}

// The mobile-device manager's program when it is registered and the product was installed below its folder.
STRING DeviceManagerOfProduct(const STRING& installpath) {
    REGISTRY entry(REGISTRY::LocalMachine(), APP_PATHS_KEY, "CEAppMgr.exe", REGISTRY::MODE_READ);
    STRING manager;
    if (!entry.Read(nullptr, manager) || manager.c_str() == nullptr || manager.c_str()[0] == '\0')
        return STRING();
    manager = STRING(manager.c_str());
    const STRING folder = DirectoryOf(manager.Text());
    if (installpath.Length() < folder.Length() ||
        StringCompareNoCase(installpath.Left(folder.Length()).Text(), folder.Text()) != 0)
        return STRING();
    return manager;
}

STRING RemoveAllWarning(const UNINSTALLSTATE& state) {
    STRING warning = Message(IDS_WARN_REMOVE_ALL_1) || Message(IDS_WARN_REMOVE_ALL_2);
    warning.Replace("$PROGRAM", state.AppName.Text());
    warning.Replace("$DIR", state.InstallPath.Text());
    return warning;
}

// The removal page as the removal sees it, on the worker thread: its bar moves, questions and errors are
// message boxes over the wizard, and when the removal is done the page turns into its completion state.
class REMOVALPAGE : public INTERACTION {
public:
    REMOVALPAGE(SETUPDIALOGBOX* wizard, HWND page, HWND progressbar)
        : State(UninstallStateOf(wizard)), Wizard(wizard->Hwnd()), Page(page), ProgressBar(progressbar) {}

    void SetProgress(int percent) override {
        SendMessageA(ProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
        OSYS::Sleep(PROGRESS_PAUSE_MS);
    }
    // The page keeps the text of its template while the removal runs.
    void SetStatus(const char*) override {}
    bool AskYesNo(const char* title, const char* question, bool) override {
        return WINORVIK::YesNoMsgBox(Wizard, title, question);
    }
    void ReportError(const char* title, const char* text) override {
        WINORVIK::ErrorMsgBox(Wizard, title, text);
    }
    void* ProgressWindow() const override { return ProgressBar; }

    // The worker's body: the removal, then the page's completion state.
    void Remove() {
        const bool removeall = State.RemoveAll.ToInt() != 0;
        LogPrintf("SETUP::RemoveInstallation(%p, %p, %p) %s, remove all %d\n", static_cast<void*>(Wizard),
                  static_cast<void*>(Page), static_cast<void*>(ProgressBar), State.KeyName.Text(),
                  removeall ? 1 : 0);
        REMOVAL(State, *this, Wizard).Run();
        ShowCompletion(removeall);
        LogPrintf("SETUP::~RemoveInstallation()\n");
    }

private:
    void ShowCompletion(bool removeall) const {
        SetWindowTextA(GetDlgItem(Wizard, IDC_WIZARD_TITLE), Message(IDS_REMOVED_TITLE).Text());
        SetWindowTextA(GetDlgItem(Wizard, IDC_WIZARD_SUBTITLE), "");
        if (removeall) {
            const HWND alltext = GetDlgItem(Page, IDC_REMOVING_ALL_TEXT);
            SetWindowTextA(alltext, Message(IDS_REMOVED_ALL_TEXT).Text());
            ShowWindow(alltext, SW_SHOW);
            ShowWindow(GetDlgItem(Page, IDC_REMOVING_TEXT), SW_HIDE);
        }
        ShowWindow(GetDlgItem(Page, IDC_REMOVING_NOTE), SW_HIDE);
        SendMessageA(Wizard, WM_WIZARD_FOCUSCONTROL, IDC_WIZARD_CANCEL, 0);
        EnableWindow(GetDlgItem(Wizard, IDC_WIZARD_BACK), TRUE);
        EnableWindow(GetDlgItem(Wizard, IDC_WIZARD_CANCEL), TRUE);
    }

    UNINSTALLSTATE& State;
    HWND Wizard;
    HWND Page;
    HWND ProgressBar;
};

} // namespace

int FeedbackPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    LogPrintf("SETUP::FeedbackPage()\n");
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_UNINSTALL));
    if (icon)
        CONTROL(wizard->Hwnd(), IDC_WIZARD_ICON).Send(STM_SETICON, reinterpret_cast<WPARAM>(icon));
    STRING comment("");
    STRING unused;
    page->AddItem(new DATAENTRY(IDC_FEEDBACK_COMMENT, comment, FEEDBACK_COMMENT_MAX));
    page->AddItem(
        new DATAPUSHBUTTON(IDC_FEEDBACK_SEND, unused, SendFeedbackButton, &UninstallStateOf(wizard), 0));
    page->AddDisableRule(nullptr, IDC_FEEDBACK_SEND, nullptr, IDC_FEEDBACK_COMMENT, RULE_NOT_CHECKED);
    PostMessageA(page->Hwnd(), WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(GetDlgItem(page->Hwnd(), IDC_FEEDBACK_COMMENT)), TRUE);
    const int result = wizard->RunPage();
    LogPrintf("SETUP::~FeedbackPage() %d\n", result);
    return result;
}

int RemoveOptionsPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    UNINSTALLSTATE& state = UninstallStateOf(wizard);
    state.RemoveAll = "0";
    const STRING manager = DeviceManagerOfProduct(state.InstallPath);
    if (manager.NotEmpty()) {
        LogPrintf("SETUP::RemoveOptionsPage mobile-device product: %s\n", manager.Text());
        OSYS::StartProgram(manager.Text(), "", Message(IDS_UNINSTALL_TITLE).Text(), true);
        state.RemoveAll = "1";
        return PAGE_NEXT;
    }
    page->AddItem(new DATARADIO(IDC_REMOVE_PROGRAM_ONLY, state.RemoveAll, 0));
    page->AddItem(new DATARADIO(IDC_REMOVE_ALL, state.RemoveAll, 1));
    for (;;) {
        const int result = wizard->RunPage();
        LogPrintf("SETUP::RemoveOptionsPage result %d, remove all %s\n", result, state.RemoveAll.Text());
        if (result == PAGE_CLOSE)
            return result;
        if (state.RemoveAll.ToInt() == 0 ||
            WINORVIK::YesNoMsgBox(wizard->Hwnd(), UninstallTitle(state).Text(),
                                  RemoveAllWarning(state).Text()))
            return result;
    }
}

int RemovingPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    LogPrintf("SETUP::RemovingPage()\n");
    const HWND pagewindow = page->Hwnd();
    // Half a removal would leave neither the program nor a way to remove the rest: it cannot be stopped,
    // and the page says so when the person tries.
    WORKERCANCEL cancel;
    cancel.Press = [pagewindow] {
        const HWND note = GetDlgItem(pagewindow, IDC_REMOVING_NOTE);
        SetWindowTextA(note, Message(IDS_REMOVAL_NOT_CANCELLABLE).Text());
        ShowWindow(note, SW_SHOW);
        LogPrintf("SETUP::RemovingPage Cancel refused while removing\n");
        return true;
    };
    const int result = RunWorkerPage(
        wizard, page, IDC_REMOVING_PROGRESS,
        [wizard, pagewindow](HWND progressbar) { REMOVALPAGE(wizard, pagewindow, progressbar).Remove(); },
        cancel);
    LogPrintf("SETUP::~RemovingPage() %d\n", result);
    return result;
}
