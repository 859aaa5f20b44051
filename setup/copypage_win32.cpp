// The copy step: CopyPage on the main thread, ActualCopy on its worker thread.
#include "setup/copypage.h"

#include <commctrl.h>

#include <ctime>
#include <memory>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/deletionguard.h"
#include "setup/installjournal.h"
#include "setup/installrecord.h"
#include "setup/installstate.h"
#include "setup/registryrecord.h"
#include "setup/res/messages.h"
#include "setup/setuphooks.h"
#include "setup/workerpage.h"
#include "unzip/unzipper.h"

namespace {

constexpr int FINAL_PAUSE_MS = 500;
// UNZIPPER's text for "no policy list": custom.fil never asks and never protects.
constexpr const char* NO_POLICY_LIST = "<NULL>";

HWND WizardButton(const COPYJOB& job, int id) {
    return GetDlgItem(job.Wizard->Hwnd(), id);
}

// One run of the copy step on the worker thread.
class COPYWORKER {
public:
    explicit COPYWORKER(const COPYJOB& job)
        : Job(job), Config(Install().Config), InstallDir(Install().InstallDir) {}

    void Run() {
        Install().Copy = COPYOUTCOME::Running;
        ShowStatus(IDS_COPY_STATUS_COPYING);
        CallNewSetupHook(NEWHOOK_COPY_START, 0, reinterpret_cast<intptr_t>(Job.Wizard->Hwnd()),
                         reinterpret_cast<intptr_t>(Job.ProgressBar), 0, Install().InstallMode.ToInt());
        StopService();
        if (ExtractArchives()) {
            CopyExtraFiles();
            RegisterFileTypes();
            SetProgress(100);
            WriteUninstallEntry();
            Journal.Commit(); // rollback
            Install().Copy = COPYOUTCOME::Finished;
            CallEndHooks();
            RestartService();
            OfferNext();
        } else {
            Journal.Undo(); // rollback: the machine as it was before this run
            CONTROL(Job.Wizard->Hwnd(), IDC_WIZARD_BACK).Enable();
        }
        CONTROL(Job.Wizard->Hwnd(), IDC_WIZARD_CANCEL).Enable();
        // Moving on by itself is only right after a complete copy: an abandoned one must keep the page.
        if (Copied && NoCopyComplete())
            PostMessageA(Job.Wizard->Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_WIZARD_NEXT, BN_CLICKED),
                         reinterpret_cast<LPARAM>(WizardButton(Job, IDC_WIZARD_NEXT)));
    }

private:
    void ShowStatus(int message) {
        CONTROL(Job.Page, IDC_COPY_STATUS).SetText(OSYS::GetStringFromResource(message).Text());
    }

