// The installation's own registry values: what is written stays written, and a value that cannot be
// written is named in the log with its key.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "setup/record/registryrecord.h"
#include "tests/common/test_support.h"

namespace {

constexpr const char* TestBase = "Software\\OrvikTest";

std::string ReadText(const std::string& subkey, const char* value) {
    char text[256] = {};
    DWORD size = sizeof(text) - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, (std::string(TestBase) + "\\" + subkey).c_str(), value, RRF_RT_REG_SZ,
                     nullptr, text, &size) != ERROR_SUCCESS)
        return "<absent>";
    return text;
}

} // namespace

TEST(RegistryRecord, WrittenValuesAreThereAndAFailedOneIsLoggedWithItsKey) {
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    LOGCAPTURE log(scratch.File("record.log"));
    {
        REGISTRY entry(REGISTRY::CurrentUser(), TestBase, "Record", REGISTRY::MODE_CREATE);
        EXPECT_TRUE(WriteRecordText(entry, "HKCU", "UninstallPath", "C:\\Apps\\Demo"));
        EXPECT_TRUE(WriteRecordText(entry, "HKCU", nullptr, "default text"));
        EXPECT_TRUE(WriteRecordNumber(entry, "HKCU", "NoModify", 1));
    }
    // Longer than a key name may be: the key cannot be created, so nothing can be written to it.
    const std::string impossible(300, 'k');
    REGISTRY missing(REGISTRY::CurrentUser(), TestBase, impossible.c_str(), REGISTRY::MODE_CREATE);
    EXPECT_FALSE(WriteRecordText(missing, "HKCU", "UninstallFiles", "a.txt"));
    EXPECT_FALSE(WriteRecordText(missing, "HKCU", nullptr, "b"));
    EXPECT_FALSE(WriteRecordNumber(missing, "HKCU", "EstimatedSize", 7));
    const std::string text = log.Finish();

    EXPECT_EQ(ReadText("Record", "UninstallPath"), "C:\\Apps\\Demo");
    EXPECT_EQ(ReadText("Record", nullptr), "default text");
    const std::string key = std::string("HKCU\\") + TestBase + "\\" + impossible;
    EXPECT_NE(text.find("SETUP::WriteRecord cannot write " + key + " value UninstallFiles\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("SETUP::WriteRecord cannot write " + key + " value <default>\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("SETUP::WriteRecord cannot write " + key + " value EstimatedSize\r\n"),
              std::string::npos);
    EXPECT_EQ(CountOccurrences(text, "SETUP::WriteRecord"), 3) << "only the failed writes are logged";
    RegDeleteTreeA(HKEY_CURRENT_USER, TestBase);
}
