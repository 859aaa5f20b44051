// The KYR hooks of versions 5 and 6 in this process: which hook a version or an uninstall key selects, the
// steps they insert into the installer's real step table, and the earlier installation they find in the
// registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/install/install.h"
#include "setup/install/installstate.h"
#include "setup/products/kyr/kyrproducthook.h"
#include "setup/products/kyr/kyrsetuphook.h"
#include "tests/kyr/kyr_machine.h"

using namespace kyrtest;

TEST(KyrHookSelection, AppVersionAtInstallAndTheKeyNameAtUninstall) {
    const INSTALLSTATE run;
    EXPECT_EQ(BuiltInProductHook(4.79, run), NewSetupHookKYR4);
    EXPECT_EQ(BuiltInProductHook(4.8, run), NewSetupHookKYR5);
    EXPECT_EQ(BuiltInProductHook(5.59, run), NewSetupHookKYR5);
    EXPECT_EQ(BuiltInProductHook(5.6, run), NewSetupHookKYR6);
    EXPECT_EQ(BuiltInProductHook(11.0, run), NewSetupHookKYR6);
    ReleaseBuiltInProductHooks();

    EXPECT_EQ(UninstallProductHook(STRING("KYR5")), NewSetupHookKYR5);
    EXPECT_EQ(UninstallProductHook(STRING("kyr6")), NewSetupHookKYR6);
    for (const char* other : {"KYR4", "KYR", "KYR66", "OrvikDemoPad", ""})
        EXPECT_EQ(UninstallProductHook(STRING(other)), nullptr) << other;
}

TEST(KyrHookSteps, ProfileAndUserDataPagesComeBeforeTheAdvertisementInBothVersions) {
    for (NEWSETUPHOOK hook : {NewSetupHookKYR5, NewSetupHookKYR6}) {
        SETUPSTEP steps[INSTALL_STEP_COUNT];
        BuildInstallSteps(steps);
        hook(NEWHOOK_STEP_TABLE, 0, 0, 0, 0, reinterpret_cast<intptr_t>(steps));
        std::vector<intptr_t> ids;
        for (const SETUPSTEP& step : steps)
            ids.push_back(step.idstep);
        EXPECT_EQ(ids, (std::vector<intptr_t>{1, 2, 3, 4, 5, 16, 15, 6, 7, 0, 0, 0, 0, 0, 9}));
        EXPECT_EQ(steps[5].templ, 2011);
        EXPECT_EQ(steps[5].title, 2922);
        EXPECT_EQ(steps[5].subtitle, 2923);
        EXPECT_EQ(steps[6].templ, 2010);
        EXPECT_EQ(steps[6].title, 2920);
        EXPECT_EQ(steps[6].subtitle, 2921);
        for (int i : {5, 6}) {
            EXPECT_NE(steps[i].page, nullptr);
            EXPECT_EQ(steps[i].module, nullptr);
        }
        EXPECT_NE(steps[5].page, steps[6].page);
        EXPECT_EQ(steps[7].templ, 2006) << "the advertisement step moved with its page";
        EXPECT_EQ(steps[8].templ, 2009) << "the finish step moved with its page";
    }
}

SETUPSTEP Step(intptr_t id) {
    return SETUPSTEP{id, 0, 0, 0, nullptr, nullptr, 0};
}

TEST(KyrHookSteps, ATableWithoutRoomOrWithoutAdvertisementIsLeftAsItIs) {
    const SETUPSTEP first = Step(16);
    const SETUPSTEP second = Step(15);
    SETUPSTEP full[] = {Step(1), Step(6), Step(7), Step(0), Step(9)}; // one free record only
    EXPECT_FALSE(InsertStepsBeforeAdvertisement(full, first, second));
    SETUPSTEP noadvert[] = {Step(1), Step(7), Step(0), Step(0), Step(0), Step(9)};
    EXPECT_FALSE(InsertStepsBeforeAdvertisement(noadvert, first, second));
    for (const SETUPSTEP* table : {full, noadvert}) {
        EXPECT_EQ(table[0].idstep, 1);
        EXPECT_NE(table[1].idstep, 16);
    }
    EXPECT_EQ(full[4].idstep, 9) << "the end marker stays";
}

