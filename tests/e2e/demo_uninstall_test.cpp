// DemoPad uninstalled the way Windows does it: the uninstall entry's command line run from the installation
// folder. The robot answers the first pass's question, finds the final pass (a new setup.exe in a folder of
// its own below TEMP) and walks its wizard: feedback, removal options, removal. Afterwards the machine is
// inspected: what the entry recorded is gone, what the user made or the package protects is kept (program
// only) or gone (all data), and the copies of the final pass wait for the next restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/demo_session.h"
#include "tests/e2e/installed_system.h"
#include "tests/common/hookcalls.h"
#include "tests/common/mailbox.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"
#include "tests/common/stubcalls.h"

using namespace uirobot;
using namespace e2e;

namespace {

constexpr int kFeedbackTitle = 2932, kOptionsTitle = 2934, kRemovingTitle = 2936, kRemovedTitle = 2938;

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

std::string Words(const std::string& text) {
    std::string words;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\r' || c == '\n' || c == '\t';
        if (!blank)
            words += c;
    }
    return words;
}

class DemoUninstallation : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : std::filesystem::directory_iterator(DEMO_PACKAGE_DIR))
            std::filesystem::copy_file(file.path(), Package.Path / file.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        Destination = DemoPadFolder();
        StartMenu = ShellFolder(CSIDL_PROGRAMS) + "\\" + kStartmenuName;
        Desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
        // scripts/demo.sh uninstalls the DemoPad it has just installed, and shows what is left afterwards.
        DemoMode = std::getenv("ORVIK_DEMO_FOLDER") != nullptr;
        if (DemoMode && RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey))
            return;
        RemoveDemoPad();
        InstallWithDefaults(Package.Path.string());
    }
    void TearDown() override {
        // A final pass that a failed test left running would hold the product's uninstall mutex.
        for (const Window& window : windowsTitled(UninstallTitle())) {
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, window.processId())) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
        CloseFolderWindows();
        if (!DemoMode)
            RemoveDemoPad();
    }

    void Screenshot(const Window& window, const std::string& name) const {
        ScreenshotFolder folder(std::string(E2E_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        const std::string file = folder.save(captureWindow(window), name);
        EXPECT_TRUE(Exists(file)) << file;
    }

    // The uninstall entry's command line, split into the program and its arguments.
    RobotProcess StartUninstallEntry() const {
        const std::string command = RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
        EXPECT_EQ(command.front(), '"') << command;
        const size_t end = command.find('"', 1);
        return RobotProcess::start(command.substr(1, end - 1), command.substr(end + 2), Destination);
    }

    // A window of any process titled title, other than except.
    static Window WaitForWindow(const std::string& title, const Window& except = Window()) {
        return waitForWindowTitled(title, except, kPageTimeout);
    }

    // First pass: the question, answered Yes; it ends by itself once the final pass runs.
    Window ConfirmAndFindFinalPass(bool screenshots) const {
        RobotProcess firstpass = StartUninstallEntry();
        const MessageBoxWindow question =
            MessageBoxWindow::waitFor(WindowFinder(firstpass), UninstallTitle(), kPageTimeout);
        EXPECT_EQ(Words(question.message()), Words(Replaced(Msg(2989), "$PROGRAM", kAppName)));
        if (screenshots)
            Screenshot(question.window(), "01-question");
        question.answer("Yes");
        EXPECT_EQ(firstpass.exitCode(kPageTimeout), 0u);
        const Window wizard = WaitForWindow(UninstallTitle());
        EXPECT_NE(wizard.processId(), firstpass.id()) << "the wizard belongs to the final pass";
        return wizard;
    }

    std::string UninstallTitle() const { return Replaced(Msg(2901), "Orvik", kAppName); }

    // Feedback, options (program only or all), removal, finish; returns when the final pass has ended.
    void WalkWizard(const Window& wizard, bool removeall, bool screenshots) const {
        HANDLE finalpass = OpenProcess(SYNCHRONIZE, FALSE, wizard.processId());
        WaitForPage(wizard, kFeedbackTitle);
        EXPECT_THROW(PageItem(wizard, 110), RobotError) << "no send button without a comment";
        EXPECT_NE(sendMessage(wizard.child(916), STM_GETICON), 0) << "the header shows setup's icon 2";
        if (screenshots)
            Screenshot(wizard, "02-feedback");
        Next(wizard);

        WaitForPage(wizard, kOptionsTitle);
        EXPECT_TRUE(RadioButton(PageItem(wizard, 401)).isSelected()) << "program only is proposed";
        RadioButton(PageItem(wizard, removeall ? 402 : 401)).select();
        if (screenshots)
            Screenshot(wizard, removeall ? "03-options-all" : "03-options-program");
        Next(wizard);
        if (removeall) {
            const Window box = WaitForWindow(UninstallTitle(), wizard);
            const MessageBoxWindow warning(box);
            EXPECT_EQ(
                Words(warning.message()),
                Words(Replaced(Replaced(Msg(3008) + Msg(3009), "$PROGRAM", kAppName), "$DIR", Destination)));
            if (screenshots)
                Screenshot(box, "04-remove-all-warning");
            warning.answer("Yes");
        }

        ASSERT_TRUE(waitUntil([&] { return Title(wizard) == Msg(kRemovedTitle); }, kPageTimeout))
            << "the removal never ended: " << Title(wizard);
        EXPECT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).isEnabled(); }));
        EXPECT_EQ(wizard.child(IDCANCEL).text(), Msg(3000)) << "the last page closes with Finish";
        if (removeall) {
            EXPECT_EQ(PageItem(wizard, 202).text(), Msg(2939));
            EXPECT_THROW(PageItem(wizard, 201), RobotError) << "the progress text gives way";
        } else {
            EXPECT_THROW(PageItem(wizard, 202), RobotError) << "the text after removing all data";
        }
        if (screenshots)
            Screenshot(wizard, removeall ? "05-removed-all" : "05-removed");
        Button(wizard.child(IDCANCEL)).click();
        EXPECT_EQ(WaitForSingleObject(finalpass, static_cast<DWORD>(kPageTimeout.count())), WAIT_OBJECT_0);
        CloseHandle(finalpass);
    }

    // What every removal takes away.
    void ExpectRecordedEntriesGone() const {
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        for (const std::string& key : kFileTypes)
            EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, key)) << key;
        EXPECT_FALSE(Exists(StartMenu)) << "the start-menu folder and its links";
        EXPECT_FALSE(Exists(Desktop + "\\DemoPad.LNK"));
        for (const char* file : {"demoapp.exe", "demosync.exe", "docs\\readme.txt", "samples\\welcome.odemo"})
            EXPECT_FALSE(Exists(Destination + "\\" + file)) << file;
        // The final pass's copies and their folder below TEMP wait for the next restart.
        const std::string pending = PendingDeletions();
        const size_t folder = pending.find("\\OrvikUninstall-");
        ASSERT_NE(folder, std::string::npos) << pending;
        for (const char* file : {"\\setup.exe|", "\\setupenglish.dll|", "\\setupgerman.dll|"})
            EXPECT_NE(pending.find(file, folder), std::string::npos) << file << " in " << pending;
    }

    SETUPFOLDER Package;
    std::string Destination, StartMenu, Desktop;
    bool DemoMode = false;
    DisplayLock Display;
};

} // namespace

