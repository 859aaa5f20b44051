// The product's face to the engine (setup/products/producthooks.h): which generation's hook an
// installation of "KYR" takes, and which one its uninstallation takes.
#include "lib/orvik.h"
#include "setup/config.h"
#include "setup/products/kyr/kyrproducthook.h"
#include "setup/products/kyr/kyrsetuphook.h"
#include "setup/products/producthooks.h"

PRODUCTHOOKCHOICE ChooseBuiltInProductHook(const INSTALLSTATE& run, bool hooklibraryhook) {
    const CONFIGREADER config(run.Config);
    if (StringCompareNoCase(config.Text("AppName", "").Text(), "KYR") != 0)
        return {};
    const double version = config.Decimal("AppVersion", "4.00");
    if (hooklibraryhook) {
        LogPrintf("SETUP::RunInstall KYR %.2f: the hook library's NewSetupHook stays\n", version);
        return {true, nullptr};
    }
    const NEWSETUPHOOK hook = BuiltInProductHook(version, run);
    LogPrintf("SETUP::RunInstall KYR %.2f: built-in product hook %d\n", version,
              ProductHookGeneration(version));
    return {true, hook};
}

int ProductHookGeneration(double appversion) {
    if (appversion < 4.8)
        return 1;
    if (appversion < 5.6)
        return 2;
    return 3;
}

NEWSETUPHOOK BuiltInProductHook(double appversion, const INSTALLSTATE& run) {
    if (appversion < 4.8)
        return NewSetupHookKYR4; // it reads the destination from its page
    if (appversion < 5.6) {
        BUILTINKYRHOOK<KyrGeneration5>::AttachRun(&run);
        return NewSetupHookKYR5;
    }
    BUILTINKYRHOOK<KyrGeneration6>::AttachRun(&run);
    return NewSetupHookKYR6;
}

bool TakeBuiltInHookProposals(intptr_t idstep, const INSTALLSTATE& run, INTERACTION& interaction) {
    return BUILTINKYRHOOK<KyrGeneration5>::TakeProposals(idstep, run, interaction) ||
           BUILTINKYRHOOK<KyrGeneration6>::TakeProposals(idstep, run, interaction);
}

void ReleaseBuiltInProductHooks() {
    BUILTINKYRHOOK<KyrGeneration5>::AttachRun(nullptr);
    BUILTINKYRHOOK<KyrGeneration6>::AttachRun(nullptr);
}

NEWSETUPHOOK UninstallProductHook(const STRING& keyname) {
    if (EqualsNoCase(keyname.Text(), "KYR5"))
        return NewSetupHookKYR5;
    if (EqualsNoCase(keyname.Text(), "KYR6"))
        return NewSetupHookKYR6;
    return nullptr;
}
