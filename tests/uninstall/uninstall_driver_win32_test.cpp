// The uninstall driver's decisions: the step table, what the first pass copies and where, what the final
// pass leaves for the next restart, and what it reads of the entry.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "setup/uninstall/removal.h"
#include "setup/uninstall/uninstall.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/uninstall_entry.h"

namespace fs = std::filesystem;

namespace {

std::string Temp() {
    char path[MAX_PATH] = {};
    GetEnvironmentVariableA("TEMP", path, MAX_PATH);
    return path;
}

std::string PendingDeletions() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return "";
    std::string text(65536, '\0');
    DWORD size = static_cast<DWORD>(text.size());
    const LONG rc = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(&text[0]), &size);
    RegCloseKey(key);
    text.resize(rc == ERROR_SUCCESS ? size : 0);
    for (char& c : text)
        if (c == '\0')
            c = '|';
    return text;
}

} // namespace

TEST(UninstallSteps, FeedbackOptionsAndRemovalThenTheEnd) {
    SETUPSTEP steps[UNINSTALL_STEP_COUNT];
    BuildUninstallSteps(steps);
    const intptr_t ids[] = {11, 12, 7}, titles[] = {2932, 2934, 2936}, templates[] = {2013, 2014, 2015};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(steps[i].idstep, ids[i]) << i;
        EXPECT_EQ(steps[i].title, titles[i]) << i;
        EXPECT_EQ(steps[i].subtitle, titles[i] + 1) << i;
        EXPECT_EQ(steps[i].templ, templates[i]) << i;
        EXPECT_NE(steps[i].page, nullptr) << i;
        EXPECT_EQ(steps[i].extra, 0) << i;
    }
    for (int i = 3; i < UNINSTALL_STEP_COUNT - 1; ++i)
        EXPECT_EQ(steps[i].idstep, 0) << i;
    EXPECT_EQ(steps[UNINSTALL_STEP_COUNT - 1].idstep, STEPEND);
}

TEST(FinalPass, CopiedOnlyWithTwoLanguageLibrariesIntoAFreshFolderOfItsOwn) {
    SCRATCHFOLDER install("uninstall_copy");
    install.Write("Setup.exe", "program");
    install.Write("setupenglish.dll", "english");
    const STRING program(install.File("Setup.exe").c_str());
    EXPECT_FALSE(CollectFinalPassFiles(program, STRING(install.Text().c_str())).Enough());
    install.Write("setupgerman.dll", "german");
    install.Write("other.dll", "not a language");
    const FINALPASSFILES files = CollectFinalPassFiles(program, STRING(install.Text().c_str()));
    ASSERT_TRUE(files.Enough());
    EXPECT_EQ(files.Libraries.size(), 2u);

    const STRING temp(Temp().c_str());
    const STRING first = MakeFinalPassFolder(temp);
    const STRING second = MakeFinalPassFolder(temp);
    ASSERT_TRUE(first.NotEmpty());
    EXPECT_NE(first, second) << "every first pass gets a folder nobody else had";
    EXPECT_EQ(fs::path(first.Text()).parent_path(), fs::path(temp.Text()));
    EXPECT_TRUE(fs::is_empty(first.Text()));

    ASSERT_TRUE(CopyFinalPassFiles(files, first));
    std::string text;
    std::ifstream(fs::path(first.Text()) / "Setup.exe") >> text;
    EXPECT_EQ(text, "program");
    EXPECT_TRUE(fs::exists(fs::path(first.Text()) / "setupgerman.dll"));
    EXPECT_FALSE(fs::exists(fs::path(first.Text()) / "other.dll"));
    fs::remove_all(first.Text());
    fs::remove_all(second.Text());
}