    void SetProgress(int percent) {
        SendMessageA(Job.ProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }

    bool NoCopyComplete() const { return ConfigValue(Config, "NoCopyComplete").ToInt() != 0; }

    bool ServiceControlPossible(const FILENAME& service) const {
        return service.Exists() && OSYS::GetOSType() >= 1;
    }

    void StopService() {
        const FILENAME service(InstallDir.Text(), SERVICE_PROGRAM);
        if (!ServiceControlPossible(service))
            return;
        if (StartProgramExitCode(service.Text(), "/STOP", InstallDir.Text(), SERVICE_CONTROL_TITLE) == 0) {
            ServiceStopped = true;
            LogPrintf("SETUP::ActualCopy Application Service was stopped\n");
        }
    }

    void RestartService() {
        const FILENAME service(InstallDir.Text(), SERVICE_PROGRAM);
        if (!ServiceStopped || !ServiceControlPossible(service))
            return;
        OSYS::StartProgram(service.Text(), "/START", InstallDir.Text(), SERVICE_CONTROL_TITLE,
                           OSYS::START_SYNC, nullptr, nullptr);
        LogPrintf("SETUP::ActualCopy Application Service was restarted\n");
    }

    // Both archives in order; false when the user gave up on a member.
    bool ExtractArchives() {
        Config["AskOverwrite"].MakeNotNull();
        Config["ProtectedFiles"].MakeNotNull();
        Copied = ExtractArchive("setup.fil", Config["AskOverwrite"], Config["ProtectedFiles"], true);
        if (Copied && FILENAME("custom.fil").Exists())
            Copied = ExtractArchive("custom.fil", STRING(NO_POLICY_LIST), STRING(NO_POLICY_LIST), false);
        return Copied;
    }

    bool ExtractArchive(const char* name, const STRING& askoverwrite, const STRING& protectedfiles,
                        bool showprogress) {
        UNZIPPER archive(name, askoverwrite, protectedfiles);
        archive.SetBeforeWrite(
            [this](const STRING& member) { return Journal.BeforeFile(member); }); // rollback
        const int64_t total = archive.GetTotalSize();
        Assert(total > 0, "total>0", __FILE__, __LINE__, name, false);
        STRING member;
        int64_t size = archive.GetFirstFile(member);
        int64_t done = size;
        while (member.NotEmpty()) {
            if (!ExtractMember(archive, member.Text()))
                return false;
            if (showprogress)
                SetProgress(ProgressPercent(done, total));
            if (IsFolderPlaceholder(member.Text())) // it was there only to create its folder
                DeleteFileBelow(InstallDir, member, "ActualCopy");
            else if (Files.Add(member.Text()) && size > 0)
                InstalledBytes += static_cast<uint64_t>(size);
            size = archive.GetNextFile(member);
            done += size;
        }
        return true;
    }

    // Extracts one member, asking whether to try again after each failure to write it; false when the user
    // said No, or when the archive itself is damaged (trying again cannot mend that).
    bool ExtractMember(UNZIPPER& archive, const char* member) {
        while (archive.ExtractFile(member, InstallDir.Text()) != 1) {
            if (archive.LastFailure() == UNZIPPER::FAILURE::Archive) {
                Install().Copy = COPYOUTCOME::Failed;
                TellArchiveDamaged(member);
                return false;
            }
            if (!AskRetry(member, archive.LastSystemError())) {
                Install().Copy = COPYOUTCOME::Aborted;
                return false;
            }
        }
        return true;
    }

    // The question names the system's reason (a full disk, access denied, a file in use ...): only
    // then does the user know what to mend before trying again.
    bool AskRetry(const char* member, int systemerror) {
        const STRING reason = systemerror != 0 ? OSYS::GetLastErrorString(systemerror)
                                               : OSYS::GetStringFromResource(IDS_WRITE_REASON_UNKNOWN);
        LogPrintf("SETUP::ActualCopy cannot write %s: error %d, %s\n", member, systemerror, reason.Text());
        STRING question = OSYS::GetStringFromResource(IDS_ASK_RETRY_COPY);
        question.Replace("$FILE", member);
        question.Replace("$PROGRAM", ConfigText(Config, "AppName").Text());
        question.Replace("$REASON", reason.Text());
        const STRING title = OSYS::GetStringFromResource(IDS_MSGBOX_TITLE);
        return WINORVIK::YesNoMsgBox(Job.Wizard->Hwnd(), title.Text(), question.Text());
    }

    void TellArchiveDamaged(const char* member) {
        LogPrintf("SETUP::ActualCopy the package is damaged at %s: copying stops\n", member);
        STRING text = OSYS::GetStringFromResource(IDS_ERR_ARCHIVE_DAMAGED);
        text.Replace("$FILE", member);
        const STRING title = OSYS::GetStringFromResource(IDS_MSGBOX_TITLE);
        WINORVIK::ErrorMsgBox(Job.Wizard->Hwnd(), title.Text(), text.Text());
    }

    void CopyExtraFiles() {
        for (const STRING& name : ListFields(ConfigValue(Config, "CopyToDest"))) {
            const FILENAME source(name);
            STRING joined;
            if (!JoinBelow(InstallDir, name, &joined)) {
                LogPrintf("SETUP::ActualCopy %s is not copied: its name leaves the destination\n",
                          name.Text());
                continue;
            }
            if (Journal.BeforeFile(name) != 0) // rollback: an existing file that has no backup stays
                continue;
            FILENAME target;
            target = joined;
            if (target.Exists())
                target.SetReadOnly(false);
            if (!source.Copy(target.Text(), true))
                LogPrintf("SETUP::ActualCopy cannot copy %s to %s\n", source.Text(), target.Text());
            else if (target.Size() > 0)
                InstalledBytes += static_cast<uint64_t>(target.Size());
            target.SetReadOnly(false);
        }
    }

    void RegisterFileTypes() {
        for (const STRING& field : ListFields(ConfigValue(Config, "FileTypes"))) {
            FILETYPE type;
            if (!ParseFileType(field, &type))
                continue;
            for (const REGISTRYTEXT& key : FileTypeKeys(type, InstallDir)) {
                Journal.BeforeKey(HKEY_CLASSES_ROOT, key.Name); // rollback
                REGISTRY registry(REGISTRY::ClassesRoot(), "", key.Name.Text(), REGISTRY::MODE_CREATE);
                WriteRecordText(registry, "HKCR", nullptr, key.Text.Text());
            }
            RootClasses.Add(type);
        }
    }

    void WriteUninstallEntry() {
        if (!HasUninstallEntry(Config))
            return;
        Journal.BeforeKey(HKEY_LOCAL_MACHINE, UninstallKeyPath(Config)); // rollback
        REGISTRY entry(REGISTRY::LocalMachine(), "", UninstallKeyPath(Config).Text(), REGISTRY::MODE_CREATE);
        for (const REGISTRYTEXT& value :
             UninstallEntryValues(Config, InstallDir, Files.Text(), RootClasses.Text()))
            WriteRecordText(entry, "HKLM", value.Name.Text(), value.Text.Text());
        const STRING today = InstallDateText(std::time(nullptr));
        for (const ENTRYVALUE& value : ManagedEntryValues(Config, InstallDir, InstalledBytes, today)) {
            if (value.IsNumber)
                WriteRecordNumber(entry, "HKLM", value.Name.Text(), value.Number);
            else
                WriteRecordText(entry, "HKLM", value.Name.Text(), value.Text.Text());
        }
    }

    void CallEndHooks() {
        CallSetupHook(SETUPHOOK_COPY_END, InstallDir.Text());
        CallNewSetupHook(NEWHOOK_COPY_END, 0, reinterpret_cast<intptr_t>(Job.Wizard->Hwnd()),
                         reinterpret_cast<intptr_t>(Job.ProgressBar), 0, 0);
    }

    // Lets the user go on with Next; unless the wizard is to move on by itself, says so and focuses Next.
    void OfferNext() {
        const bool movesOn = NoCopyComplete();
        OSYS::Sleep(FINAL_PAUSE_MS);
        CONTROL next(Job.Wizard->Hwnd(), IDC_WIZARD_NEXT);
        next.Enable();
        if (movesOn)
            return;
        ShowStatus(IDS_COPY_STATUS_COMPLETE);
        next.SetDefaultButton(true);
        // The worker may not set the focus itself: the wizard does it on its own thread.
        SendMessageA(Job.Wizard->Hwnd(), WM_WIZARD_FOCUSCONTROL, IDC_WIZARD_NEXT, 0);
    }

    COPYJOB Job;
    HASH& Config;
    const STRING InstallDir;
    INSTALLJOURNAL Journal{InstallDir}; // rollback: what this run changed
    INSTALLEDFILES Files;
    ROOTCLASSES RootClasses;
    uint64_t InstalledBytes = 0; // of the recorded members and the CopyToDest files: EstimatedSize
    bool ServiceStopped = false;
    bool Copied = false;
};

} // namespace

int ActualCopy(COPYJOB* job) {
    LogPrintf("SETUP::ActualCopy(%p, %p, %p)\n", static_cast<void*>(job->Wizard),
              static_cast<void*>(job->ProgressBar), static_cast<void*>(job->Page));
    COPYWORKER(*job).Run();
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
