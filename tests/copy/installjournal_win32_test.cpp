// The journal's registry side, which a failing copy page never reaches (its keys are written after the
// files): earlier values come back with their types, keys the run created go.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "setup/installjournal.h"

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
