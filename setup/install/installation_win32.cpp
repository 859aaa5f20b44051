// The installation's actions: the copy step and the shortcut step.
#include "setup/install/installation.h"

#include <windows.h>

#include <ctime>
#include <memory>
#include <utility>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/killpoint.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/deletionguard.h"
#include "setup/filetypeguard.h"
#include "setup/install/shortcuts.h"
#include "setup/record/installjournal.h"
#include "setup/record/installrecord.h"
#include "setup/record/recovery.h"
#include "setup/record/registryrecord.h"
#include "setup/res/messages.h"
#include "setup/setuphooks.h"
#include "unzip/fs.h"
#include "unzip/unzipper.h"

namespace {

// UNZIPPER's text for "no policy list": custom.fil never asks and never protects.
constexpr const char* NO_POLICY_LIST = "<NULL>";

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

// One run of the copy step.
class COPYSTEP {
public:
    COPYSTEP(INSTALLSTATE& state, INTERACTION& interaction)
        : State(state), Interaction(interaction), Config(state.Config), InstallDir(state.Choices.InstallDir) {
    }

    void Run() {
        State.Copy = COPYOUTCOME::Running;
        Interaction.SetStatus(Message(IDS_COPY_STATUS_COPYING).Text());
        CallNewSetupHook(NEWHOOK_COPY_START, 0, HookOwner(), HookProgressBar(), 0,
                         State.Choices.InstallMode.ToInt());
        // A destination chosen on the pages may hold what an interrupted run left.
        RecoverInterruptedRuns(InstallDir, ProductKey());
        Journal.Begin();
        StopService();
        if (!ExtractArchives() || Stopped()) {
            Journal.Undo();   // rollback: the machine as it was before this run
            RestartService(); // the earlier version's files are back, and so is its service
            Journal.Finish();
            return;
        }
        CopyExtraFiles();
        RegisterFileTypes();
        Interaction.SetProgress(100);
        WriteUninstallEntry();
        KILLPOINT::Count("entry"); // tests: the entry is written, the run not yet complete
        Journal.Commit();          // rollback
        State.Copy = COPYOUTCOME::Finished;
        CallEndHooks();
        RestartService();
        Journal.Finish();
    }

private:
    // The hooks get the window in front of the person and the progress bar in it, as they always did.
    intptr_t HookProgressBar() const { return reinterpret_cast<intptr_t>(Interaction.ProgressWindow()); }
    intptr_t HookOwner() const {
        const HWND bar = static_cast<HWND>(Interaction.ProgressWindow());
        return reinterpret_cast<intptr_t>(bar ? GetAncestor(bar, GA_ROOT) : nullptr);
    }

    bool ServiceControlPossible(const FILENAME& service) const {
        return service.Exists() && OSYS::GetOSType() >= 1;
    }

    void StopService() {
        const FILENAME service(InstallDir.Text(), SERVICE_PROGRAM);
        if (!ServiceControlPossible(service))
            return;
        Journal.BeforeServiceStop();
        if (StartProgramExitCode(service.Text(), "/STOP", InstallDir.Text(), SERVICE_CONTROL_TITLE) != 0) {
            Journal.ServiceKept();
            return;
        }
        ServiceStopped = true;
        LogPrintf("SETUP::ActualCopy Application Service was stopped\n");
        KILLPOINT::Count("service"); // tests: the service is stopped, nothing copied yet
    }

    // The uninstall key names the product in its journal; without one, the journal is the destination's.
    STRING ProductKey() const {
        return HasUninstallEntry(Config) ? CONFIGREADER(Config).Text("IniKey") : STRING("");
    }

    void RestartService() {
        const FILENAME service(InstallDir.Text(), SERVICE_PROGRAM);
        if (!ServiceStopped || !ServiceControlPossible(service))
            return;
        OSYS::StartProgram(service.Text(), "/START", InstallDir.Text(), SERVICE_CONTROL_TITLE,
                           OSYS::START_SYNC, nullptr, nullptr);
        LogPrintf("SETUP::ActualCopy Application Service was restarted\n");
    }

