// The version-5 product hook (installations of "AppVersion" 4.8 up to 5.6, uninstallations of "KYR5"): finds
// the program folder of a version-4 or version-5 installation and takes its settings over with the
// version-5 migration.
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/ownedpath.h"
#include "setup/kyrproducthook.h"
#include "setup/kyrsetuphook.h"

namespace {

// Only the program folder: "HomePath" of "KYR4", else "%KYR%" of "KYR5".
EARLIERKYR DetectEarlier5() {
    EARLIERKYR earlier;
    earlier.HomePath = ReadRegistryText(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR4", "HomePath");
    if (earlier.HomePath.IsEmpty())
        earlier.HomePath = ReadRegistryText(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR5", "%KYR%");
    return earlier;
}

STRING MigrationCandidate5(const EARLIERKYR& earlier, const STRING& destination) {
    const STRING& home = earlier.HomePath;
    if (home.IsEmpty() || !FILENAME(home).IsDirectory() ||
        EqualsNoCase(NormalFolder(home).Text(), NormalFolder(destination).Text()) ||
        !FILENAME(home.Text(), "Script").IsDirectory() || !FILENAME(home.Text(), "Options").IsDirectory())
        return STRING("");
    return home;
}

void Migrate5(const STRING& target, bool migrate, const EARLIERKYR& earlier) {
    MigrateKyrSettings5(target, migrate, earlier.HomePath);
}

const KYRGENERATION Generation5{5,
                                "KYR5",
                                {"KYR Files", "KYR Dateien"},
                                "%APPDATA%\\KYR",
                                "%ALLUSERPROFILE%",
                                true,
                                false,
                                {"KYR", "KYR4"},
                                DetectEarlier5,
                                MigrationCandidate5,
                                Migrate5};

KYRPRODUCTHOOK& Hook5() {
    static KYRPRODUCTHOOK hook(Generation5);
    return hook;
}

int ProfilePage5(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    return Hook5().ProfilePage(wizard, page);
}

int UserDataPage5(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    return Hook5().UserDataPage(wizard, page);
}

} // namespace

const KYRGENERATION& KyrGeneration5() {
    return Generation5;
}

int NewSetupHookKYR5(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
    Hook5().SetPageFunctions(ProfilePage5, UserDataPage5);
    return Hook5().Call(code, value, p1, p2, p3, p4);
}