class KyrDetection : public testing::Test {
protected:
    void SetUp() override { ForgetKyr(); }
    void TearDown() override { ForgetKyr(); }
    static void User(const char* key, const char* name, const char* text) {
        SetText(HKEY_CURRENT_USER, std::string("Software\\Orvik\\") + key, name, text);
    }
    static std::vector<std::string> Found(const KYRGENERATION& generation) {
        const EARLIERKYR earlier = generation.DetectEarlier();
        return {earlier.Marker.Text(), earlier.HomePath.Text(), earlier.WorkPath.Text()};
    }
};

using Strings = std::vector<std::string>;

TEST_F(KyrDetection, VersionSixTakesTheFirstOfTheThreeRegistrations) {
    EXPECT_EQ(Found(KyrGeneration6()), (Strings{"", "", ""})) << "no earlier installation";

    SetText(HKEY_CURRENT_USER, "Software\\Kyrolink ", "HomePath", "C:\\KL3");
    EXPECT_EQ(Found(KyrGeneration6()), (Strings{"V3", "C:\\KL3", ""}));

    User("KYR4", "HomePath", "C:\\KYR4");
    EXPECT_EQ(Found(KyrGeneration6()), (Strings{"", "C:\\KYR4", "C:\\KYR4"}))
        << "without WorkPath the data folder is the program folder and the marker stays empty";
    User("KYR4", "WorkPath", "D:\\KYR4 data");
    EXPECT_EQ(Found(KyrGeneration6()), (Strings{"V4", "C:\\KYR4", "D:\\KYR4 data"}));

    User("KYR5", "%KYR%", "C:\\KYR5");
    EXPECT_EQ(Found(KyrGeneration6()), (Strings{"V4", "C:\\KYR4", "D:\\KYR4 data"}))
        << "version 5 without its data folder does not count";
    User("KYR5", "%KYRFILES%", "D:\\KYR5 data");
    EXPECT_EQ(Found(KyrGeneration6()), (Strings{"V5", "C:\\KYR5", "D:\\KYR5 data"}));
}

TEST_F(KyrDetection, VersionFiveLooksAtTheProgramFolderOfVersionFourThenFive) {
    SetText(HKEY_CURRENT_USER, "Software\\Kyrolink ", "HomePath", "C:\\KL3");
    EXPECT_EQ(Found(KyrGeneration5()), (Strings{"", "", ""})) << "version 3 is not looked at";
    User("KYR5", "%KYR%", "C:\\KYR5");
    EXPECT_EQ(Found(KyrGeneration5()), (Strings{"", "C:\\KYR5", ""}));
    User("KYR4", "HomePath", "C:\\KYR4");
    User("KYR4", "WorkPath", "D:\\KYR4 data");
    EXPECT_EQ(Found(KyrGeneration5()), (Strings{"", "C:\\KYR4", ""}));
}

