// The Windows side of the application root inside this process: the language library InitApplication loads
// and the WINORVIK message boxes, found on the screen by the robot, read and answered like a person does.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/orvik.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

namespace {

std::string ModuleFileName(void* module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(static_cast<HMODULE>(module), path, sizeof path);
    return path;
}

// Leaves the language library state as the test found it.
class LanguageLibrary : public ::testing::Test {
protected:
    void SetUp() override { gResourceModule = gInstance = GetModuleHandleA(nullptr); }
    void TearDown() override {
        if (gLanguageDllLoaded)
            FreeLibrary(static_cast<HMODULE>(gResourceModule));
        gLanguageDllLoaded = false;
        gResourceModule = gInstance;
        gLocale = LANG_ID_ENGLISH;
    }
};

uirobot::MessageBoxWindow WaitForBox(const std::string& title) {
    return uirobot::MessageBoxWindow::waitFor(uirobot::WindowFinder(GetCurrentProcessId()), title);
}

} // namespace

TEST_F(LanguageLibrary, LoadsTheLibraryOfTheChosenLanguage) {
    SETUPFOLDER folder;
    gLocale = LANG_ID_GERMAN;
    EXPECT_TRUE(InitApplication(folder.Program().c_str(), "setup", "1.00", nullptr));
    EXPECT_TRUE(gLanguageDllLoaded);
    EXPECT_EQ(ModuleFileName(gResourceModule), folder.File("setupgerman.dll"));
    EXPECT_EQ(gLocale, LANG_ID_GERMAN);
    EXPECT_EQ(gAppName, "Setup");
    EXPECT_EQ(gAppVersion, "1.00");

    // A second call replaces the library instead of leaking the first one.
    HMODULE german = static_cast<HMODULE>(gResourceModule);
    gLocale = LANG_ID_ENGLISH;
    EXPECT_TRUE(InitApplication(folder.Program().c_str(), "setup", "2.00", "demo"));
    EXPECT_EQ(ModuleFileName(gResourceModule), folder.File("setupenglish.dll"));
    EXPECT_EQ(GetModuleFileNameA(german, nullptr, 0), 0u) << "the German library is still loaded";
    EXPECT_EQ(gAppName, "Demo");
}

TEST_F(LanguageLibrary, FallsBackToEnglish) {
    SETUPFOLDER folder({"setupenglish.dll"});
    for (int language : {LANG_ID_FRENCH, LANG_ID_GERMAN, LANG_ID_HUNGARIAN}) {
        gLocale = language;
        EXPECT_TRUE(InitApplication(folder.Program().c_str(), "setup", "1.00", nullptr));
        EXPECT_EQ(ModuleFileName(gResourceModule), folder.File("setupenglish.dll"));
        EXPECT_EQ(gLocale, LANG_ID_ENGLISH);
    }
}

TEST(WinOrvik, ErrorBoxShowsTheReflowedTextAndReturnsAfterOk) {
    auto shown = std::async(std::launch::async, [] {
        return WINORVIK::ErrorMsgBox(nullptr, "Approot error test", "First line\r\nsecond line\r\n\r\nthird line");
    });
    const uirobot::MessageBoxWindow box = WaitForBox("Approot error test");
    EXPECT_EQ(box.message(), "First line second line\r\rthird line");
    EXPECT_EQ(box.buttons(), std::vector<std::string>{"OK"});
    box.answer("OK");
    EXPECT_TRUE(shown.get());
}

TEST(WinOrvik, YesNoBoxAnswersWhatTheUserChose) {
    for (const char* answer : {"Yes", "No"}) {
        auto chosen = std::async(std::launch::async,
                                 [] { return WINORVIK::YesNoMsgBox(nullptr, "Approot question test", "Continue?"); });
        const uirobot::MessageBoxWindow box = WaitForBox("Approot question test");
        EXPECT_EQ(box.message(), "Continue?");
        EXPECT_EQ(box.buttons(), (std::vector<std::string>{"Yes", "No"}));
        box.answer(answer);
        EXPECT_EQ(chosen.get(), std::string(answer) == "Yes") << answer;
    }
}

TEST(WinOrvik, InfoBoxIsLogged) {
    SETUPFOLDER folder({});
    ASSERT_TRUE(LogitOption(("/LOGIT:" + folder.File("box.log")).c_str()));
    auto shown = std::async(std::launch::async,
                            [] { return WINORVIK::InfoMsgBox(nullptr, "Approot info test", "All done.\n"); });
    const uirobot::MessageBoxWindow box = WaitForBox("Approot info test");
    EXPECT_EQ(box.message(), "All done.\r");
    box.answer("OK");
    EXPECT_TRUE(shown.get());
    LogitOption("/LOGITCLOSE");
    EXPECT_NE(folder.Read("box.log").find("WINORVIK::InfoMsgBox title=Approot info test text=All done.\n"),
              std::string::npos);
}

TEST_F(LanguageLibrary, BoxWithoutTitleTakesTheLibrarysDefaultTitle) {
    SETUPFOLDER folder;
    ASSERT_TRUE(InitApplication(folder.Program().c_str(), "setup", "1.00", nullptr));
    const std::string title = LibraryString(folder.File("setupenglish.dll"), 10001);
    ASSERT_FALSE(title.empty());

    auto shown = std::async(std::launch::async, [] { return WINORVIK::ErrorMsgBox(nullptr, nullptr, "No title"); });
    const uirobot::MessageBoxWindow box = WaitForBox(title);
    EXPECT_EQ(box.message(), "No title");
    box.answer("OK");
    EXPECT_TRUE(shown.get());
}

TEST(WinOrvik, OwnerIsTheTopLevelWindowOfTheGivenControl) {
    std::promise<HWND> toplevel;
    auto owned = toplevel.get_future();
    // The windows and the box belong to one thread, as in the wizard.
    std::thread ui([&toplevel] {
        HWND frame = CreateWindowExA(0, "STATIC", "Approot owner frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                     300, 200, nullptr, nullptr, nullptr, nullptr);
        HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, frame, nullptr,
                                     nullptr, nullptr);
        HWND label = CreateWindowExA(0, "STATIC", "label", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, panel, nullptr,
                                     nullptr, nullptr);
        toplevel.set_value(frame);
        WINORVIK::InfoMsgBox(label, "Approot owner test", "Owned");
        DestroyWindow(frame);
    });
    const HWND frame = owned.get();
    const uirobot::MessageBoxWindow box = WaitForBox("Approot owner test");
    EXPECT_EQ(GetWindow(box.window().handle(), GW_OWNER), frame);
    box.answer("OK");
    ui.join();
}
