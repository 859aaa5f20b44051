// Every shell folder GetSystemPath knows is the folder the shell itself reports for it.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "lib/osys.h"
#include "tests/common/test_support.h"

namespace {

// The shell's own answer for a folder, with the trailing separator GetSystemPath gives.
std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return "<none>";
    return std::string(path) + "\\";
}

// The shell compares folder names without regard to case.
std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(SystemPath, EveryTypeIsTheFolderTheShellReports) {
    const struct {
        OSYS::SYSTEMPATH Type;
        int Csidl;
    } cases[] = {
        {OSYS::SYSTEMPATH_PROGRAMS, CSIDL_PROGRAMS},
        {OSYS::SYSTEMPATH_STARTUP, CSIDL_STARTUP},
        {OSYS::SYSTEMPATH_PROGRAMFILES, CSIDL_PROGRAM_FILES},
        {OSYS::SYSTEMPATH_APPDATA, CSIDL_APPDATA},
        {OSYS::SYSTEMPATH_DOCUMENTS, CSIDL_PERSONAL},
        {OSYS::SYSTEMPATH_DOCUMENTS_14, CSIDL_PERSONAL},
        {OSYS::SYSTEMPATH_DOCUMENTS_18, CSIDL_PERSONAL},
        {OSYS::SYSTEMPATH_PICTURES, CSIDL_MYPICTURES},
        {OSYS::SYSTEMPATH_DESKTOP, CSIDL_DESKTOPDIRECTORY},
        {OSYS::SYSTEMPATH_SENDTO, CSIDL_SENDTO},
        {OSYS::SYSTEMPATH_COMMON_PROGRAMS, CSIDL_COMMON_PROGRAMS},
        {OSYS::SYSTEMPATH_COMMON_STARTUP, CSIDL_COMMON_STARTUP},
        {OSYS::SYSTEMPATH_COMMON_DOCUMENTS, CSIDL_COMMON_DOCUMENTS},
        {OSYS::SYSTEMPATH_COMMON_APPDATA, CSIDL_COMMON_APPDATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Type));
        ASSERTWATCH watch;
        const STRING path = OSYS::GetSystemPath(c.Type);
        ASSERT_TRUE(path.NotEmpty());
        EXPECT_EQ(Lower(ShellFolder(c.Csidl)), Lower(path.Text()));
        EXPECT_EQ(0u, watch.Failures());
    }
    // The user's folders and all users' are told apart.
    EXPECT_NE(Lower(OSYS::GetSystemPath(OSYS::SYSTEMPATH_PROGRAMS).Text()),
              Lower(OSYS::GetSystemPath(OSYS::SYSTEMPATH_COMMON_PROGRAMS).Text()));
}

TEST(SystemPath, NumbersOutsideTheTableGiveNullAndReportIt) {
    for (int type : {-1, 3, 4, 15, 16, 17, 19, 100}) {
        SCOPED_TRACE(type);
        ASSERTWATCH watch;
        EXPECT_FALSE(OSYS::GetSystemPath(type).NotNull());
        EXPECT_EQ(1u, watch.Failures());
        EXPECT_EQ("FALSE", watch.LastCondition());
    }
}

} // namespace