TEST_F(DemoUninstallation, ProgramOnlyRemovesWhatWasInstalledAndKeepsTheUsersFiles) {
    ASSERT_TRUE(Exists(Destination + "\\demoapp.exe")) << "DemoPad was installed";
    // A service of the product, and files that the user made in the product's folder.
    std::filesystem::copy_file(std::string(ORVIK_STUBS_DIR) + "/service.exe", Destination + "\\service.exe");
    std::filesystem::create_directories(Destination + "\\mine");
    { std::ofstream(Destination + "\\mine\\notes.odemo") << "my own notes"; }

    const Window wizard = ConfirmAndFindFinalPass(true);
    WalkWizard(wizard, false, true);

    ExpectRecordedEntriesGone();
    EXPECT_EQ(ReadFile(Destination + "\\mine\\notes.odemo"), "my own notes");
    for (const char* folder : {"docs", "samples", "templates"})
        EXPECT_FALSE(Exists(Destination + "\\" + folder)) << "the product's emptied folder " << folder;
    EXPECT_TRUE(Exists(Destination + "\\demopad.ini")) << "UninstallProtect";
    EXPECT_EQ(stubcalls::Arguments(Destination + "\\service.exe"),
              (std::vector<std::vector<std::string>>{{"/STOP"}, {"/UNINSTALL"}}));
}

