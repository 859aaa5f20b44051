// The sample hook library's contract, checked by loading it into this process as setup does: its exports,
// the record of each call and the configured ADMIN answer.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/common/hookcalls.h"

namespace {

using SETUPHOOKFN = int (*)(int, const char*);
using NEWSETUPHOOKFN = int (*)(int, int, intptr_t, intptr_t, intptr_t, intptr_t);

// A copy of one build of the library in a fresh folder, loaded; released and removed afterwards.
class LOADEDHOOK {
public:
    explicit LOADEDHOOK(const char* build, int adminanswer = -1) {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Folder = std::filesystem::temp_directory_path() /
                 ("hook_test_" + std::to_string(stamp) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(Folder);
        std::filesystem::copy_file(std::filesystem::path(ORVIK_HOOK_DIR) / build / "SETUPHOOK.dll", Path());
        if (adminanswer >= 0)
            std::ofstream(Folder / "SETUPHOOK.admin") << adminanswer;
        Module = LoadLibraryA(Path().c_str());
    }
    ~LOADEDHOOK() {
        Release();
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    LOADEDHOOK(const LOADEDHOOK&) = delete;
    LOADEDHOOK& operator=(const LOADEDHOOK&) = delete;

    std::string Path() const { return (Folder / "SETUPHOOK.dll").string(); }
    template <typename FN> FN Export(const char* name) const {
        return reinterpret_cast<FN>(reinterpret_cast<void*>(GetProcAddress(Module, name)));
    }
    void Release() {
        if (Module)
            FreeLibrary(Module);
        Module = nullptr;
    }

    std::filesystem::path Folder;
    HMODULE Module = nullptr;
};

std::vector<std::string> Line(const hookcalls::CALL& call) {
    std::vector<std::string> line{call.Entry};
    line.insert(line.end(), call.Fields.begin(), call.Fields.end());
    return line;
}

} // namespace

TEST(SetupHookSample, RecordsEveryCallWithItsArgumentsInOrder) {
    LOADEDHOOK hook("complete");
    ASSERT_NE(hook.Module, nullptr);
    const auto setuphook = hook.Export<SETUPHOOKFN>("SetupHook");
    const auto newsetuphook = hook.Export<NEWSETUPHOOKFN>("NewSetupHook");
    ASSERT_NE(setuphook, nullptr);
    ASSERT_NE(newsetuphook, nullptr);

    int table = 0;
    const intptr_t address = reinterpret_cast<intptr_t>(&table);
    EXPECT_EQ(setuphook(2, "C:\\Program Files\\Product"), 1);
    EXPECT_EQ(setuphook(4, nullptr), 1);
    EXPECT_EQ(newsetuphook(5, 3, 0x10, -1, 0, address), 1);
    hook.Release();

    const std::vector<hookcalls::CALL> calls = hookcalls::Read(hook.Path());
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(Line(calls[0]), std::vector<std::string>{"attach"});
    EXPECT_EQ(Line(calls[1]), (std::vector<std::string>{"SetupHook", "2", "C:\\Program Files\\Product"}));
    EXPECT_EQ(Line(calls[2]), (std::vector<std::string>{"SetupHook", "4", "<null>"}));
    char pointer[32];
    std::snprintf(pointer, sizeof pointer, "0x%016llx", static_cast<unsigned long long>(address));
    EXPECT_EQ(Line(calls[3]),
              (std::vector<std::string>{"NewSetupHook", "5", "3", "0x0000000000000010", "0xffffffffffffffff",
                                        "0x0000000000000000", pointer}));
    EXPECT_EQ(Line(calls[4]), (std::vector<std::string>{"detach", "FreeLibrary"}));
    EXPECT_EQ(hookcalls::HookCalls(hook.Path()).size(), 3u);
}

TEST(SetupHookSample, AdminAnswerComesFromTheFileBesideTheLibrary) {
    {
        LOADEDHOOK hook("complete");
        const auto setuphook = hook.Export<SETUPHOOKFN>("SetupHook");
        ASSERT_NE(setuphook, nullptr);
        EXPECT_EQ(setuphook(256, "ADDPRINTER"), 1) << "the answer without a configuration";
    }
    LOADEDHOOK hook("complete", 0);
    const auto setuphook = hook.Export<SETUPHOOKFN>("SetupHook");
    ASSERT_NE(setuphook, nullptr);
    EXPECT_EQ(setuphook(256, "ADDPRINTER"), 0);
    EXPECT_EQ(setuphook(1, nullptr), 1) << "only the ADMIN call is configured";
}

TEST(SetupHookSample, RecordFileNamedByTheEnvironment) {
    const std::filesystem::path record =
        std::filesystem::temp_directory_path() / ("hook_record_" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove(record);
    SetEnvironmentVariableA(hookcalls::kRecordVariable, record.string().c_str());
    {
        LOADEDHOOK hook("complete");
        const auto setuphook = hook.Export<SETUPHOOKFN>("SetupHook");
        ASSERT_NE(setuphook, nullptr);
        setuphook(8, "D:\\dest");
        EXPECT_FALSE(std::filesystem::exists(hookcalls::BesideLibrary(hook.Path(), ".calls")));
    }
    const std::vector<hookcalls::CALL> calls = hookcalls::Read(record.string());
    SetEnvironmentVariableA(hookcalls::kRecordVariable, nullptr);
    std::filesystem::remove(record);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(Line(calls[1]), (std::vector<std::string>{"SetupHook", "8", "D:\\dest"}));
}

TEST(SetupHookSample, PartialBuildsLackExactlyOneExport) {
    LOADEDHOOK withoutnew("without-newsetuphook");
    ASSERT_NE(withoutnew.Module, nullptr);
    EXPECT_NE(withoutnew.Export<SETUPHOOKFN>("SetupHook"), nullptr);
    EXPECT_EQ(withoutnew.Export<NEWSETUPHOOKFN>("NewSetupHook"), nullptr);

    LOADEDHOOK withoutsetup("without-setuphook");
    ASSERT_NE(withoutsetup.Module, nullptr);
    EXPECT_EQ(withoutsetup.Export<SETUPHOOKFN>("SetupHook"), nullptr);
    EXPECT_NE(withoutsetup.Export<NEWSETUPHOOKFN>("NewSetupHook"), nullptr);
}
