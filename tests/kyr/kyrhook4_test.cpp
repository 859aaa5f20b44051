// The version-4 product hook in this process, called as the install driver, the wizard and the copy step
// call it: the earlier installation comes from the registry, the question is answered by the robot, and the
// settings land in real folders.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/osys.h"
#include "setup/products/kyr/kyrsetuphook.h"
#include "tests/robot/uirobot.h"
#include "tests/kyr/kyr_files.h"
#include "tests/common/setup_folder.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int HOOK_COPY_END = 8;

// An earlier version-4 installation registered under "KYR4", a destination for the new one, and the
// language library the hook takes its texts from.
class KyrHook4 : public ::testing::Test {
protected:
    void SetUp() override {
        gResourceModule = gInstance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(InitApplication(Folder.Program().c_str(), "setup", "1.00", nullptr));
        Earlier = Folder.Path / "KYR4";
        Destination = Folder.Path / "New KYR";
        PutFile(Earlier / "OPTIONS" / "standard.cfg", "Path=\"old\"\n");
        PutFile(Earlier / "OPTIONS" / "colors" / "dark.tab", "dark");
        PutFile(Earlier / "SCRIPT" / "logon.rex", "say hi");
        PutFile(Earlier / "PHONEBK", "phone book");
        fs::create_directories(Destination);
        Register(Earlier.string());
        SetRexxGlobalScbs(1);
    }
    void TearDown() override {
        REGISTRY orvik(REGISTRY::CurrentUser(), "Software", "Orvik", REGISTRY::MODE_WRITE);
        orvik.DeleteKey("KYR4", true);
        if (gLanguageDllLoaded)
            FreeLibrary(static_cast<HMODULE>(gResourceModule));
        gLanguageDllLoaded = false;
        gResourceModule = gInstance;
    }

    static void Register(const std::string& home) {
        REGISTRY kyr4(REGISTRY::CurrentUser(), "Software\\Orvik", "KYR4", REGISTRY::MODE_CREATE);
        kyr4.Write("HomePath", home.c_str());
    }

    // Leaves the destination page (code 6, step 3) with destination in its field, on a thread that owns the
    // page as the wizard's thread does. The result is ready once the hook has returned.
    static std::future<void> LeaveDestinationPage(const std::string& destination) {
        return std::async(std::launch::async, [destination] {
            HWND page = CreateWindowExA(0, "STATIC", "KYR4 destination page", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                        200, nullptr, nullptr, nullptr, nullptr);
            CreateWindowExA(0, "EDIT", destination.c_str(), WS_CHILD, 0, 0, 200, 20, page,
                            reinterpret_cast<HMENU>(201), nullptr, nullptr);
            NewSetupHookKYR4(NEWHOOK_AFTER_PAGE, STEPDESTINATION, 0, reinterpret_cast<intptr_t>(page), 0, 0);
            DestroyWindow(page);
        });
    }

    // The question the hook asks, answered; its text must name the earlier folder.
    void AnswerQuestion(const char* answer) const {
        const std::string title = LibraryString(Folder.File("setupenglish.dll"), 2900);
        const uirobot::MessageBoxWindow box =
            uirobot::MessageBoxWindow::waitFor(uirobot::WindowFinder(GetCurrentProcessId()), title);
        EXPECT_NE(box.message().find(Earlier.string()), std::string::npos) << box.message();
        box.answer(answer);
    }

    // Whether the hook returned without asking; a question it asked by mistake is answered No.
    static bool ReturnsWithoutAsking(std::future<void>& left) {
        if (left.wait_for(5s) == std::future_status::ready)
            return true;
        HWND box = FindWindowA("#32770", nullptr);
        if (box)
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        left.wait();
        return false;
    }

    SETUPFOLDER Folder;
    fs::path Earlier, Destination;
};

} // namespace

TEST(KyrHookSelection, VersionFourBelowFourPointEight) {
    const INSTALLSTATE run;
    EXPECT_EQ(BuiltInProductHook(4.0, run), NewSetupHookKYR4);
    EXPECT_EQ(BuiltInProductHook(4.79, run), NewSetupHookKYR4);
    EXPECT_NE(BuiltInProductHook(4.8, run), NewSetupHookKYR4);
    EXPECT_NE(BuiltInProductHook(6.0, run), NewSetupHookKYR4);
    ReleaseBuiltInProductHooks();
}