// The hook goes with the libraries; a file already in the folder is refused, not overwritten, and a failed
// copy takes the folder with it at once.
TEST(FinalPass, CopiesTheHookNeverOverwritesAndRemovesAFailedFolderAtOnce) {
    SCRATCHFOLDER install("uninstall_hook");
    for (const char* name :
         {"Setup.exe", "setupenglish.dll", "setupgerman.dll", "setupfrench.dll", "SETUPHOOK.dll"})
        install.Write(name, name);
    const FINALPASSFILES files =
        CollectFinalPassFiles(STRING(install.File("Setup.exe").c_str()), STRING(install.Text().c_str()));
    EXPECT_EQ(files.Libraries.size(), 3u);
    EXPECT_EQ(fs::path(files.Hook.Text()).filename(), "SETUPHOOK.dll");

    const STRING temp(Temp().c_str());
    const STRING folder = MakeFinalPassFolder(temp);
    ASSERT_TRUE(IsFinalPassFolder(folder, temp)) << folder.Text();
    std::ofstream(fs::path(folder.Text()) / "setupgerman.dll") << "planted";
    EXPECT_FALSE(CopyFinalPassFiles(files, folder));
    std::string text;
    std::ifstream(fs::path(folder.Text()) / "setupgerman.dll") >> text;
    EXPECT_EQ(text, "planted") << "overwritten";
    EXPECT_TRUE(fs::exists(fs::path(folder.Text()) / "SETUPHOOK.dll"));
    EXPECT_EQ(RemoveFinalPassFolder(folder, temp), 6);
    EXPECT_FALSE(fs::exists(folder.Text()));

    EXPECT_FALSE(IsFinalPassFolder(STRING(install.Text().c_str()), temp));
    EXPECT_EQ(RemoveFinalPassFolder(STRING(install.Text().c_str()), temp), 0);
    EXPECT_TRUE(fs::exists(install.File("SETUPHOOK.dll"))) << "only a final-pass folder is removed";
}

TEST(FinalPass, ItsCopiesAndFolderAreDeletedAtTheNextRestartButNothingElseIs) {
    const STRING temp(Temp().c_str());
    EXPECT_EQ(ScheduleFinalPassCleanup(STRING((Temp() + "\\setup.exe").c_str()), temp), 0)
        << "a program in TEMP itself is not of the first pass's making";
    SCRATCHFOLDER elsewhere("uninstall_elsewhere");
    EXPECT_EQ(ScheduleFinalPassCleanup(STRING(elsewhere.File("setup.exe").c_str()), temp), 0);

    const STRING folder = MakeFinalPassFolder(temp);
    ASSERT_TRUE(folder.NotEmpty());
    for (const char* name :
         {"Setup.exe", "setupenglish.dll", "setupgerman.dll", "setupfrench.dll", "SETUPHOOK.dll"})
        std::ofstream(fs::path(folder.Text()) / name) << name;
    EXPECT_EQ(ScheduleFinalPassCleanup(folder || "\\Setup.exe", temp), 6);
    const std::string pending = PendingDeletions();
    for (const char* name : {"\\Setup.exe|", "\\setupenglish.dll|", "\\setupgerman.dll|",
                             "\\setupfrench.dll|", "\\SETUPHOOK.dll|"})
        EXPECT_NE(pending.find(std::string(fs::path(folder.Text()).filename().string()) + name),
                  std::string::npos)
            << name << " in " << pending;
    fs::remove_all(folder.Text());
}

TEST(UninstallIdentity, TheKeyNameStandsInForAMissingAppNameAndNamesOneKeyOnly) {
    UNINSTALLENTRY entry(UniqueName("OrvikIdentity"));
    entry.Set("UninstallPath", "C:\\Apps\\Demo");
    entry.Set("AppName", "");
    UNINSTALLSTATE state;
    state.KeyName = entry.Name.c_str();
    ReadUninstallIdentity(state);
    EXPECT_STREQ(state.InstallPath.Text(), "C:\\Apps\\Demo");
    EXPECT_STREQ(state.AppName.Text(), entry.Name.c_str());

    entry.Set("AppName", "Demo");
    ReadUninstallIdentity(state);
    EXPECT_STREQ(state.AppName.Text(), "Demo");

    state.KeyName = (entry.Name + "\\..\\" + entry.Name).c_str();
    ReadUninstallIdentity(state);
    EXPECT_FALSE(state.InstallPath.NotNull()) << "a key name with a separator names no entry";
}

TEST(UninstallIdentity, ReadingAnEntryThatIsNotThereLeavesNoKeyBehind) {
    const UNINSTALLENTRY absent(UniqueName("OrvikAbsent"));
    ASSERT_FALSE(absent.KeyExists());
    UNINSTALLSTATE state;
    state.KeyName = absent.Name.c_str();
    ReadUninstallIdentity(state);
    EXPECT_FALSE(state.InstallPath.NotEmpty());
    const REMOVALRECORD record = ReadRemovalRecord(STRING(absent.Name.c_str()));
    EXPECT_FALSE(record.Files.NotEmpty());
    EXPECT_FALSE(absent.KeyExists()) << "a read created HKLM\\" << absent.Path();
}
