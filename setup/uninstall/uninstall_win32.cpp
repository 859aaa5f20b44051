// RunUninstall: the two passes of the uninstall driver and the uninstall wizard's step table.
#include "setup/uninstall/uninstall.h"

#include <windows.h>

#include <memory>

#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "lib/privatefolder.h"
#include "lib/winhandles.h"
#include "setup/deletionguard.h"
#include "setup/exitcodes.h"
#include "setup/interaction.h"
#include "setup/products/producthooks.h"
#include "setup/record/installrecord.h"
#include "setup/record/recovery.h"
#include "setup/res/messages.h"
#include "setup/runmode.h"
#include "setup/setuphooks.h"
#include "setup/uninstall/removal.h"
#include "setup/uninstall/uninstallwizard.h"
#include "setup/wizard/progresswindow.h"

namespace {

constexpr const char* MUTEX_PREFIX = "Orvik_Uninstall_";
constexpr const char* FINAL_PASS_FOLDER = "OrvikUninstall-";
constexpr const char* HOOK_LIBRARY_FILE = "SETUPHOOK.dll";
constexpr const char* APP_PATHS_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
// A final pass started by a first pass that is still ending waits this long for its mutex.
constexpr int FINAL_PASS_MUTEX_WAIT_MS = 10000;
constexpr int MUTEX_POLL_MS = 100;

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

STRING ReadEntryText(REGISTRY& entry, const char* value) {
    STRING text;
    if (!entry.Read(value, text) || text.c_str() == nullptr)
        return STRING();
    return STRING(text.c_str());
}

// The named mutex that keeps two uninstalls of one product apart, held until the process ends. None when
// another process holds it still after waitms, and none when the name is taken by an object of another kind
// or no mutex can be made: whoever holds the name may be an uninstall too, and never is this one.
KERNELHANDLE AcquireUninstallMutex(const STRING& appname, int waitms) {
    const STRING name = MUTEX_PREFIX || appname;
    for (int waited = 0;; waited += MUTEX_POLL_MS) {
        KERNELHANDLE mutex(CreateMutexA(nullptr, FALSE, name.Text()));
        const DWORD error = GetLastError();
        if (mutex && error != ERROR_ALREADY_EXISTS)
            return mutex;
        if (!mutex)
            LogPrintf("SETUP::RunUninstall no mutex %s: %s\n", name.Text(),
                      OSYS::GetLastErrorString(error).Text());
        if (waited >= waitms)
            return KERNELHANDLE();
        OSYS::Sleep(MUTEX_POLL_MS);
    }
}

STRING TempFolder() {
    char value[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableA("TEMP", value, sizeof value);
    if (length == 0 || length > MAX_PATH)
        return STRING();
    return STRING(value);
}

// First pass: copies the program and its language libraries to a folder of its own below TEMP. Returns
// that folder; empty when no copy could be made (the caller then uninstalls from here).
STRING CopyForFinalPass(const STRING& programpath, const UNINSTALLSTATE& state) {
    const STRING temp = TempFolder();
    if (temp.IsEmpty() || !FILENAME(temp).IsDirectory()) {
        LogPrintf("SETUP::RunUninstall TEMP '%s' is no folder\n", temp.Text());
        return STRING();
    }
    const FINALPASSFILES files = CollectFinalPassFiles(programpath, state.InstallPath);
    if (!files.Enough()) {
        LogPrintf("SETUP::RunUninstall %d language libraries in %s: too few for a copy\n",
                  static_cast<int>(files.Libraries.size()), state.InstallPath.Text());
        return STRING();
    }
    const STRING folder = MakeFinalPassFolder(temp);
    if (folder.IsEmpty())
        return STRING();
    if (!CopyFinalPassFiles(files, folder)) {
        RemoveFinalPassFolder(folder, temp);
        return STRING();
    }
    return folder;
}

// Starts the copy in folder with "-final" and extra arguments; info receives its process when not null.
bool StartFinalPass(const STRING& folder, const UNINSTALLSTATE& state, const STRING& extra,
                    OSYS::PROCESSINFO* info) {
    const STRING program = folder || "\\setup.exe";
    const STRING arguments = "-remove \"" || state.KeyName || "\" -final" || extra;
    const bool started =
        OSYS::StartProgram(program.Text(), arguments.Text(), folder.Text(), nullptr, 0, info, nullptr);
    LogPrintf("SETUP::RunUninstall final pass %s %s: %s\n", program.Text(), arguments.Text(),
              started ? "started" : "not started");
    return started;
}

// The switches of an unattended run that the final pass needs as well. The log goes with them: the first
// pass closes its log, the final pass appends to it, and the first pass appends again once it is back.
STRING UnattendedSwitches(const STRING& logfile) {
    STRING switches("");
    for (const char* name : {"VERYSILENT", "SILENT", "SUPPRESSMSGBOXES", "REMOVEALL"}) {
        if (TestArg(name))
            switches = switches || " /" || name;
    }
    if (logfile.NotEmpty())
        switches = switches || " \"/LOGITKEEP:" || logfile || "\"";
    return switches;
}

// Unattended first pass: the final pass runs from folder and this process waits for it, so that whoever
// started the uninstall sees it end only when the removal has ended. The final pass takes the uninstall
// mutex itself, so this pass gives it up first and takes it back when the final pass cannot start. Returns
// the final pass's exit code; SETUP_EXIT_SUCCESS with *started false when it did not start.
SETUPEXITCODE RunFinalPassAndWait(const STRING& folder, const UNINSTALLSTATE& state, KERNELHANDLE& mutex,
                                  bool* started) {
    const STRING logfile = LogitFileName();
    const STRING switches = UnattendedSwitches(logfile);
    // A process's current folder cannot be deleted: this one must not keep the install folder while it waits.
    SetCurrentDirectoryA(folder.Text());
    LogPrintf("SETUP::RunUninstall final pass with%s, waited for\n", switches.Text());
    if (logfile.NotEmpty()) {
        LogPrintf("SETUP::RunUninstall the log continues in the final pass\n");
        LogitOption("/LOGITCLOSE");
    }
    mutex.reset();
    OSYS::PROCESSINFO info;
    *started = StartFinalPass(folder, state, switches, &info);
    const KERNELHANDLE process(static_cast<HANDLE>(info.hProcess));
    const KERNELHANDLE thread(static_cast<HANDLE>(info.hThread));
    DWORD exitcode = SETUP_EXIT_CANNOT_START;
    if (*started) {
        WaitForSingleObject(process.get(), INFINITE);
        if (!GetExitCodeProcess(process.get(), &exitcode))
            exitcode = SETUP_EXIT_CANNOT_START;
    }
    if (logfile.NotEmpty())
        LogitOption(("/LOGITKEEP:" || logfile).Text());
    if (!*started) {
        RemoveFinalPassFolder(folder, TempFolder());
        mutex = AcquireUninstallMutex(state.AppName, 0);
        return mutex ? SETUP_EXIT_SUCCESS : SETUP_EXIT_CANNOT_START;
    }
    LogPrintf("SETUP::RunUninstall final pass ended with %lu\n", static_cast<unsigned long>(exitcode));
    return static_cast<SETUPEXITCODE>(exitcode);
}

// Remove-all of a program running from the install folder: without a person the first pass waits for this
// one there, and an uninstall that could not copy itself to "TEMP" runs from there; the system keeps the
// loaded program and language library until their process has ended. What the
// tree deletion had to leave there for that reason goes at the next restart, with the folder; only plain
// files directly in it, and only when the guard lets the whole tree go. True when all that is left there is
// scheduled.
bool ScheduleHeldFiles(const UNINSTALLSTATE& state) {
    const STRING folder = NormalFolder(state.InstallPath);
    if (!FolderRemains(folder))
        return true;
    if (JudgeOwnedTree(folder, state.KeyName) != TREEVERDICT::Allowed)
        return false;
    std::vector<STRING> files;
    FILEFIND find((folder || "\\*").Text());
    for (bool found = find.Found(); found; found = find.Next()) {
        if (find.Name() == "." || find.Name() == "..")
            continue;
        if (find.IsDirectory() || find.IsLink()) {
            LogPrintf("SETUP::RunUninstall %s still holds %s: left as it is\n", folder.Text(),
                      find.Name().Text());
            return false;
        }
        files.push_back(find.FullPath());
    }
    files.push_back(folder); // last: at the restart its files have gone before it
    int scheduled = 0;
    for (const STRING& file : files) {
        const bool done = MoveFileExA(file.Text(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
        scheduled += done ? 1 : 0;
        LogPrintf("SETUP::RunUninstall %s is in use: %s\n", file.Text(),
                  done ? "deleted at the next restart" : OSYS::GetLastErrorString().Text());
    }
    return scheduled == static_cast<int>(files.size());
}

// Runs the removal on a worker thread, as the wizard does, while this thread serves its windows: the
// progress window keeps painting while a slow step (a service that takes its time to stop) runs.
void RunServingMessages(REMOVAL& removal) {
    void* thread = OSYS::CreateThread([](void* work) { static_cast<REMOVAL*>(work)->Run(); }, &removal);
    if (!thread) {
        LogPrintf("SETUP::RunUninstall no worker thread, removing on the main thread\n");
        removal.Run();
        return;
    }
    HANDLE handle = static_cast<HANDLE>(thread);
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    OSYS::WaitThread(thread, OSYS::WAIT_FOREVER);
}

// The uninstall without a person: no pages, "program only" unless "/REMOVEALL" asks for all data; the small
// progress window with "/SILENT", nothing with "/VERYSILENT". Returns the exit code of the final pass.
SETUPEXITCODE RunUnattended(UNINSTALLSTATE& state, const RUNMODE& mode, const STRING& title) {
    state.RemoveAll = TestArg("REMOVEALL") ? "1" : "0";
    LogPrintf("SETUP::RunUninstall unattended, remove all %s\n", state.RemoveAll.Text());
    std::unique_ptr<INTERACTION> interaction;
    if (mode.Ui == UIMODE::Silent)
        interaction = std::make_unique<PROGRESSWINDOW>(title, !mode.AnswersByDefault());
    else
        interaction = std::make_unique<QUIETINTERACTION>();
    interaction->SetStatus(Message(IDS_REMOVING_TITLE).Text());
    CallNewSetupHook(NEWHOOK_UNINSTALL_START, 0, 0, 0, 0, reinterpret_cast<intptr_t>(state.KeyName.c_str()));
    REMOVAL removal(state, *interaction, nullptr);
    RunServingMessages(removal);
    if (state.InstallTreeLeft && !ScheduleHeldFiles(state))
        ++state.Leftovers;
    CallNewSetupHook(NEWHOOK_UNINSTALL_END, 0);
    return state.Leftovers > 0 ? SETUP_EXIT_REMOVAL_INCOMPLETE : SETUP_EXIT_SUCCESS;
}

// Runs the uninstall wizard; returns the exit code of the final pass.
SETUPEXITCODE RunWizard(UNINSTALLSTATE& state, const STRING& title) {
    SETUPSTEP steps[UNINSTALL_STEP_COUNT];
    BuildUninstallSteps(steps);
    UNINSTALLWIZARD wizard(state, title.Text(), Message(IDS_ASK_CONTINUE_UNINSTALL).Text(), -1);
    CallNewSetupHook(NEWHOOK_UNINSTALL_START, 0, reinterpret_cast<intptr_t>(wizard.Hwnd()), 0, 0,
                     reinterpret_cast<intptr_t>(state.KeyName.c_str()));
    wizard.SetHook(NewSetupHook);
    const int result = wizard.RunSteps(steps, STEPFINISH);
    LogPrintf("SETUP::RunUninstall wizard result %d\n", result);
    CallNewSetupHook(NEWHOOK_UNINSTALL_END, 0);
    wizard.Hide();
    if (!state.RemovalRan)
        return SETUP_EXIT_UNINSTALL_CANCELLED;
    // An uninstall that runs from the install folder holds its own program and library there.
    if (state.InstallTreeLeft && !ScheduleHeldFiles(state))
        ++state.Leftovers;
    return state.Leftovers > 0 ? SETUP_EXIT_REMOVAL_INCOMPLETE : SETUP_EXIT_SUCCESS;
}

} // namespace

void BuildUninstallSteps(SETUPSTEP (&steps)[UNINSTALL_STEP_COUNT]) {
    for (SETUPSTEP& step : steps)
        step = SETUPSTEP{};
    steps[0] = SETUPSTEP{
        STEPFEEDBACK, IDS_FEEDBACK_TITLE, IDS_FEEDBACK_SUBTITLE, IDD_PAGE_FEEDBACK, nullptr, FeedbackPage, 0};
    steps[1] = SETUPSTEP{STEPREMOVEOPTIONS,
                         IDS_REMOVE_OPTIONS_TITLE,
                         IDS_REMOVE_OPTIONS_SUBTITLE,
                         IDD_PAGE_REMOVE_OPTIONS,
                         nullptr,
                         RemoveOptionsPage,
                         0};
    steps[2] = SETUPSTEP{
        STEPFINISH, IDS_REMOVING_TITLE, IDS_REMOVING_SUBTITLE, IDD_PAGE_REMOVING, nullptr, RemovingPage, 0};
    steps[UNINSTALL_STEP_COUNT - 1].idstep = STEPEND;
}

void ReadUninstallIdentity(UNINSTALLSTATE& state) {
    state.InstallPath = STRING();
    state.AppName = state.KeyName;
    // A key name is one key below the uninstall branch: a "\\" would reach into another product's entry.
    if (state.KeyName.IsEmpty() || state.KeyName.Find("\\")) {
        LogPrintf("SETUP::RunUninstall no uninstall entry named '%s'\n", state.KeyName.Text());
        return;
    }
    REGISTRY entry(REGISTRY::LocalMachine(), UNINSTALL_BASE_KEY, state.KeyName.Text(), REGISTRY::MODE_READ);
    state.InstallPath = ReadEntryText(entry, "UninstallPath");
    const STRING appname = ReadEntryText(entry, "AppName");
    if (appname.NotEmpty())
        state.AppName = appname;
}

FINALPASSFILES CollectFinalPassFiles(const STRING& programpath, const STRING& installpath) {
    FINALPASSFILES files;
    files.Program = programpath;
    if (installpath.IsEmpty())
        return files;
    FILEFIND find((installpath || "\\setup*.dll").Text());
    for (bool found = find.Found(); found; found = find.Next()) {
        if (!find.IsDirectory() && !SameFileName(find.Name(), HOOK_LIBRARY_FILE))
            files.Libraries.push_back(find.FullPath());
    }
    // The final pass loads its hook from its own folder, as every run does.
    const STRING hook = NormalFolder(installpath) || "\\" || HOOK_LIBRARY_FILE;
    const DWORD attributes = GetFileAttributesA(hook.Text());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        files.Hook = hook;
    return files;
}

STRING MakeFinalPassFolder(const STRING& temp) {
    // A folder nobody else held before, and nobody but this user, the Administrators and SYSTEM may write to:
    // TEMP may be C:\Windows\Temp, where every user can put a library or an argument file.
    const STRING folder = CreatePrivateFolder(NormalFolder(temp), FINAL_PASS_FOLDER);
    if (folder.IsEmpty())
        LogPrintf("SETUP::RunUninstall no folder for the final pass below %s\n", temp.Text());
    return folder;
}

bool CopyFinalPassFiles(const FINALPASSFILES& files, const STRING& folder) {
    bool ok = true;
    std::vector<STRING> all{files.Program};
    all.insert(all.end(), files.Libraries.begin(), files.Libraries.end());
    if (files.Hook.NotEmpty())
        all.push_back(files.Hook);
    for (const STRING& file : all) {
        FILENAME source;
        source = file;
        const STRING target = folder || "\\" || source.Name();
        // Never over a file that is there already: only this pass puts files into its folder.
        const bool copied = CopyFileA(source.Text(), target.Text(), TRUE) != 0;
        LogPrintf("SETUP::RunUninstall copy %s to %s: %s\n", source.Text(), target.Text(),
                  copied ? "done" : OSYS::GetLastErrorString().Text());
        ok = ok && copied;
    }
    return ok;
}

bool IsFinalPassFolder(const STRING& folder, const STRING& temp) {
    FILENAME path;
    path = folder;
    return temp.NotEmpty() && FILENAME(temp).IsDirectory() &&
           StringCompareNoCase(NormalFolder(path.Path()).Text(), NormalFolder(temp).Text()) == 0 &&
           path.Name().iPos(FINAL_PASS_FOLDER) == 0;
}

std::vector<STRING> FinalPassFolderFiles(const STRING& folder) {
    std::vector<STRING> files;
    FILEFIND find((folder || "\\*").Text());
    for (bool found = find.Found(); found; found = find.Next()) {
        if (!find.IsDirectory() && !find.IsLink())
            files.push_back(find.FullPath());
    }
    return files;
}

int RemoveFinalPassFolder(const STRING& folder, const STRING& temp) {
    if (!IsFinalPassFolder(folder, temp))
        return 0;
    int removed = 0;
    for (const STRING& file : FinalPassFolderFiles(folder))
        removed += DeleteFileA(file.Text()) ? 1 : 0;
    removed += RemoveDirectoryA(folder.Text()) ? 1 : 0;
    LogPrintf("SETUP::RunUninstall final-pass folder %s removed (%d)\n", folder.Text(), removed);
    return removed;
}

int ScheduleFinalPassCleanup(const STRING& programpath, const STRING& temp) {
    FILENAME program;
    program = programpath;
    const STRING folder = program.Path();
    // Only a folder of the first pass's making, directly below TEMP: never TEMP itself or anything else.
    if (!IsFinalPassFolder(folder, temp)) {
        LogPrintf("SETUP::RunUninstall %s does not run from a final-pass folder: nothing scheduled\n",
                  programpath.Text());
        return 0;
    }
    // Everything in it came from the first pass: nobody else may write there.
    std::vector<STRING> files = FinalPassFolderFiles(folder);
    files.push_back(folder); // last: at the restart its files have gone before it
    int scheduled = 0;
    for (const STRING& file : files) {
        if (MoveFileExA(file.Text(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            ++scheduled;
        LogPrintf("SETUP::RunUninstall %s deleted at the next restart\n", file.Text());
    }
    return scheduled;
}

int RunUninstall(const STRING& programpath) {
    LogPrintf("SETUP::RunUninstall(%s)\n", programpath.Text());
    UNINSTALLSTATE state;
    state.KeyName = GetArgValue("REMOVE", 0);
    ReadUninstallIdentity(state);
    STRING title = Message(IDS_UNINSTALL_TITLE);
    title.Replace("Orvik", state.AppName.Text());

    const RUNMODE mode = ReadRunMode();
    const bool finalpass = TestArg("FINAL");
    KERNELHANDLE mutex = AcquireUninstallMutex(state.AppName, finalpass ? FINAL_PASS_MUTEX_WAIT_MS : 0);
    if (!mutex) {
        LogPrintf("SETUP::RunUninstall %s is already being uninstalled\n", state.AppName.Text());
        return SETUP_EXIT_IN_PROGRESS;
    }
    // Each pass first puts back what an interrupted installation left: an undone first installation
    // leaves nothing to uninstall, an undone update the earlier version.
    if (state.InstallPath.NotEmpty() && RecoverInterruptedRuns(state.InstallPath, state.KeyName) > 0)
        ReadUninstallIdentity(state);
    if (state.InstallPath.IsEmpty() || state.KeyName.IsEmpty()) {
        if (mode.Unattended() || mode.AnswersByDefault())
            LogPrintf("SETUP::RunUninstall Files missing or this software has already been uninstalled!\n");
        else
            WINORVIK::ErrorMsgBox(nullptr, "Orvik Uninstall",
                                  "Files missing or this software has already been uninstalled!");
        return SETUP_EXIT_NOTHING_TO_UNINSTALL;
    }
    STRING question = Message(IDS_ASK_UNINSTALL);
    question.Replace("$PROGRAM", state.AppName.Text());

    if (!finalpass && mode.Unattended()) {
        // An unattended uninstall was asked for: that is the yes.
        const STRING folder = CopyForFinalPass(programpath, state);
        bool started = false;
        if (folder.NotEmpty()) {
            const SETUPEXITCODE exitcode = RunFinalPassAndWait(folder, state, mutex, &started);
            if (started || !mutex)
                return exitcode;
        }
        LogPrintf("SETUP::RunUninstall Cannot copy to temp directory. Local uninstall.\n");
    } else if (!finalpass) {
        if (!WINORVIK::YesNoMsgBox(nullptr, title.Text(), question.Text())) {
            LogPrintf("SETUP::RunUninstall the user said No\n");
            return SETUP_EXIT_UNINSTALL_CANCELLED;
        }
        const STRING folder = CopyForFinalPass(programpath, state);
        // A final pass that never started would leave the user with nothing done and not a word said: then
        // the uninstall runs here instead.
        if (folder.NotEmpty() && StartFinalPass(folder, state, STRING(""), nullptr))
            return SETUP_EXIT_SUCCESS;
        if (folder.NotEmpty())
            RemoveFinalPassFolder(folder, TempFolder());
        WINORVIK::InfoMsgBox(nullptr, "Uninst", "Cannot copy to temp directory. Local uninstall.");
    }
    if (const NEWSETUPHOOK builtin = UninstallProductHook(state.KeyName)) {
        NewSetupHook = builtin;
        LogPrintf("SETUP::RunUninstall %s: built-in product hook\n", state.KeyName.Text());
    }
    const SETUPEXITCODE exitcode =
        mode.Unattended() ? RunUnattended(state, mode, title) : RunWizard(state, title);
    ScheduleFinalPassCleanup(programpath, TempFolder());
    LogPrintf("SETUP::~RunUninstall exit code %d\n", exitcode);
    return exitcode;
}