// Codes 9 and 10 as the shortcut step sends them: earlier entries in the destination go, with the program
// group of a version-4 or first-generation entry, but never the group the shortcut step has just filled.
// Both hooks are selected for the fixture's installation, as the install driver selects one for its run.
class KyrEarlierEntries : public testing::Test {
protected:
    void SetUp() override {
        ForgetKyr();
        Run.Choices.InstallDir = "Q:\\kyrtest\\entries\\KYR";
        Run.StartmenuFolder = (Programs / "KYR Test New").string().c_str();
        BuiltInProductHook(5.0, Run);
        BuiltInProductHook(6.0, Run);
        for (const char* group : {"KYR Test New", "KYR4 Test Old"})
            PutFile(Programs / group / "KYR.lnk", "link");
    }
    void TearDown() override {
        ReleaseBuiltInProductHooks();
        ForgetKyr();
        for (const char* group : {"KYR Test New", "KYR4 Test Old"})
            RemoveTree(Programs / group);
    }
    static void Entry(const char* key, const std::string& path, const fs::path& group) {
        SetText(HKEY_LOCAL_MACHINE, kUninstallBranch + "\\" + key, "UninstallPath", path);
        SetText(HKEY_LOCAL_MACHINE, kUninstallBranch + "\\" + key, "UninstallStartmenu", group.string());
    }
    static bool EntryExists(const char* key) {
        return KeyExists(HKEY_LOCAL_MACHINE, kUninstallBranch + "\\" + key);
    }

    const fs::path Programs = ShellFolder(CSIDL_PROGRAMS);
    INSTALLSTATE Run;
};

TEST_F(KyrEarlierEntries, VersionFiveLeavesItsOwnEntryAndGroupAndRemovesVersionFour) {
    Entry("KYR5", "Q:\\kyrtest\\entries\\KYR", Programs / "KYR Test New"); // written by the copy step
    Entry("KYR4", "q:\\kyrtest\\entries\\kyr\\", Programs / "KYR4 Test Old");
    NewSetupHookKYR5(NEWHOOK_STARTMENU_FOLDER, 0, 0, 0, 0, 0);
    NewSetupHookKYR5(NEWHOOK_SHORTCUTS_DONE, 0, 0, 0, 0, 0);
    EXPECT_TRUE(EntryExists("KYR5"));
    EXPECT_FALSE(EntryExists("KYR4"));
    EXPECT_FALSE(fs::exists(Programs / "KYR4 Test Old"));
    EXPECT_EQ(FileText(Programs / "KYR Test New" / "KYR.lnk"), "link");
}

TEST_F(KyrEarlierEntries, VersionSixKeepsAGroupThatHoldsTheNewShortcuts) {
    Entry("KYR5", "Q:\\kyrtest\\entries\\KYR", Programs / "KYR Test New");
    Entry("KYR4", "Q:\\kyrtest\\entries\\KYR", Programs / "KYR4 Test Old");
    Entry("KYR", "Q:\\kyrtest\\elsewhere", Programs / "KYR4 Test Old");
    NewSetupHookKYR6(NEWHOOK_STARTMENU_FOLDER, 0, 0, 0, 0, 0);
    NewSetupHookKYR6(NEWHOOK_SHORTCUTS_DONE, 0, 0, 0, 0, 0);
    EXPECT_FALSE(EntryExists("KYR5"));
    EXPECT_FALSE(EntryExists("KYR4"));
    EXPECT_TRUE(EntryExists("KYR")) << "installed elsewhere";
    EXPECT_EQ(FileText(Programs / "KYR Test New" / "KYR.lnk"), "link");
    EXPECT_EQ(FileText(Programs / "KYR4 Test Old" / "KYR.lnk"), "link") << "version 5's group was remembered";
}

TEST_F(KyrEarlierEntries, AfterTheInstallationEndedTheShortcutCodesTouchNothing) {
    Entry("KYR4", "Q:\\kyrtest\\entries\\KYR", Programs / "KYR4 Test Old");
    ReleaseBuiltInProductHooks();
    for (NEWSETUPHOOK hook : {NewSetupHookKYR5, NewSetupHookKYR6}) {
        hook(NEWHOOK_STARTMENU_FOLDER, 0, 0, 0, 0, 0);
        hook(NEWHOOK_SHORTCUTS_DONE, 0, 0, 0, 0, 0);
    }
    EXPECT_TRUE(EntryExists("KYR4")) << "no installation, no destination to compare the entry with";
    EXPECT_EQ(FileText(Programs / "KYR4 Test Old" / "KYR.lnk"), "link");
}
