// Decisions of the install driver: the step table, the destination, the earlier installation in the
// registry, the product hook generation and the files deleted after the wizard.
#include <gtest/gtest.h>

#include "lib/hash.h"
#include "setup/config.h"
#include "setup/install/install.h"
#include "setup/products/kyr/kyrsetuphook.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/uninstall_entry.h"

TEST(InstallSteps, StandardStepsThenSpareRecordsThenTheEndMarker) {
    SETUPSTEP steps[INSTALL_STEP_COUNT];
    BuildInstallSteps(steps);
    const intptr_t ids[] = {STEPWELCOME,   STEPLICENCE, STEPDESTINATION, STEPCOPY,
                            STEPSHORTCUTS, STEPADV,     STEPFINISH};
    const intptr_t templates[] = {2001, 2003, 2002, 2004, 2005, 2006, 2009};
    for (int i = 0; i < INSTALL_STANDARD_STEPS; ++i) {
        EXPECT_EQ(steps[i].idstep, ids[i]) << i;
        EXPECT_EQ(steps[i].templ, templates[i]) << i;
        EXPECT_EQ(steps[i].subtitle, steps[i].title + 1) << i;
        EXPECT_NE(steps[i].page, nullptr) << i;
        EXPECT_EQ(steps[i].module, nullptr) << i;
        EXPECT_EQ(steps[i].extra, 0) << i;
    }
    // A hook inserts its steps into the spare records: they must be all zero.
    for (int i = INSTALL_STANDARD_STEPS; i < INSTALL_STEP_COUNT - 1; ++i) {
        EXPECT_EQ(steps[i].idstep, 0) << i;
        EXPECT_EQ(steps[i].page, nullptr) << i;
        EXPECT_EQ(steps[i].templ, 0) << i;
    }
    EXPECT_EQ(steps[INSTALL_STEP_COUNT - 1].idstep, STEPEND);
    EXPECT_EQ(steps[INSTALL_STEP_COUNT - 1].page, nullptr);
}

TEST(InstallDir, AnEarlierInstallationsFolderWinsWhileItExists) {
    SCRATCHFOLDER earlier;
    EXPECT_STREQ(
        ChooseInstallDir(STRING(earlier.Text().c_str()), STRING("Maker\\App"), STRING("C:\\Program Files\\"))
            .Text(),
        earlier.Text().c_str());
}

TEST(InstallDir, AGoneEarlierFolderFallsBackToInstallPath) {
    std::string gone;
    {
        SCRATCHFOLDER earlier;
        gone = earlier.Text();
    }
    EXPECT_STREQ(
        ChooseInstallDir(STRING(gone.c_str()), STRING("Maker\\App"), STRING("C:\\Program Files\\")).Text(),
        "C:\\Program Files\\Maker\\App");
}

TEST(InstallDir, AStarNamesTheFolderItself) {
    EXPECT_STREQ(
        ChooseInstallDir(STRING(""), STRING("*D:\\Tools\\App"), STRING("C:\\Program Files\\")).Text(),
        "D:\\Tools\\App");
    EXPECT_STREQ(ChooseInstallDir(STRING(), STRING("*"), STRING("C:\\Program Files\\")).Text(), "");
}

TEST(InstallDir, NoInstallPathMeansTheProgramFilesFolder) {
    EXPECT_STREQ(ChooseInstallDir(STRING(), STRING(), STRING("C:\\Program Files\\")).Text(),
                 "C:\\Program Files\\");
}

TEST(PreviousInstall, ReadsPathAndVersionOfTheUninstallEntry) {
    UNINSTALLENTRY entry(UniqueName("OrvikTestPrev"));
    entry.Set("UninstallPath", "C:\\Apps\\Old");
    entry.Set("DisplayVersion", "5.10");
    const PREVIOUSINSTALL previous = ReadPreviousInstall(STRING(entry.Name.c_str()));
    EXPECT_TRUE(previous.Found());
    EXPECT_STREQ(previous.Path.Text(), "C:\\Apps\\Old");
    EXPECT_STREQ(previous.Version.Text(), "5.10");
}

TEST(PreviousInstall, EmptyValuesCountAsNotRecorded) {
    UNINSTALLENTRY entry(UniqueName("OrvikTestEmpty"));
    entry.Set("UninstallPath", "");
    entry.Set("DisplayVersion", "");
    const PREVIOUSINSTALL previous = ReadPreviousInstall(STRING(entry.Name.c_str()));
    EXPECT_FALSE(previous.Found());
    EXPECT_EQ(previous.Version.Length(), 0);
}

