// The version-6 product hook (installations of "AppVersion" 5.6 and later, uninstallations of "KYR6"): finds
// an installation of any earlier generation and takes its settings over with the version-6 migration.
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/products/kyr/kyrproducthook.h"
#include "setup/products/kyr/kyrsetuphook.h"

namespace {

// The first of the three registrations that names a program folder: "KYR5", "KYR4", then "Kyrolink ".
EARLIERKYR DetectEarlier6() {
    EARLIERKYR earlier;
    const STRING home5 = ReadRegistryText(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR5", "%KYR%");
    const STRING work5 = ReadRegistryText(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR5", "%KYRFILES%");
    if (home5.NotEmpty() && work5.NotEmpty()) {
        earlier.HomePath = home5;
        earlier.WorkPath = work5;
        earlier.Marker = "V5";
        return earlier;
    }
    const STRING home4 = ReadRegistryText(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR4", "HomePath");
    if (home4.NotEmpty()) {
        earlier.HomePath = home4;
        const STRING work4 = ReadRegistryText(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR4", "WorkPath");
        earlier.WorkPath = work4.NotEmpty() ? work4 : home4;
        if (work4.NotEmpty())
            earlier.Marker = "V4";
        return earlier;
    }
    const STRING home3 = ReadRegistryText(REGISTRY::CurrentUser(), "Software", "Kyrolink ", "HomePath");
    if (home3.NotEmpty()) {
        earlier.HomePath = home3;
        earlier.Marker = "V3";
    }
    return earlier;
}

// Versions 3 and 4 kept their settings in the program folder, version 5 in its data folder.
STRING MigrationCandidate6(const EARLIERKYR& earlier, const STRING& destination) {
    const bool upto4 = EqualsNoCase(earlier.Marker.Text(), "V3") || EqualsNoCase(earlier.Marker.Text(), "V4");
    const bool version5 = EqualsNoCase(earlier.Marker.Text(), "V5");
    const STRING candidate = upto4 ? earlier.HomePath : (version5 ? earlier.WorkPath : STRING(""));
    return EarlierFolderQualifies(candidate, destination, {"Options"}) ? candidate : STRING("");
}

const KYRGENERATION Generation6{6,
                                "KYR6",
                                {"KYR6 Files", "KYR6 Dateien"},
                                "%APPDATA%\\KYR6",
                                "%ALLUSERPROFILE%\\KYR6",
                                false,
                                true,
                                {"KYR", "KYR4", "KYR5"},
                                DetectEarlier6,
                                MigrationCandidate6,
                                MigrateKyrSettings6};

} // namespace

const KYRGENERATION& KyrGeneration6() {
    return Generation6;
}

int NewSetupHookKYR6(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4) {
    return BUILTINKYRHOOK<KyrGeneration6>::Entry(code, value, p1, p2, p3, p4);
}
