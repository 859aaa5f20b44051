// The journal's registry side, which a failing copy page never reaches (its keys are written after the
// files): earlier values come back with their types, keys the run created go.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "setup/record/installjournal.h"
#include "setup/record/recovery.h"

namespace {

using VALUES = std::vector<std::tuple<std::string, DWORD, std::string>>;

const std::string BASE = "Software\\OrvikJournalTest" + std::to_string(GetCurrentProcessId());

VALUES ValuesOf(const std::string& path) {
    VALUES values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {{"<no key>", 0, ""}};
    char name[256];
    BYTE data[512];
    DWORD namelength = sizeof name, datalength = sizeof data, type = 0;
    for (DWORD i = 0;
         RegEnumValueA(key, i, name, &namelength, nullptr, &type, data, &datalength) == ERROR_SUCCESS;
         ++i, namelength = sizeof name, datalength = sizeof data)
        values.emplace_back(name, type, std::string(reinterpret_cast<char*>(data), datalength));
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    return values;
}

void Set(const std::string& path, const char* name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, path.c_str(), name, type, data.data(),
                              static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

} // namespace

TEST(InstallJournalRegistry, UndoRestoresEarlierValuesWithTheirTypesAndRemovesTheKeysTheRunCreated) {
    const std::string existing = BASE + "\\Existing";
    Set(existing, nullptr, REG_SZ, std::string("default\0", 8));
    Set(existing, "Text", REG_EXPAND_SZ, std::string("%WINDIR%\\x\0", 11));
    Set(existing, "Number", REG_DWORD, std::string("\x07\x00\x00\x00", 4));
    Set(existing, "Bytes", REG_BINARY, std::string("\x00\x01\xff", 3));
    const VALUES before = ValuesOf(existing);

    INSTALLJOURNAL journal("Q:\\journal-unused");
    journal.BeforeKey(HKEY_CURRENT_USER, existing.c_str());
    journal.BeforeKey(HKEY_CURRENT_USER, (BASE + "\\New\\Deeper").c_str());
    // What the run writes: another type and data for an earlier value, a new value, a new key path.
    Set(existing, "Number", REG_SZ, std::string("seven\0", 6));
    Set(existing, nullptr, REG_SZ, std::string("replaced\0", 9));
    Set(existing, "Added", REG_SZ, std::string("new\0", 4));
    Set(BASE + "\\New\\Deeper", "Value", REG_SZ, std::string("v\0", 2));

    journal.Undo();
    EXPECT_EQ(ValuesOf(existing), before);
    EXPECT_EQ(ValuesOf(BASE + "\\New"), (VALUES{{"<no key>", 0, ""}})) << "made by the run, with its subkey";
    RegDeleteTreeA(HKEY_CURRENT_USER, BASE.c_str());
}

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

const char* const SESSION_MANAGER = "System\\CurrentControlSet\\Control\\Session Manager";

// The pending renames of the next restart, as MoveFileEx records them: source and target of each, one
// after the other ("" as the target of a deletion, "!" before the target of a replacing rename).
std::vector<std::string> PendingRenames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> data(1 << 16);
    DWORD length = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &length) == ERROR_SUCCESS) {
        size_t end = length / sizeof(wchar_t);
        if (end >= 2 && data[end - 1] == 0 && data[end - 2] == 0)
            --end; // the list's own closing zero
        for (size_t at = 0; at < end;) {
            const std::wstring name(data.data() + at);
            names.emplace_back(name.begin(), name.end()); // the test's names are ASCII
            at += name.size() + 1;
        }
    }
    RegCloseKey(key);
    return names;
}

// An interrupted update of a product in its folder on the scratch drive: app.exe replaced, new.txt added,
// and then the process ended (the journal object goes without Undo or Commit).
class InterruptedJournal : public testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(Root);
        fs::create_directories(Destination);
        WriteAll(Destination / "app.exe", "earlier app");
        INSTALLJOURNAL journal(Destination.string().c_str(), "OrvikJournalProduct");
        ASSERT_TRUE(journal.Begin());
        ASSERT_EQ(journal.BeforeFile("app.exe"), 0);
        WriteAll(Destination / "app.exe.setup-part", "new app");
        ASSERT_TRUE(MoveFileExA((Destination / "app.exe.setup-part").string().c_str(),
                                (Destination / "app.exe").string().c_str(), MOVEFILE_REPLACE_EXISTING));
        ASSERT_EQ(journal.BeforeFile("new/new.txt"), 0);
        fs::create_directories(Destination / "new");
        WriteAll(Destination / "new" / "new.txt", "added");
    }
    void TearDown() override { fs::remove_all(Root); }

    const fs::path Root = "Q:\\journal-" + std::to_string(GetCurrentProcessId());
    const fs::path Destination = Root / "Product";
};

} // namespace

TEST_F(InterruptedJournal, OnlyTheSameProductInTheSameFolderIsRecovered) {
    EXPECT_EQ(RecoverInterruptedRuns(Destination.string().c_str(), "OrvikOtherProduct"), 0);
    // The folder moved elsewhere: its journal names another destination.
    fs::rename(Destination, Root / "Moved");
    EXPECT_EQ(RecoverInterruptedRuns((Root / "Moved").string().c_str(), "OrvikJournalProduct"), 0);
    EXPECT_EQ(ReadAll(Root / "Moved" / "app.exe"), "new app");
    fs::rename(Root / "Moved", Destination);

    EXPECT_EQ(RecoverInterruptedRuns(Destination.string().c_str(), "orvikjournalproduct"), 1);
    EXPECT_EQ(ReadAll(Destination / "app.exe"), "earlier app");
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(Destination))
        left.push_back(fs::relative(entry.path(), Destination).generic_string());
    EXPECT_EQ(left, std::vector<std::string>{"app.exe"}) << "no new file, folder, backup or journal";
    EXPECT_EQ(RecoverInterruptedRuns(Destination.string().c_str(), "OrvikJournalProduct"), 0);
}

TEST_F(InterruptedJournal, AFileHeldOpenIsPutBackAtTheNextRestart) {
    const std::vector<std::string> before = PendingRenames();
    HANDLE held = CreateFileA((Destination / "app.exe").string().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RecoverInterruptedRuns(Destination.string().c_str(), "OrvikJournalProduct"), 1);
    CloseHandle(held);

    EXPECT_FALSE(fs::exists(Destination / "new")) << "what was not held is undone now";
    EXPECT_EQ(ReadAll(Destination / "app.exe"), "new app") << "held: replaced only at the restart";
    const std::vector<std::string> after = PendingRenames();
    ASSERT_GE(after.size(), before.size());
    const std::vector<std::string> added(after.begin() + static_cast<std::ptrdiff_t>(before.size()),
                                         after.end());
    const std::string backups = (Destination / ".setup-backup-1").string();
    ASSERT_EQ(added.size(), 4u);
    EXPECT_NE(added[0].find(backups + "\\1"), std::string::npos) << added[0];
    EXPECT_EQ(added[1].substr(0, 1), "!") << "replacing";
    EXPECT_NE(added[1].find((Destination / "app.exe").string()), std::string::npos) << added[1];
    EXPECT_NE(added[2].find(backups), std::string::npos) << "then the emptied backup folder goes";
    EXPECT_EQ(added[3], "");
    EXPECT_FALSE(fs::exists(Destination / ".setup-backup-1" / "setup.journal")) << "nothing left to redo";
}