    // The person cancelled: the copy ends before the next member, and before anything is registered.
    bool Stopped(const char* before = "registering") {
        if (!Interaction.StopRequested())
            return false;
        LogPrintf("SETUP::ActualCopy cancelled by the user before %s: the copy is undone\n", before);
        State.Copy = COPYOUTCOME::Cancelled;
        return true;
    }

    // Both archives in order; false when the user gave up on a member or the package is damaged. Both
    // directories are read before the first file is written: a damaged package installs nothing.
    bool ExtractArchives() {
        Config["AskOverwrite"].MakeNotNull();
        Config["ProtectedFiles"].MakeNotNull();
        auto ask = [this](const STRING& subject) { return AskOverwrite(subject); };
        UNZIPPER product("setup.fil", Config["AskOverwrite"], Config["ProtectedFiles"], ask);
        std::unique_ptr<UNZIPPER> custom;
        if (FILENAME("custom.fil").Exists())
            custom =
                std::make_unique<UNZIPPER>("custom.fil", STRING(NO_POLICY_LIST), STRING(NO_POLICY_LIST), ask);
        for (const auto& [archive, name] : {std::pair<UNZIPPER*, const char*>{&product, "setup.fil"},
                                            std::pair<UNZIPPER*, const char*>{custom.get(), "custom.fil"}}) {
            if (archive != nullptr && !archive->IsReadable()) {
                State.Copy = COPYOUTCOME::Failed;
                TellArchiveDamaged(name);
                return false;
            }
        }
        if (!ExtractArchive(product, "setup.fil", true))
            return false;
        return !custom || ExtractArchive(*custom, "custom.fil", false);
    }

    bool ExtractArchive(UNZIPPER& archive, const char* name, bool showprogress) {
        archive.SetBeforeWrite(
            [this](const STRING& member) { return Journal.BeforeFile(member, MemberSize); }); // rollback
        const int64_t total = archive.GetTotalSize();
        Assert(total > 0, "total>0", __FILE__, __LINE__, name, false);
        STRING member;
        int64_t size = archive.GetFirstFile(member);
        int64_t done = size;
        while (member.NotEmpty()) {
            if (Stopped(member.Text()))
                return false;
            MemberSize = size;
            if (!ExtractMember(archive, member.Text()))
                return false;
            if (showprogress)
                Interaction.SetProgress(ProgressPercent(done, total));
            // Recorded under the name it was written as (":" becomes "_", say), as the journal has it.
            STRING written = archive.WrittenName(member.Text(), InstallDir.Text());
            if (written.IsEmpty())
                written = member;
            if (IsFolderPlaceholder(written.Text())) // it was there only to create its folder
                DeleteFileBelow(InstallDir, written, "ActualCopy");
            else if (Files.Add(written.Text()) && size > 0)
                InstalledBytes += static_cast<uint64_t>(size);
            KILLPOINT::Count("member"); // tests: after this many members
            size = archive.GetNextFile(member);
            done += size;
        }
        return true;
    }

    // Extracts one member, asking whether to try again after each failure to write it; false when the user
    // said No, or when the archive itself is damaged (trying again cannot mend that).
    bool ExtractMember(UNZIPPER& archive, const char* member) {
        while (archive.ExtractFile(member, InstallDir.Text()) != 1) {
            if (archive.LastFailure() == UNZIPPER::FAILURE::Method) {
                State.Copy = COPYOUTCOME::Failed;
                TellMethodNotDecoded(member, archive.LastMethod());
                return false;
            }
            if (archive.LastFailure() == UNZIPPER::FAILURE::Archive) {
                State.Copy = COPYOUTCOME::Failed;
                TellArchiveDamaged(member);
                return false;
            }
            if (!AskRetry(member, archive.LastSystemError())) {
                State.Copy = COPYOUTCOME::Aborted;
                State.CopyError = archive.LastSystemError();
                return false;
            }
        }
        return true;
    }

