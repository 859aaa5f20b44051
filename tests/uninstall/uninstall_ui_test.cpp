// The uninstall wizard driven by the UI robot, in German: an install folder with only one language library
// cannot be copied for a final pass, so the whole uninstall runs in the first process (local uninstall).
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "tests/common/wizard_helpers.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/uninstall_entry.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"
#include "tests/common/stubcalls.h"

using namespace uirobot;
using wizardui::PageItem;
using wizardui::Title;

namespace {

constexpr Milliseconds kTimeout{20000};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// The send button of the feedback page: the page's rule takes it away while there is no comment.
bool SendOffered(const Window& wizard) {
    for (const Window& control : wizard.children())
        if (control.id() == 110 && GetParent(control.handle()) != wizard.handle())
            return control.isVisible() && control.isEnabled();
    return false;
}

class LocalUninstall : public testing::Test {
protected:
    std::string German(int id) const { return LibraryString(Folder.File("setupgerman.dll"), id); }

    void Screenshot(const Window& window, const std::string& name) const {
        ScreenshotFolder folder(std::string(UNINSTALL_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        EXPECT_TRUE(std::filesystem::exists(folder.save(captureWindow(window), name)));
    }

    DisplayLock Display;
    SETUPFOLDER Folder{"setupgerman.dll"};
    UNINSTALLENTRY Entry{UniqueName("OrvikLocalUninstall")};
};

} // namespace

TEST_F(LocalUninstall, WithOneLanguageLibraryTheWizardRunsInTheFirstPassInGerman) {
    Folder.Write("product.txt", "installed");
    Folder.Write("mine.txt", "the user's");
    Entry.Set("UninstallPath", Folder.Path.string());
    Entry.Set("AppName", "Probe");
    Entry.Set("UninstallFiles", "product.txt|..\\outside.txt");
    const std::string title = Replaced(German(2901), "Orvik", "Probe");

    RobotProcess setup = RobotProcess::start(
        Folder.Program(), "/LANG:GER /LOGIT:" + Folder.File("run.log") + " -remove \"" + Entry.Name + "\"",
        Folder.Path.string());
    const MessageBoxWindow question = MessageBoxWindow::waitFor(WindowFinder(setup), title, kTimeout);
    Screenshot(question.window(), "1-frage");
    question.answer(IDYES);
    const MessageBoxWindow local = MessageBoxWindow::waitFor(WindowFinder(setup), "Uninst", kTimeout);
    EXPECT_EQ(local.message(), "Cannot copy to temp directory. Local uninstall.");
    local.answer(IDOK);

    const Window wizard = WindowFinder(setup).waitFor(WindowQuery::titled(title), kTimeout);
    wizardui::WaitForPage(wizard, German(2932), kTimeout);
    const Window comment = PageItem(wizard, 202);
    EXPECT_FALSE(SendOffered(wizard)) << "nothing to send without a comment";
    Edit(comment).type("Zu teuer");
    EXPECT_TRUE(waitUntil([&] { return SendOffered(wizard); })) << "a comment may be sent";
    Screenshot(wizard, "2-rueckmeldung");
    Button(wizard.child(149)).click();

    wizardui::WaitForPage(wizard, German(2934), kTimeout);
    Screenshot(wizard, "3-umfang");
    Button(wizard.child(148)).click(); // back to the feedback page and on again
    wizardui::WaitForPage(wizard, German(2932), kTimeout);
    Button(wizard.child(149)).click();
    wizardui::WaitForPage(wizard, German(2934), kTimeout);
    RadioButton(PageItem(wizard, 401)).select();
    Button(wizard.child(149)).click();

    ASSERT_TRUE(waitUntil([&] { return Title(wizard) == German(2938); }, kTimeout)) << Title(wizard);
    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).isEnabled(); }));
    Screenshot(wizard, "4-entfernt");
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(setup.exitCode(kTimeout), 0u);

    EXPECT_FALSE(std::filesystem::exists(Folder.Path / "product.txt"));
    EXPECT_EQ(Folder.Read("mine.txt"), "the user's");
    EXPECT_FALSE(Entry.KeyExists());
    const std::string log = Folder.Read("run.log");
    EXPECT_NE(log.find("refuses to delete '..\\outside.txt'"), std::string::npos) << log;
    EXPECT_NE(log.find("does not run from a final-pass folder: nothing scheduled"), std::string::npos);
}

