// The stand-ins started as setup starts them: what they record and the exit codes they give.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/common/stubcalls.h"

namespace {

namespace fs = std::filesystem;
using ARGS = std::vector<std::vector<std::string>>;

// A fresh folder with a copy of one stand-in, removed afterwards.
class StubFolder : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        Folder = fs::temp_directory_path() /
                 (std::string("stub_test_") + info->name() + "_" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(Folder);
        fs::create_directories(Folder / "work dir");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }

    std::string Install(const char* program) {
        fs::copy_file(fs::path(ORVIK_STUBS_DIR) / program, Folder / program);
        return (Folder / program).string();
    }

    // Starts program with arguments in "work dir", waits for it and returns its exit code.
    DWORD Run(const std::string& program, const std::string& arguments) {
        std::string commandline = "\"" + program + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        const std::string directory = (Folder / "work dir").string();
        if (!CreateProcessA(nullptr, commandline.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            directory.c_str(), &startup, &process)) {
            ADD_FAILURE() << "cannot start " << commandline;
            return ~0u;
        }
        WaitForSingleObject(process.hProcess, 30000);
        DWORD code = ~0u;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }

    fs::path Folder;
};

using ServiceStub = StubFolder;
using DeviceManagerStub = StubFolder;

} // namespace

TEST_F(ServiceStub, RecordsEachStartWithItsWorkingDirectoryAndStopsWithZero) {
    const std::string service = Install("service.exe");
    EXPECT_EQ(Run(service, "/STOP"), 0u);
    EXPECT_EQ(Run(service, "/START"), 0u);
    EXPECT_EQ(Run(service, "/STOP /UNINSTALL"), 0u);

    EXPECT_EQ(stubcalls::Arguments(service), (ARGS{{"/STOP"}, {"/START"}, {"/STOP", "/UNINSTALL"}}));
    const std::vector<stubcalls::CALL> calls = stubcalls::Read(service);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(fs::equivalent(calls[0].WorkingDirectory, Folder / "work dir")) << calls[0].WorkingDirectory;
}

TEST_F(ServiceStub, AnswersStopWithTheConfiguredExitCodeButStartWithZero) {
    const std::string service = Install("service.exe");
    std::ofstream(Folder / "service.stopcode") << 3;
    EXPECT_EQ(Run(service, "/stop"), 3u);
    EXPECT_EQ(Run(service, "/START"), 0u);
    EXPECT_EQ(stubcalls::Arguments(service), (ARGS{{"/stop"}, {"/START"}}));
}

TEST_F(DeviceManagerStub, RecordsItsArgumentsAndEndsWithTheConfiguredCode) {
    const std::string manager = Install("CEAppMgr.exe");
    EXPECT_EQ(Run(manager, "\"C:\\Program Files\\Product\\pcinstall.ini\""), 0u);
    EXPECT_EQ(Run(manager, ""), 0u);
    std::ofstream(Folder / "CEAppMgr.exitcode") << 7;
    EXPECT_EQ(Run(manager, "again"), 7u);
    EXPECT_EQ(stubcalls::Arguments(manager),
              (ARGS{{"C:\\Program Files\\Product\\pcinstall.ini"}, {}, {"again"}}));
}

TEST(StubCalls, ANeverStartedProgramHasNoCalls) {
    EXPECT_TRUE(stubcalls::Read("Z:\\no\\such\\folder\\service.exe").empty());
    EXPECT_EQ(stubcalls::CallsFile("C:\\a.b\\service.exe"), "C:\\a.b\\service.calls");
    EXPECT_EQ(stubcalls::CallsFile("C:\\a.b\\service"), "C:\\a.b\\service.calls");
}
