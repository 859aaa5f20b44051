// The install journal's parts that the copy page cannot reach when it fails: registry keys written before the
// undo, the backups of a completed run, and a backup folder that an earlier, killed run left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "setup/installjournal.h"

namespace {

namespace fs = std::filesystem;
using VALUES = std::vector<std::tuple<std::string, DWORD, std::string>>;

const std::string BASE = "Software\\OrvikJournalTest" + std::to_string(GetCurrentProcessId());

VALUES ValuesOf(const std::string& path) {
    VALUES values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        BYTE data[512];
        DWORD namelength = sizeof name, datalength = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &namelength, nullptr, &type, data, &datalength) != ERROR_SUCCESS)
            break;
        values.emplace_back(name, type, std::string(reinterpret_cast<char*>(data), datalength));
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    return values;
}

void Set(HKEY key, const char* name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

struct RegistryJournal : testing::Test {
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, BASE.c_str()); }
};

struct FileJournal : testing::Test {
    void SetUp() override {
        Folder = fs::path("Q:\\") / ("journal-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(Folder / name, std::ios::binary) << text;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(Folder))
            names.push_back(fs::relative(entry.path(), Folder).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path Folder;
};

} // namespace

TEST_F(RegistryJournal, UndoRestoresEarlierValuesWithTheirTypesAndRemovesTheKeysTheRunCreated) {
    const std::string existing = BASE + "\\Existing";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, existing.c_str(), &key), ERROR_SUCCESS);
    Set(key, nullptr, REG_SZ, std::string("default\0", 8));
    Set(key, "Text", REG_EXPAND_SZ, std::string("%WINDIR%\\x\0", 11));
    Set(key, "Number", REG_DWORD, std::string("\x07\x00\x00\x00", 4));
    Set(key, "Bytes", REG_BINARY, std::string("\x00\x01\xff", 3));
    const VALUES before = ValuesOf(existing);

    INSTALLJOURNAL journal("Q:\\journal-unused");
    journal.BeforeKey(HKEY_CURRENT_USER, existing.c_str());
    journal.BeforeKey(HKEY_CURRENT_USER, (BASE + "\\New\\Deeper").c_str());
    // What the run writes: another type and data for an earlier value, a new value, a new key path.
    Set(key, "Number", REG_SZ, std::string("seven\0", 6));
    Set(key, nullptr, REG_SZ, std::string("replaced\0", 9));
    Set(key, "Added", REG_SZ, std::string("new\0", 4));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (BASE + "\\New\\Deeper").c_str(), &key), ERROR_SUCCESS);
    Set(key, "Value", REG_SZ, std::string("v\0", 2));
    RegCloseKey(key);

    journal.Undo();
    EXPECT_EQ(ValuesOf(existing), before);
    EXPECT_FALSE(KeyExists(BASE + "\\New")) << "created by the run, with the key below it";
    EXPECT_TRUE(KeyExists(BASE)) << "it was there before";
}

TEST_F(FileJournal, CommitDeletesTheBackupsAndLeavesAnEarlierRunsBackupFolderAlone) {
    // A run that was killed left its backup folder, with the only copy of a file in it.
    fs::create_directories(Folder / ".setup-backup-1");
    std::ofstream(Folder / ".setup-backup-1" / "1", std::ios::binary) << "the only copy";
    Write("app.exe", "earlier");
    SetFileAttributesW((Folder / "app.exe").wstring().c_str(), FILE_ATTRIBUTE_READONLY);

    INSTALLJOURNAL journal(Folder.string().c_str());
    ASSERT_EQ(journal.BeforeFile("app.exe"), 0);
    EXPECT_TRUE(fs::exists(Folder / ".setup-backup-2" / "1")) << "the next free name";
    EXPECT_EQ(GetFileAttributesW((Folder / ".setup-backup-2").wstring().c_str()) & FILE_ATTRIBUTE_HIDDEN,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(fs::exists(Folder / "app.exe")) << "moved, not copied";
    Write("app.exe", "new");
    journal.Commit();

    EXPECT_EQ(Names(), (std::vector<std::string>{".setup-backup-1", ".setup-backup-1/1", "app.exe"}));
}

TEST_F(FileJournal, AFileThatCannotBeBackedUpIsRefusedWithTheReasonAndAskedAboutAgain) {
    Write("busy.dll", "earlier");
    HANDLE held = CreateFileW((Folder / "busy.dll").wstring().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    INSTALLJOURNAL journal(Folder.string().c_str());
    EXPECT_EQ(journal.BeforeFile("busy.dll"), ERROR_SHARING_VIOLATION);
    CloseHandle(held);
    // The user closed the program and tries again: now it is backed up, and the undo puts it back.
    ASSERT_EQ(journal.BeforeFile("busy.dll"), 0);
    Write("busy.dll", "new");
    journal.Undo();
    EXPECT_EQ(Names(), std::vector<std::string>{"busy.dll"});
    std::ifstream in(Folder / "busy.dll", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
}