TEST_F(KyrHook4, YesCopiesTheEarlierSettingsAfterTheCopyStep) {
    NewSetupHookKYR4(1, LANG_ID_ENGLISH, 0, 0, 0, 0);
    auto left = LeaveDestinationPage(Destination.string());
    AnswerQuestion("Yes");
    left.get();
    EXPECT_FALSE(fs::exists(Destination / "OPTIONS")) << "nothing is copied before the copy step";

    NewSetupHookKYR4(HOOK_COPY_END, 0, 0, 0, 0, 0);
    EXPECT_EQ(FileText(Destination / "OPTIONS" / "standard.cfg"), "Path=\"old\"\n");
    EXPECT_EQ(FileText(Destination / "OPTIONS" / "colors" / "dark.tab"), "dark");
    EXPECT_EQ(FileText(Destination / "SCRIPT" / "logon.rex"), "say hi");
    EXPECT_EQ(FileText(Destination / "PHONEBK"), "phone book");
    EXPECT_EQ(RexxGlobalScbs(), 0u);
}

TEST_F(KyrHook4, NoCopiesNothingButStillSwitchesTheRexxOptionOff) {
    NewSetupHookKYR4(1, LANG_ID_ENGLISH, 0, 0, 0, 0);
    auto left = LeaveDestinationPage(Destination.string());
    AnswerQuestion("No");
    left.get();
    NewSetupHookKYR4(HOOK_COPY_END, 0, 0, 0, 0, 0);
    EXPECT_TRUE(fs::is_empty(Destination));
    EXPECT_EQ(RexxGlobalScbs(), 0u);
}

TEST_F(KyrHook4, NoQuestionWhenThereIsNothingToTakeOver) {
    struct {
        const char* Why;
        std::function<std::string()> Prepare; // returns the destination typed into the page
    } cases[] = {
        {"the destination holds the product",
         [this] {
             PutFile(Destination / "kyr.exe", "x");
             return Destination.string();
         }},
        {"the destination holds a phone book",
         [this] {
             PutFile(Destination / "phonebk", "x");
             return Destination.string();
         }},
        {"the destination is the earlier folder", [this] { return Earlier.string() + "\\"; }},
        {"the earlier folder is gone",
         [this] {
             Register((Folder.Path / "gone").string());
             return Destination.string();
         }},
        {"the destination field is empty", [] { return std::string(); }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Why);
        const std::string destination = c.Prepare();
        NewSetupHookKYR4(1, LANG_ID_ENGLISH, 0, 0, 0, 0);
        auto left = LeaveDestinationPage(destination);
        EXPECT_TRUE(ReturnsWithoutAsking(left));
        NewSetupHookKYR4(HOOK_COPY_END, 0, 0, 0, 0, 0);
        EXPECT_FALSE(fs::exists(Destination / "OPTIONS"));
        fs::remove(Destination / "kyr.exe");
        fs::remove(Destination / "phonebk");
        Register(Earlier.string());
    }
}

TEST_F(KyrHook4, ATreeIsNeverCopiedIntoItself) {
    // A destination inside the earlier "OPTIONS": its copy would take in its own output.
    const fs::path inside = Earlier / "OPTIONS" / "New KYR";
    fs::create_directories(inside);
    NewSetupHookKYR4(1, LANG_ID_ENGLISH, 0, 0, 0, 0);
    auto left = LeaveDestinationPage(inside.string());
    AnswerQuestion("Yes");
    left.get();
    NewSetupHookKYR4(HOOK_COPY_END, 0, 0, 0, 0, 0);
    EXPECT_FALSE(fs::exists(inside / "OPTIONS"));
    EXPECT_EQ(FileText(inside / "SCRIPT" / "logon.rex"), "say hi") << "the other tree is still copied";
    EXPECT_EQ(FileText(inside / "PHONEBK"), "phone book");
}