    // An existing file named by AskOverwrite: the question (messages 2992, 2993) proposes replacing it.
    bool AskOverwrite(const STRING& subject) {
        // Filled by replacement, not printf: the format comes from a language library.
        STRING question = Message(2992);
        question.Replace("%s", subject.Text());
        return Interaction.AskYesNo(Message(2993).Text(), question.Text(), true);
    }

    // The question names the system's reason (a full disk, access denied, a file in use ...): only
    // then does the user know what to mend before trying again. Nobody to ask: the copy ends.
    bool AskRetry(const char* member, int systemerror) {
        const STRING reason =
            systemerror != 0 ? OSYS::GetLastErrorString(systemerror) : Message(IDS_WRITE_REASON_UNKNOWN);
        LogPrintf("SETUP::ActualCopy cannot write %s: error %d, %s\n", member, systemerror, reason.Text());
        STRING question = Message(IDS_ASK_RETRY_COPY);
        question.Replace("$FILE", member);
        question.Replace("$PROGRAM", CONFIGREADER(Config).Text("AppName", "").Text());
        question.Replace("$REASON", reason.Text());
        return Interaction.AskYesNo(Message(IDS_MSGBOX_TITLE).Text(), question.Text(), false);
    }

    void TellArchiveDamaged(const char* member) {
        LogPrintf("SETUP::ActualCopy the package is damaged at %s: copying stops\n", member);
        STRING text = Message(IDS_ERR_ARCHIVE_DAMAGED);
        text.Replace("$FILE", member);
        Interaction.ReportError(Message(IDS_MSGBOX_TITLE).Text(), text.Text());
    }

    // Not damage: the package was made with a method this setup cannot read, and the person who made it
    // can mend that.
    void TellMethodNotDecoded(const char* member, const STRING& method) {
        LogPrintf("SETUP::ActualCopy %s is packed with %s, which setup cannot read: copying stops\n", member,
                  method.Text());
        STRING text = Message(IDS_ERR_ARCHIVE_METHOD);
        text.Replace("$FILE", member);
        text.Replace("$METHOD", method.Text());
        Interaction.ReportError(Message(IDS_MSGBOX_TITLE).Text(), text.Text());
    }

