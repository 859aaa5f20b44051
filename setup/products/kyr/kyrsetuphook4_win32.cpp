// The version-4 product hook: no pages of its own. When the destination page is left for a folder that does
// not hold the product yet, it offers to take over the settings of the earlier installation recorded under
// "KYR4"; after the copy step it copies them ("OPTIONS", "SCRIPT", "PHONEBK") into the destination.
#include <windows.h>

#include "lib/approot.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "setup/products/kyr/kyrproducthook.h"
#include "setup/products/kyr/kyrsetuphook.h"
#include "setup/res/messages.h"
#include "setup/res/resourceids.h"

namespace {

// What the hook remembers between its calls.
struct KYR4STATE {
    STRING HomePath{""};
    STRING Destination{""};
    bool Migrate = false;
};

KYR4STATE& State() {
    static KYR4STATE state;
    return state;
}

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

STRING ReadEarlierHomePath() {
    REGISTRY key(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR4", REGISTRY::MODE_READ);
    STRING home;
    if (!key.IsOpen() || !key.Read("HomePath", home))
        return STRING("");
    return home;
}

bool ExistsIn(const STRING& folder, const char* name) {
    STRING path;
    return JoinBelow(folder, STRING(name), &path) &&
           GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

STRING DestinationField(intptr_t page) {
    char text[MAX_PATH] = {};
    GetDlgItemTextA(reinterpret_cast<HWND>(page), IDC_DEST_FOLDER, text, sizeof text);
    return STRING(text);
}

// Leaving the destination page: ask only when the destination holds no product yet and the earlier
// installation is another, existing folder.
void AskAfterDestination(intptr_t page) {
    KYR4STATE& state = State();
    state.Migrate = false;
    const STRING destination = DestinationField(page);
    const bool fresh =
        destination.NotEmpty() && !ExistsIn(destination, "kyr.exe") && !ExistsIn(destination, "phonebk");
    const bool earlier =
        state.HomePath.NotEmpty() && FILENAME(state.HomePath).IsDirectory() &&
        StringCompareNoCase(NormalFolder(state.HomePath).c_str(), NormalFolder(destination).c_str()) != 0;
    if (!fresh || !earlier)
        return;
    STRING question;
    question.Printf(Message(IDS_ASK_MIGRATE_SETTINGS).Text(), state.HomePath.Text());
    state.Migrate = WINORVIK::YesNoMsgBox(reinterpret_cast<void*>(page), Message(IDS_MSGBOX_TITLE).Text(),
                                          question.Text());
    state.Destination = destination;
    LogPrintf("SETUP::NewSetupHookKYR4 take over settings from %s into %s: %d\n", state.HomePath.Text(),
              destination.Text(), state.Migrate ? 1 : 0);
}

void CopyEarlierSettings() {
    const KYR4STATE& state = State();
    if (state.Migrate) {
        for (const char* tree : {"OPTIONS", "SCRIPT"})
            CopyTreeOutside(FILENAME(state.HomePath.c_str(), tree), FILENAME(state.Destination.c_str(), tree),
                            "SETUP::NewSetupHookKYR4");
        const FILENAME phonebook(state.HomePath.c_str(), "PHONEBK");
        if (!phonebook.Copy(FILENAME(state.Destination.c_str(), "PHONEBK").c_str(), true))
            LogPrintf("SETUP::NewSetupHookKYR4 PHONEBK not copied: %s\n", OSYS::GetLastErrorString().Text());
    }
    SwitchOffRexxGlobalScbs();
}

} // namespace

int NewSetupHookKYR4(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
    LogPrintf("SETUP::NewSetupHookKYR %d %d %p\n", code, value, reinterpret_cast<void*>(p4));
    if (code == NEWHOOK_CONFIGURATION) {
        State().HomePath = ReadEarlierHomePath();
        LogPrintf("SETUP::NewSetupHookKYR4 earlier installation: '%s'\n", State().HomePath.Text());
    } else if (code == NEWHOOK_AFTER_PAGE && value == STEPDESTINATION) {
        AskAfterDestination(p2);
    } else if (code == NEWHOOK_COPY_END) {
        CopyEarlierSettings();
    }
    return 1;
}