TEST(PreviousInstall, ReadingAnEntryThatIsNotThereCreatesNone) {
    UNINSTALLENTRY absent(UniqueName("OrvikTestAbsent"));
    EXPECT_FALSE(ReadPreviousInstall(STRING(absent.Name.c_str())).Found());
    EXPECT_FALSE(absent.KeyExists());
}

TEST(DeviceManager, LookingForItCreatesNoAppPathsEntry) {
    const char* const key = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAppMgr.exe";
    HKEY found = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &found) == ERROR_SUCCESS) {
        RegCloseKey(found);
        GTEST_SKIP() << "a device manager is registered in this prefix";
    }
    EXPECT_TRUE(FindDeviceManager().IsEmpty());
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &found), ERROR_SUCCESS)
        << "other software takes the key as an installed device manager";
}

TEST(PreviousInstall, WithoutIniKeyNothingIsReadOrCreated) {
    UNINSTALLENTRY nullname("<NULL>");
    EXPECT_FALSE(ReadPreviousInstall(STRING("")).Found());
    EXPECT_FALSE(ReadPreviousInstall(STRING()).Found());
    EXPECT_FALSE(nullname.KeyExists());
}

TEST(ProductHook, GenerationFollowsTheVersionBoundaries) {
    const HASH table(STRING("A=4.79\nB=4.8\nC=5.59\nD=5.6\nE=\nF=12\n"));
    const CONFIGREADER config(table);
    EXPECT_EQ(ProductHookGeneration(config.Decimal("A")), 1);
    EXPECT_EQ(ProductHookGeneration(config.Decimal("B")), 2);
    EXPECT_EQ(ProductHookGeneration(config.Decimal("C")), 2);
    EXPECT_EQ(ProductHookGeneration(config.Decimal("D")), 3);
    EXPECT_EQ(ProductHookGeneration(config.Decimal("E", "4.00")), 1) << "present but empty reads as 0";
    EXPECT_EQ(ProductHookGeneration(config.Decimal("F")), 3);
    EXPECT_EQ(ProductHookGeneration(config.Decimal("Absent", "4.00")), 1);
}

TEST(DeleteAfterExtract, DeletesTheListedFilesOfTheDestination) {
    SCRATCHFOLDER destination;
    destination.Write("a.tmp", "a");
    destination.Write("sub\\b.tmp", "b");
    destination.Write("keep.txt", "k");
    EXPECT_EQ(
        DeleteAfterExtract(STRING("a.tmp||sub\\b.tmp|missing.tmp|"), STRING(destination.Text().c_str())), 2);
    EXPECT_FALSE(destination.Exists("a.tmp"));
    EXPECT_FALSE(destination.Exists("sub\\b.tmp"));
    EXPECT_TRUE(destination.Exists("keep.txt"));
}

TEST(DeleteAfterExtract, AFullPathIsTakenBelowTheDestinationNotOutsideIt) {
    SCRATCHFOLDER destination;
    SCRATCHFOLDER elsewhere;
    elsewhere.Write("precious.dat", "p");
    EXPECT_EQ(DeleteAfterExtract(STRING(elsewhere.File("precious.dat").c_str()),
                                 STRING(destination.Text().c_str())),
              0);
    EXPECT_TRUE(elsewhere.Exists("precious.dat"));
}

TEST(DeleteAfterExtract, NamesAreJoinedLiterallyAndNeverLeaveTheDestination) {
    SCRATCHFOLDER root;
    root.Write("precious.dat", "p");
    root.Write("dest\\%APPDATA%\\x.dat", "literal");
    root.Write("dest\\~\\y.dat", "literal");
    const STRING destination(root.File("dest").c_str());
    // "..\precious.dat" would reach the folder above; "%APPDATA%\x.dat" and "~\y.dat" name files below the
    // destination, as the extractor wrote them, not in the user's profile.
    EXPECT_EQ(
        DeleteAfterExtract(STRING("..\\precious.dat|sub\\..\\..\\precious.dat|%APPDATA%\\x.dat|~\\y.dat"),
                           destination),
        2);
    EXPECT_TRUE(root.Exists("precious.dat"));
    EXPECT_FALSE(root.Exists("dest\\%APPDATA%\\x.dat"));
    EXPECT_FALSE(root.Exists("dest\\~\\y.dat"));
}
