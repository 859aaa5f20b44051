// Test program: the install wizard with only the copy step between a page before it and the finish page,
// started like setup.exe from a package folder (setup.cfg, setup.fil, custom.fil, the language library).
//   copy_wizard.exe -INSTALLDIR <folder> [-MODE <install mode>] [/NOASSERT] [/LOGIT:<file>]
// It records in "wizard.txt" of the package folder the hook calls, the pages as they run and the
// wizard's result, which is also its exit code.
#include <windows.h>

#include <fstream>
#include <string>

#include "lib/approot.h"
#include "lib/osys.h"
#include "setup/install/copypage.h"
#include "setup/install/installwizard.h"
#include "setup/res/messages.h"
#include "setup/setuphooks.h"

namespace {

constexpr const char* RECORD_FILE = "wizard.txt";

void Record(const std::string& line) {
    std::ofstream(RECORD_FILE, std::ios::binary | std::ios::app) << line << "\n";
}

// What a hook argument that should be a window is: its class, so that the record shows which window came.
std::string WindowKind(intptr_t handle) {
    if (handle == 0)
        return "0";
    char name[64] = {};
    if (!IsWindow(reinterpret_cast<HWND>(handle)) || !GetClassNameA(reinterpret_cast<HWND>(handle), name, 64))
        return "not-a-window";
    return name;
}

int RecordingSetupHook(int code, const char* text) {
    Record("SetupHook " + std::to_string(code) + " " + (text ? text : "<null>"));
    return 1;
}

int RecordingNewSetupHook(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
    Record("NewSetupHook " + std::to_string(code) + " " + std::to_string(value) + " " + WindowKind(p1) + " " +
           WindowKind(p2) + " " + std::to_string(p3) + " " + std::to_string(p4));
    return 1;
}

// The page before the copy step: passed on the way forward, shown when the user goes back to it.
int PageBefore(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    static bool passed = false;
    if (!passed) {
        passed = true;
        return PAGE_NEXT;
    }
    Record("page before shown");
    return wizard->RunPage();
}

int RecordedCopyPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    const int result = CopyPage(wizard, page);
    Record("copy page " + std::to_string(result));
    return result;
}

int FinishPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    Record("finish page shown");
    return wizard->RunPage();
}

int RunWizard(int argc, char** argv) {
    InitApplication(argc > 0 ? argv[0] : nullptr, "setup", "1.00", nullptr);
    INSTALLATION installation;
    INSTALLSTATE& state = installation.State();
    if (!state.Config.Load("setup.cfg")) {
        Record("no setup.cfg");
        return 99;
    }
    state.Choices.InstallDir = GetArgValue("INSTALLDIR", 0);
    const STRING mode = GetArgValue("MODE", 0);
    if (mode.NotNull())
        state.Choices.InstallMode = mode;
    SetupHook = RecordingSetupHook;
    NewSetupHook = RecordingNewSetupHook;

    SETUPSTEP steps[] = {
        {STEPWELCOME, IDS_WELCOME_TITLE, IDS_WELCOME_SUBTITLE, IDD_PAGE_WELCOME, nullptr, PageBefore, 0},
        {STEPCOPY, IDS_COPY_TITLE, IDS_COPY_SUBTITLE, IDD_PAGE_COPY, nullptr, RecordedCopyPage, 0},
        {STEPFINISH, IDS_FINISH_TITLE, IDS_FINISH_SUBTITLE, IDD_PAGE_FINISH, nullptr, FinishPage, 0},
        {STEPEND, 0, 0, 0, nullptr, nullptr, 0},
    };
    STRING caption = OSYS::GetStringFromResource(IDS_MSGBOX_TITLE);
    caption.Replace("Orvik", state.Config["AppName"].Text());
    const STRING confirmation = OSYS::GetStringFromResource(IDS_ASK_CONTINUE_SETUP);
    int result = 0;
    {
        INSTALLWIZARD wizard(installation, caption.Text(), confirmation.Text(), -1);
        result = wizard.RunSteps(steps, STEPFINISH);
    }
    Record("wizard " + std::to_string(result));
    return result;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AppProcessEntry(instance, [](int argc, char** argv, char**) { return RunWizard(argc, argv); });
}