TEST_F(DemoUninstallation, RemoveAllTakesTheWholeFolderAfterTheWarning) {
    { std::ofstream(Destination + "\\mine.odemo") << "my own notes"; }
    const Window wizard = ConfirmAndFindFinalPass(true);
    WalkWizard(wizard, true, true);

    ExpectRecordedEntriesGone();
    EXPECT_FALSE(Exists(Destination)) << "the product's folder with everything in it";
    EXPECT_TRUE(IsFolder(ShellFolder(CSIDL_PROGRAM_FILES) + "\\Orvik"))
        << "the maker's folder is not the product's";
}

TEST_F(DemoUninstallation, NoChangesNothingASecondUninstallEndsAtOnceAndAfterwardsTheEntryIsMissing) {
    // No to the question: nothing changes.
    {
        RobotProcess firstpass = StartUninstallEntry();
        MessageBoxWindow::waitFor(WindowFinder(firstpass), UninstallTitle(), kPageTimeout).answer("No");
        EXPECT_EQ(firstpass.exitCode(kPageTimeout), 7u); // cancelled
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_TRUE(Exists(Destination + "\\demoapp.exe"));
    }
    // A second uninstall started while the first shows its question ends at once.
    const std::string command = RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
    {
        RobotProcess first = StartUninstallEntry();
        const MessageBoxWindow question =
            MessageBoxWindow::waitFor(WindowFinder(first), UninstallTitle(), kPageTimeout);
        RobotProcess second = StartUninstallEntry();
        EXPECT_EQ(second.exitCode(kPageTimeout), 9u); // another uninstall of it is running
        EXPECT_TRUE(WindowFinder(second).topLevelWindows().empty());
        question.answer("Yes");
        EXPECT_EQ(first.exitCode(kPageTimeout), 0u);
        WalkWizard(WaitForWindow(UninstallTitle()), false, false);
    }
    // Started again after the removal, the same command line finds no entry.
    const size_t end = command.find('"', 1);
    const std::string copy = Package.File("setup.exe");
    RobotProcess again = RobotProcess::start(copy, command.substr(end + 2), Package.Path.string());
    const MessageBoxWindow missing =
        MessageBoxWindow::waitFor(WindowFinder(again), "Orvik Uninstall", kPageTimeout);
    EXPECT_EQ(missing.message(), "Files missing or this software has already been uninstalled!");
    Screenshot(missing.window(), "files-missing");
    missing.answer("OK");
    EXPECT_EQ(again.exitCode(kPageTimeout), 6u); // nothing to uninstall
}

