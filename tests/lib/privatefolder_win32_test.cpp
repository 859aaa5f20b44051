#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lib/privatefolder.h"
#include "tests/common/test_support.h"

namespace {

std::string CurrentUserSidText() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return "?";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    char* text = nullptr;
    std::string result = "?";
    if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        result = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return result;
}

// The access list as the system reads it back from the folder; null when it keeps none of its own (Wine
// makes one up from the file's mode).
std::string FolderAccessText(const STRING& folder) {
    DWORD needed = 0;
    GetFileSecurityA(folder.Text(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    char* text = nullptr;
    if (needed == 0 ||
        !GetFileSecurityA(folder.Text(), DACL_SECURITY_INFORMATION, buffer.data(), needed, &needed) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(buffer.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr))
        return "";
    const std::string result = text;
    LocalFree(text);
    return result;
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

// Protected (nothing inherited from TEMP), full control for the user, the Administrators and SYSTEM, passed
// on to what is made inside; nobody else.
TEST(PrivateFolder, OnlyTheUserTheAdministratorsAndSystemMayWrite) {
    const std::string expected =
        "D:P(A;OICI;FA;;;" + CurrentUserSidText() + ")(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
    EXPECT_EQ(expected, PrivateFolderAccessText().Text());

    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    const STRING folder = CreatePrivateFolder(STRING(std::filesystem::current_path().string().c_str()), "P-");
    ASSERT_TRUE(folder.NotEmpty());
    if (!RunningUnderWine()) {
        EXPECT_EQ(expected, FolderAccessText(folder)) << "the folder's own list";
    }
    RemoveDirectoryA(folder.Text());
}

// Each call makes a folder of its own below the parent; a parent that is not there gives none.
TEST(PrivateFolder, NewEachTimeAndNoneWithoutParent) {
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    const std::string parent = std::filesystem::current_path().string();
    const STRING first = CreatePrivateFolder(STRING(parent.c_str()), "P-");
    const STRING second = CreatePrivateFolder(STRING((parent + "\\").c_str()), "P-");
    ASSERT_TRUE(first.NotEmpty());
    ASSERT_TRUE(second.NotEmpty());
    EXPECT_NE(first, second);
    EXPECT_EQ(std::filesystem::path(first.Text()).parent_path(), std::filesystem::path(parent));
    EXPECT_EQ(0u, std::filesystem::path(second.Text()).filename().string().rfind("P-", 0));
    EXPECT_TRUE(std::filesystem::is_empty(first.Text()));
    EXPECT_FALSE(CreatePrivateFolder(STRING((parent + "\\missing").c_str()), "P-").NotNull());
    RemoveDirectoryA(first.Text());
    RemoveDirectoryA(second.Text());
}