// A product installed for a mobile device lies below the device manager's folder: the manager takes the
// removal options page's place (it runs, and everything is removed) without the page being shown.
TEST(DeviceManagerUninstall, TheManagerRunsInsteadOfTheOptionsPageAndEverythingGoes) {
    DisplayLock display;
    SETUPFOLDER folder{"setupenglish.dll"};
    SCRATCHFOLDER manager("devicemanager");
    std::filesystem::copy_file(std::string(ORVIK_STUBS_DIR) + "/CEAppMgr.exe", manager.File("CEAppMgr.exe"));
    manager.Write("Probe\\product.txt", "installed");
    const std::string appkey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAppMgr.exe";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, appkey.c_str(), &key), ERROR_SUCCESS);
    const std::string program = manager.File("CEAppMgr.exe");
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>(program.size() + 1));
    RegCloseKey(key);
    UNINSTALLENTRY entry(UniqueName("OrvikDeviceUninstall"));
    entry.Set("UninstallPath", manager.File("Probe"));
    entry.Set("AppName", "Probe");
    entry.Set("UninstallFiles", "product.txt");

    RobotProcess setup =
        RobotProcess::start(folder.Program(), "-remove \"" + entry.Name + "\"", folder.Path.string());
    const std::string title = "Probe Uninstall";
    MessageBoxWindow::waitFor(WindowFinder(setup), title, kTimeout).answer(IDYES);
    MessageBoxWindow::waitFor(WindowFinder(setup), "Uninst", kTimeout).answer(IDOK);
    const Window wizard = WindowFinder(setup).waitFor(WindowQuery::titled(title), kTimeout);
    Button(wizard.child(149)).click(); // the feedback page
    const std::string removed = LibraryString(folder.File("setupenglish.dll"), 2938);
    const bool done = waitUntil([&] { return Title(wizard) == removed; }, kTimeout);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, appkey.c_str());
    ASSERT_TRUE(done) << Title(wizard);
    EXPECT_EQ(PageItem(wizard, 202).text(), LibraryString(folder.File("setupenglish.dll"), 2939))
        << "all data";
    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).isEnabled(); }));
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(setup.exitCode(kTimeout), 0u);

    EXPECT_EQ(stubcalls::Arguments(program), (std::vector<std::vector<std::string>>{{}}))
        << "started once, without arguments";
    EXPECT_FALSE(std::filesystem::exists(manager.File("Probe"))) << "remove-all took the product's folder";
    EXPECT_FALSE(entry.KeyExists());
}