TEST_F(DemoUninstallation, TheHookLibraryIsToldOfEveryStepOfTheRemovalInOrder) {
    // A product that ships a hook library has it in its folder; the first pass copies it along (its name
    // matches "setup*.dll"), so the final pass loads it beside its own copy.
    std::filesystem::copy_file(std::filesystem::path(ORVIK_HOOK_DIR) / "complete" / "SETUPHOOK.dll",
                               Destination + "\\SETUPHOOK.dll");
    const std::string record = Package.File("uninstall.calls");
    SetEnvironmentVariableA(hookcalls::kRecordVariable, record.c_str());
    const Window wizard = ConfirmAndFindFinalPass(false);
    WalkWizard(wizard, true, false);
    SetEnvironmentVariableA(hookcalls::kRecordVariable, nullptr);

    std::vector<std::string> calls;
    for (const hookcalls::CALL& call : hookcalls::HookCalls(record))
        calls.push_back(call.Entry + " " + call.Fields.at(0));
    const std::vector<std::string> expected{
        "NewSetupHook 3",  "NewSetupHook 5",  "NewSetupHook 6",  // the wizard, then the feedback page
        "NewSetupHook 5",  "NewSetupHook 6",                     // the removal options
        "NewSetupHook 5",  "NewSetupHook 11", "SetupHook 3",     // the removal: started, entry read
        "NewSetupHook 14", "SetupHook 4",     "NewSetupHook 12", // entry deleted
        "NewSetupHook 6",  "NewSetupHook 4"};
    EXPECT_EQ(calls, expected);
    const std::vector<hookcalls::CALL> all = hookcalls::HookCalls(record);
    if (all.size() == expected.size()) {
        EXPECT_EQ(all[0].Fields[2], hookcalls::Pointer(reinterpret_cast<intptr_t>(wizard.handle())));
        EXPECT_EQ(all[6].Fields[5], hookcalls::Pointer(1)) << "remove all";
        EXPECT_EQ(all[7].Fields[1], Destination) << "SetupHook 3 gets the install path";
        EXPECT_EQ(all[9].Fields[1], "<null>");
    }
}

TEST_F(DemoUninstallation, AFeedbackCommentArrivesAtTheMakersMailbox) {
    // The maker's feedback mailbox is a mail server on a loopback port for this test.
    HKEY entry = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, KEY_SET_VALUE, &entry),
              ERROR_SUCCESS);
    const std::string mailbox = "feedback@demopad.example;" + MAILBOX::Server("plain");
    RegSetValueExA(entry, "UninstallEmail", 0, REG_SZ, reinterpret_cast<const BYTE*>(mailbox.c_str()),
                   static_cast<DWORD>(mailbox.size() + 1));
    RegCloseKey(entry);

    const Window wizard = ConfirmAndFindFinalPass(false);
    WaitForPage(wizard, kFeedbackTitle);
    const std::string token = MAILBOX::UniqueToken();
    Edit(PageItem(wizard, 202)).type("Too many notes. " + token);
    ASSERT_TRUE(waitUntil([&] { return PageItem(wizard, 110).isEnabled(); }));
    Button(PageItem(wizard, 110)).click();

    const std::string caption = Split(Msg(2995), '|').at(0);
    const Window dialog = WaitForWindow(caption);
    EXPECT_EQ(dialog.child(1003).text(), kAppName + " V2.4 uninstall");
    EXPECT_EQ(dialog.child(1002).text(), "anonymous@demopad.example");
    Screenshot(dialog, "01-mail-dialog");
    Button(dialog.child(1009)).click();
    const MessageBoxWindow connect(WaitForWindow("Internet Connection"));
    connect.answer(IDOK);
    const MessageBoxWindow sent(WaitForWindow(caption, dialog));
    Screenshot(sent.window(), "02-sent");
    sent.answer(IDOK);
    // The dialog turns its cancel button into "Done" once the message box has returned.
    ASSERT_TRUE(waitUntil([&] { return dialog.child(IDCANCEL).text() == "Done"; }));
    Button(dialog.child(IDCANCEL)).click();

    const std::vector<RECEIVEDMAIL> mails = MAILBOX::Find(token);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].Header("Subject"), "DemoPad V2.4 uninstall");
    EXPECT_EQ(mails[0].From, "anonymous@demopad.example");
    EXPECT_EQ(mails[0].To, std::vector<std::string>{"feedback@demopad.example"});
    EXPECT_NE(mails[0].Body().find("Too many notes. " + token), std::string::npos);

    // Sending is optional: the wizard goes on.
    WaitForPage(wizard, kFeedbackTitle);
    Next(wizard);
    WaitForPage(wizard, kOptionsTitle);
    Button(wizard.child(IDCANCEL)).click();
    const MessageBoxWindow quit(WaitForWindow(UninstallTitle(), wizard));
    quit.answer("No");
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "nothing removed";
}