    void CopyExtraFiles() {
        for (const STRING& name : ListFields(CONFIGREADER(Config).Text("CopyToDest"))) {
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
            // Copied beside its name first: the name holds the earlier file or the whole new one.
            const STRING staged = joined || orvik::unzip::fs::kStagingSuffix;
            if (!source.Copy(staged.Text(), true) ||
                !MoveFileExA(staged.Text(), joined.Text(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                LogPrintf("SETUP::ActualCopy cannot copy %s to %s\n", source.Text(), target.Text());
                DeleteFileBelow(InstallDir, name || orvik::unzip::fs::kStagingSuffix, "ActualCopy");
            } else if (target.Size() > 0)
                InstalledBytes += static_cast<uint64_t>(target.Size());
            target.SetReadOnly(false);
        }
    }

    // A key this installation creates is recorded for deletion; one that existed before (and that no
    // earlier installation of this product created) keeps everything but the values written here.
    void RegisterFileTypes() {
        const STRING earlier = ReadEarlierRootClasses();
        for (const STRING& field : ListFields(CONFIGREADER(Config).Text("FileTypes"))) {
            FILETYPE type;
            if (!ParseFileType(field, &type))
                continue;
            if (IsSystemFileType(type.Extension) || IsSystemFileType(type.Identifier)) {
                LogPrintf("SETUP::ActualCopy file type %s;%s refused: a file type of the system\n",
                          type.Extension.Text(), type.Identifier.Text());
                continue;
            }
            const bool extensionours = OursToCreate(type.Extension, earlier);
            const bool identifierours = OursToCreate(type.Identifier, earlier);
            for (const REGISTRYTEXT& key : FileTypeKeys(type, InstallDir)) {
                Journal.BeforeKey(HKEY_CLASSES_ROOT, key.Name); // rollback
                REGISTRY registry(REGISTRY::ClassesRoot(), "", key.Name.Text(), REGISTRY::MODE_CREATE);
                WriteRecordText(registry, "HKCR", nullptr, key.Text.Text());
                const bool ours = key.Name == type.Extension ? extensionours : identifierours;
                if (!ours && !RootValues.Add(key.Name, key.Text))
                    LogPrintf("SETUP::ActualCopy %s: its value cannot be recorded and stays on uninstall\n",
                              key.Name.Text());
            }
            if (extensionours)
                RootClasses.Add(type.Extension);
            if (identifierours)
                RootClasses.Add(type.Identifier);
            KILLPOINT::Count("filetype"); // tests: after this many file types
        }
    }

    // The keys the product's earlier installation recorded as its own.
    STRING ReadEarlierRootClasses() const {
        if (!HasUninstallEntry(Config))
            return STRING("");
        STRING text;
        REGISTRY entry(REGISTRY::LocalMachine(), "", UninstallKeyPath(Config).Text(), REGISTRY::MODE_READ);
        if (!entry.IsOpen() || !entry.Read("UninstallRootClasses", text) || text.c_str() == nullptr)
            return STRING("");
        return STRING(text.c_str());
    }

    static bool OursToCreate(const STRING& key, const STRING& earlier) {
        if (!ClassKeyExists(key))
            return true;
        for (const STRING& created : ListFields(earlier)) {
            if (StringCompareNoCase(created.Text(), key.Text()) == 0)
                return true;
        }
        LogPrintf("SETUP::ActualCopy file type key %s existed before: only its values are recorded\n",
                  key.Text());
        return false;
    }

    void WriteUninstallEntry() {
        if (!HasUninstallEntry(Config))
            return;
        Journal.BeforeKey(HKEY_LOCAL_MACHINE, UninstallKeyPath(Config)); // rollback
        REGISTRY entry(REGISTRY::LocalMachine(), "", UninstallKeyPath(Config).Text(), REGISTRY::MODE_CREATE);
        for (const REGISTRYTEXT& value :
             UninstallEntryValues(Config, InstallDir, Files.Text(), RootClasses.Text()))
            WriteRecordText(entry, "HKLM", value.Name.Text(), value.Text.Text());
        // Only when there is something to give back, and never one of an earlier run.
        if (RootValues.Text().NotEmpty())
            WriteRecordText(entry, "HKLM", "UninstallRootValues", RootValues.Text().Text());
        else
            entry.DeleteValue("UninstallRootValues");
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
        CallNewSetupHook(NEWHOOK_COPY_END, 0, HookOwner(), HookProgressBar(), 0, 0);
    }

    INSTALLSTATE& State;
    INTERACTION& Interaction;
    HASH& Config;
    const STRING InstallDir;
    INSTALLJOURNAL Journal{InstallDir, ProductKey()}; // rollback: what this run changed
    int64_t MemberSize = -1; // of the member being extracted: the journal decides on its backup
    INSTALLEDFILES Files;
    ROOTCLASSES RootClasses;
    ROOTVALUES RootValues;       // the values written into file-type keys that existed before
    uint64_t InstalledBytes = 0; // of the recorded members and the CopyToDest files: EstimatedSize
    bool ServiceStopped = false;
};

} // namespace

COPYOUTCOME INSTALLATION::Copy(INTERACTION& interaction) {
    // While the copy runs, the shell's link objects and the window system get ready for the shortcut step,
    // which would otherwise wait for them. (Started any earlier, the loading holds up the destination's
    // checks instead: both need the system's loader.)
    ShortcutClasses = std::make_unique<COMWARMUP>(ShortcutStepClasses(RunState.Config, RunState.Choices));
    COPYSTEP(RunState, interaction).Run();
    if (RunState.Copy != COPYOUTCOME::Finished)
        ShortcutClasses.reset();
    return RunState.Copy;
}

void INSTALLATION::MakeShortcuts() {
    if (CONFIGREADER(RunState.Config).Number("ActiveSyncInstall") != 0) {
        RunDeviceManager(RunState.DeviceManagerPath, RunState.Choices.InstallDir);
        return;
    }
    MakeShortcutsFor(RunState);
    ShortcutClasses.reset();
}