// The exit code tells a deployment tool what happened: a file that cannot be deleted (another program holds
// it open) leaves the removal incomplete, and leaving the wizard before the removal is a cancellation.
TEST_F(LocalUninstall, ExitCodesTellAnIncompleteRemovalAndACancelledOneApart) {
    Folder.Write("product.txt", "installed");
    Folder.Write("held.txt", "in use");
    Entry.Set("UninstallPath", Folder.Path.string());
    Entry.Set("AppName", "Probe");
    Entry.Set("UninstallFiles", "product.txt|held.txt");
    const std::string title = Replaced(German(2901), "Orvik", "Probe");
    const auto start = [&] {
        RobotProcess setup = RobotProcess::start(Folder.Program(), "/LANG:GER -remove \"" + Entry.Name + "\"",
                                                 Folder.Path.string());
        MessageBoxWindow::waitFor(WindowFinder(setup), title, kTimeout).answer(IDYES);
        MessageBoxWindow::waitFor(WindowFinder(setup), "Uninst", kTimeout).answer(IDOK);
        return setup;
    };

    {
        RobotProcess setup = start();
        const Window wizard = WindowFinder(setup).waitFor(WindowQuery::titled(title), kTimeout);
        wizardui::WaitForPage(wizard, German(2932), kTimeout);
        Button(wizard.child(IDCANCEL)).click();
        wizardui::BoxOverWizard(WindowFinder(setup), wizard, kTimeout).answer(IDNO);
        EXPECT_EQ(setup.exitCode(kTimeout), 7u) << "cancelled";
        EXPECT_TRUE(std::filesystem::exists(Folder.Path / "product.txt"));
        EXPECT_TRUE(Entry.KeyExists());
    }

    const HANDLE held = CreateFileA(Folder.File("held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RobotProcess setup = start();
    const Window wizard = WindowFinder(setup).waitFor(WindowQuery::titled(title), kTimeout);
    wizardui::WaitForPage(wizard, German(2932), kTimeout);
    Button(wizard.child(149)).click();
    wizardui::WaitForPage(wizard, German(2934), kTimeout);
    Button(wizard.child(149)).click();
    const bool removed = waitUntil([&] { return Title(wizard) == German(2938); }, kTimeout) &&
                         waitUntil([&] { return wizard.child(IDCANCEL).isEnabled(); });
    if (removed)
        Button(wizard.child(IDCANCEL)).click();
    const DWORD exitcode = setup.exitCode(kTimeout);
    CloseHandle(held);
    ASSERT_TRUE(removed) << Title(wizard);
    EXPECT_EQ(exitcode, 8u) << "removal incomplete";
    EXPECT_FALSE(std::filesystem::exists(Folder.Path / "product.txt"));
    EXPECT_TRUE(std::filesystem::exists(Folder.Path / "held.txt"));
}

// A hurried hand on the uninstall wizard: Cancel, Escape, Alt+F4 and the close box, each twice, ask once on
// the pages before the removal and quitting there leaves the product as it was; a double Next reaches each
// page once; while the removal runs (the service takes its time to stop) every way of cancelling is refused
// with a word on the page, and the removal goes on to its end.
TEST_F(LocalUninstall, EveryWayOfCancellingAsksOnceBeforeTheRemovalAndIsRefusedWithAWordDuringIt) {
    Folder.Write("product.txt", "installed");
    std::filesystem::copy_file(std::string(ORVIK_STUBS_DIR) + "/service.exe", Folder.File("service.exe"));
    Folder.Write("service.stopdelay", "3000");
    Entry.Set("UninstallPath", Folder.Path.string());
    Entry.Set("AppName", "Probe");
    Entry.Set("UninstallFiles", "product.txt");
    const std::string title = Replaced(German(2901), "Orvik", "Probe");
    const auto start = [&](const char* log) {
        RobotProcess setup = RobotProcess::start(Folder.Program(),
                                                 "/LANG:GER /NOASSERT /LOGIT:" + Folder.File(log) +
                                                     " -remove \"" + Entry.Name + "\"",
                                                 Folder.Path.string());
        MessageBoxWindow::waitFor(WindowFinder(setup), title, kTimeout).answer(IDYES);
        MessageBoxWindow::waitFor(WindowFinder(setup), "Uninst", kTimeout).answer(IDOK);
        return setup;
    };
    {
        RobotProcess setup = start("cancelled.log");
        const Window wizard = WindowFinder(setup).waitFor(WindowQuery::titled(title), kTimeout);
        for (int page : {2932, 2934}) {
            wizardui::WaitForPage(wizard, German(page), kTimeout);
            wizardui::CancelEveryWay(
                WindowFinder(setup), wizard, [](const MessageBoxWindow& question) { question.answer(IDYES); },
                kTimeout);
            wizardui::WaitForPage(wizard, German(page), kTimeout);
            if (page == 2932)
                wizardui::PressTwice(wizard.child(149));
        }
        Button(wizard.child(IDCANCEL)).click();
        wizardui::BoxOverWizard(WindowFinder(setup), wizard, kTimeout).answer(IDNO);
        EXPECT_EQ(setup.exitCode(kTimeout), 7u) << "cancelled before the removal";
        EXPECT_EQ(Folder.Read("product.txt"), "installed");
        EXPECT_TRUE(Entry.KeyExists());
        EXPECT_TRUE(stubcalls::Arguments(Folder.File("service.exe")).empty())
            << "the service was not touched";
    }

    RobotProcess setup = start("removed.log");
    const Window wizard = WindowFinder(setup).waitFor(WindowQuery::titled(title), kTimeout);
    wizardui::WaitForPage(wizard, German(2932), kTimeout);
    wizardui::PressTwice(wizard.child(149));
    wizardui::WaitForPage(wizard, German(2934), kTimeout);
    wizardui::PressTwice(wizard.child(149));
    wizardui::WaitForPage(wizard, German(2936), kTimeout);
    // Cancel itself is disabled while removing: a person cannot click it.
    pressEscape(wizard), pressAltF4(wizard), clickCloseBox(wizard);
    const auto note = [&] {
        for (const Window& control : wizard.children())
            if (control.id() == 203 && GetParent(control.handle()) != wizard.handle() && control.isVisible())
                return control.text();
        return std::string();
    };
    const bool refused = waitUntil([&] { return note() == German(3043); }, kTimeout);
    Screenshot(wizard, "entfernen-nicht-abbrechbar");
    EXPECT_TRUE(refused) << "no word on the page";
    EXPECT_EQ(wizardui::BoxCount(WindowFinder(setup), wizard), 0) << "no question: the removal goes on";
    ASSERT_TRUE(waitUntil([&] { return Title(wizard) == German(2938); }, kTimeout)) << Title(wizard);
    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).isEnabled(); }));
    EXPECT_EQ(note(), "") << "the word goes with the removal";
    wizardui::PressTwice(wizard.child(IDCANCEL));
    EXPECT_EQ(setup.exitCode(kTimeout), 0u);
    EXPECT_FALSE(std::filesystem::exists(Folder.Path / "product.txt"));
    EXPECT_FALSE(Entry.KeyExists());

    const std::string log = Folder.Read("removed.log");
    EXPECT_EQ(log.find("ASSERTION FAILED"), std::string::npos) << log;
    EXPECT_EQ(Folder.Read("cancelled.log").find("ASSERTION FAILED"), std::string::npos);
    for (const char* once : {"step 0 id 11 result 149", "step 1 id 12 result 149", "step 2 id 7 result 0"}) {
        const size_t at = log.find(once);
        EXPECT_TRUE(at != std::string::npos && log.find(once, at + 1) == std::string::npos) << once << log;
    }
}
