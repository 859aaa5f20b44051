// The version-5 product hook (installations of "AppVersion" 4.8 up to 5.6, uninstallations of "KYR5"): finds
// the program folder of a version-4 or version-5 installation and takes its settings over with the
// version-5 migration.
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/products/kyr/kyrproducthook.h"
#include "setup/products/kyr/kyrsetuphook.h"

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
    return EarlierFolderQualifies(earlier.HomePath, destination, {"Script", "Options"}) ? earlier.HomePath
                                                                                        : STRING("");
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

} // namespace

const KYRGENERATION& KyrGeneration5() {
    return Generation5;
}

int NewSetupHookKYR5(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
    return BUILTINKYRHOOK<KyrGeneration5>::Entry(code, value, p1, p2, p3, p4);
}
