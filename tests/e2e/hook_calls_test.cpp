// DemoPad installed with the sample hook library SETUPHOOK.dll beside setup.exe, the way a product maker
// ships a hook with a package: the UI robot clicks through the wizard like a person, notes the windows it
// sees (the wizard, each page, the copy page's progress bar), and afterwards the library's record of calls
// is checked call by call: which entry, which code, in which order, with which arguments. A re-installation
// of the same version (the licence page skips itself, install mode 1) and a cancelled installation are
// checked the same way.
//
// Window handles are checked against the windows the robot saw; pointers (the step table, the configuration
// table, the start-menu folder, the IniKey text, the page functions) cannot be read from outside setup's
// process, so they are checked to be set, to stay the same where the same thing is passed again, and to
// differ where different things are passed.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/demo_session.h"
#include "tests/e2e/installed_system.h"
#include "tests/common/hookcalls.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

using namespace uirobot;
using namespace e2e;

namespace {

// Steps of the install wizard and the title messages of their pages.
struct PAGE {
    int Step, Title;
    const char* Function; // the name its page function is known by in the expectations below
};
const PAGE kWelcome{1, 2912, "WelcomePage"}, kLicence{2, 2904, "LicencePage"},
    kDestination{3, 2902, "DestinationPage"}, kCopy{4, 2906, "CopyPage"}, kShortcuts{5, 2916, "ShortcutPage"},
    kAdvert{6, 2914, "AdvertisePage"}, kFinish{7, 2918, "FinishPage"};

// Navigation results of a page function.
constexpr int kNextResult = 149, kCloseResult = 0;
// setup.exe is started in English, language number 9.
constexpr int kEnglish = 9;

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

std::string Hex(HWND window) {
    return hookcalls::Pointer(reinterpret_cast<intptr_t>(window));
}

// A recorded call as one line: "NewSetupHook 5 1 0x... 0x... 0x... 0x...".
std::string Described(const hookcalls::CALL& call) {
    std::string line = call.Entry;
    for (const std::string& field : call.Fields)
        line += " " + field;
    return line;
}

std::string Described(const std::vector<hookcalls::CALL>& calls) {
    std::string text;
    for (size_t i = 0; i < calls.size(); ++i)
        text += "  " + std::to_string(i) + ": " + Described(calls[i]) + "\n";
    return text;
}

// One expected call: the entry and its fields as recorded. A field "{name}" stands for a window handle or
// pointer: one known beforehand (a window the robot saw) or, at its first appearance, any non-zero value,
// which every later "{name}" must then repeat. A plain number in a pointer-sized field is that number.
using EXPECTED = std::vector<std::string>;

class CALLMATCHER {
public:
    void Know(const std::string& name, HWND window) { Values["{" + name + "}"] = Hex(window); }
    std::string Value(const std::string& name) const {
        const auto found = Values.find("{" + name + "}");
        return found == Values.end() ? "<never seen>" : found->second;
    }

    // The differences between expected and the call, empty when it matches.
    std::string Mismatch(const EXPECTED& expected, const hookcalls::CALL& call) {
        std::vector<std::string> actual{call.Entry};
        actual.insert(actual.end(), call.Fields.begin(), call.Fields.end());
        if (actual.size() != expected.size())
            return "has " + std::to_string(actual.size()) + " fields instead of " +
                   std::to_string(expected.size());
        std::string differences;
        for (size_t i = 0; i < expected.size(); ++i) {
            const std::string& want = expected[i];
            const std::string& got = actual[i];
            if (want.size() > 2 && want.front() == '{' && want.back() == '}') {
                const auto known = Values.find(want);
                if (known == Values.end()) {
                    if (got == hookcalls::Pointer(0))
                        differences += " " + want + " is 0;";
                    else
                        Values[want] = got;
                } else if (known->second != got) {
                    differences += " " + want + " is " + got + " instead of " + known->second + ";";
                }
            } else if (StartsWith(got, "0x")) {
                if (got != hookcalls::Pointer(std::stoll(want)))
                    differences += " field " + std::to_string(i) + " is " + got + " instead of " + want + ";";
            } else if (got != want) {
                differences += " field " + std::to_string(i) + " is '" + got + "' instead of '" + want + "';";
            }
        }
        return differences;
    }

    // Call by call, in order; every difference is reported, and then the whole record once.
    void ExpectRecord(const std::vector<hookcalls::CALL>& record, const std::vector<EXPECTED>& expected) {
        bool same = record.size() == expected.size();
        EXPECT_EQ(record.size(), expected.size()) << "calls recorded";
        for (size_t i = 0; i < record.size() && i < expected.size(); ++i) {
            const std::string mismatch = Mismatch(expected[i], record[i]);
            EXPECT_TRUE(mismatch.empty()) << "call " << i << " '" << Described(record[i]) << "':" << mismatch;
            same = same && mismatch.empty();
        }
        if (!same)
            ADD_FAILURE() << "the library recorded:\n" << Described(record);
    }

    // Different things were passed: no two of these names stand for the same value.
    void ExpectDistinct(const std::vector<std::string>& names) const {
        for (size_t i = 0; i < names.size(); ++i)
            for (size_t j = i + 1; j < names.size(); ++j)
                EXPECT_NE(Value(names[i]), Value(names[j])) << names[i] << " and " << names[j];
    }

private:
    std::map<std::string, std::string> Values;
};

// What a page-run hook call looks like: code 5 before the page with the step's extra field (0 in every
// standard step), code 6 after it with the page function's result.
EXPECTED BeforePage(const PAGE& page, const std::string& window) {
    return {"NewSetupHook",
            "5",
            std::to_string(page.Step),
            "{wizard}",
            "{" + window + "}",
            std::string("{") + page.Function + "}",
            "0"};
}
EXPECTED AfterPage(const PAGE& page, const std::string& window, int result) {
    return {"NewSetupHook",
            "6",
            std::to_string(page.Step),
            "{wizard}",
            "{" + window + "}",
            std::string("{") + page.Function + "}",
            std::to_string(result)};
}

class HookedInstallation : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : std::filesystem::directory_iterator(DEMO_PACKAGE_DIR))
            std::filesystem::copy_file(file.path(), Package.Path / file.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(std::filesystem::path(ORVIK_HOOK_DIR) / "complete" / "SETUPHOOK.dll",
                                   Package.Path / "SETUPHOOK.dll");
        Hook = Package.File("SETUPHOOK.dll");
        Destination = DemoPadFolder();
        RemoveDemoPad();
    }
    void TearDown() override {
        CloseFolderWindows();
        RemoveDemoPad();
    }

    RobotProcess StartSetup() const {
        const std::string folder = Package.Path.string();
        return RobotProcess::start(folder + "\\setup.exe", "/LANG:ENGL /LOGIT:" + folder + "\\setup.log",
                                   folder);
    }

    std::vector<hookcalls::CALL> Record() const { return hookcalls::Read(Hook); }

    // The hook call recorded last, as a line; "" before any.
    std::string LastHookCall() const {
        const std::vector<hookcalls::CALL> calls = hookcalls::HookCalls(Hook);
        return calls.empty() ? "" : Described(calls.back());
    }

    static void WaitForPage(const Window& wizard, const PAGE& page) { e2e::WaitForPage(wizard, page.Title); }

    // The page window itself, the parent of its controls.
    static HWND PageWindow(const Window& wizard, int control) {
        return GetParent(PageItem(wizard, control).handle());
    }

    // The package's dated warning, shown by the welcome page before the wizard itself appears.
    void AnswerWarning(const RobotProcess& setup) const {
        const MessageBoxWindow warning =
            MessageBoxWindow::waitFor(WindowFinder(setup), kAppName, kPageTimeout);
        EXPECT_TRUE(StartsWith(LastHookCall(), "NewSetupHook 5 1 "))
            << "the welcome page runs after the hook heard of it; last call: " << LastHookCall();
        warning.answer("OK");
    }

    // The confirmation that Cancel asks, a box of setup's other than the wizard.
    static MessageBoxWindow CancelQuestion(const RobotProcess& setup, const Window& wizard) {
        Window question;
        waitUntil(
            [&] {
                for (const Window& window : WindowFinder(setup).topLevelWindows())
                    if (window != wizard && window.className() == "#32770" && window.isVisible())
                        question = window;
                return static_cast<bool>(question);
            },
            kPageTimeout);
        if (!question)
            throw RobotError("no question after Cancel");
        return MessageBoxWindow(question);
    }

    // A whole installation, page by page, as a person clicks through it: the first one (mode 0, with the
    // licence to accept) or the same version again (mode 1, no licence page, the start menu left alone).
    // The windows seen on the way are made known to calls.
    void InstallPageByPage(CALLMATCHER& calls, bool again) const {
        RobotProcess setup = StartSetup();
        AnswerWarning(setup);
        const Window wizard = WaitForWizard(setup);
        calls.Know("wizard", wizard.handle());
        WaitForPage(wizard, kWelcome);
        ASSERT_TRUE(RadioButton(PageItem(wizard, again ? 402 : 401)).isSelected())
            << (again ? "the same version is installed" : "a new installation");
        calls.Know("welcome page", PageWindow(wizard, 401));
        Next(wizard);

        if (!again) {
            WaitForPage(wizard, kLicence);
            calls.Know("licence page", PageWindow(wizard, 301));
            CheckBox(PageItem(wizard, 301)).setChecked(true);
            Next(wizard);
        }

        WaitForPage(wizard, kDestination);
        calls.Know("destination page", PageWindow(wizard, 201));
        EXPECT_EQ(PageItem(wizard, 201).text(), Destination);
        Next(wizard);

        // The copy page: its progress bar is the window the copy hooks are given.
        WaitForPage(wizard, kCopy);
        calls.Know("copy page", PageWindow(wizard, 201));
        if (again) {
            // The package asks before it replaces the sample document; the hook heard of the copy first.
            const MessageBoxWindow ask =
                MessageBoxWindow::waitFor(WindowFinder(setup), Msg(2993), kPageTimeout);
            EXPECT_TRUE(StartsWith(LastHookCall(), "NewSetupHook 7 0 "))
                << "the copy's start is reported before the first file; last call: " << LastHookCall();
            ask.answer("Yes");
        }
        ASSERT_TRUE(waitUntil([&] { return PageItem(wizard, 201).text() == Msg(2911); }, kPageTimeout))
            << "copying does not end; the page says '" << PageItem(wizard, 201).text() << "'";
        Window bar;
        for (const Window& control : wizard.children())
            if (control.className() == PROGRESS_CLASSA)
                bar = control;
        ASSERT_TRUE(bar) << "no progress bar on the copy page";
        EXPECT_EQ(GetParent(bar.handle()), PageWindow(wizard, 201)) << "the bar lies on the copy page";
        calls.Know("progress bar", bar.handle());
        EXPECT_TRUE(StartsWith(LastHookCall(), "NewSetupHook 8 0 "))
            << "the copy has told the hook it ended; last call: " << LastHookCall();
        Next(wizard);

        // The shortcut page: nothing is created, and nothing reported, before Next.
        WaitForPage(wizard, kShortcuts);
        EXPECT_TRUE(RadioButton(PageItem(wizard, again ? 403 : 401)).isSelected());
        calls.Know("shortcut page", PageWindow(wizard, 401));
        EXPECT_TRUE(StartsWith(LastHookCall(), "NewSetupHook 5 5 "))
            << "no shortcut hook before the user has chosen; last call: " << LastHookCall();
        Next(wizard);

        WaitForPage(wizard, kAdvert);
        calls.Know("advertisement page", PageWindow(wizard, 650));
        Next(wizard);

        WaitForPage(wizard, kFinish);
        calls.Know("finish page", PageWindow(wizard, 651));
        EXPECT_TRUE(StartsWith(LastHookCall(), "NewSetupHook 5 7 ")) << "last call: " << LastHookCall();
        Button(wizard.child(IDCANCEL)).click(); // labelled Finish here

        MessageBoxWindow::waitFor(WindowFinder(setup), Msg(2900) + " " + kAppName, kPageTimeout).answer("OK");
        EXPECT_EQ(setup.exitCode(kPageTimeout), 0u);
        // Setup ends by opening the start-menu folder in the shell.
        EXPECT_TRUE(waitUntil([] { return !windowsTitled(kStartmenuName).empty(); }, kPageTimeout))
            << "setup did not open the start-menu folder" << (again ? " again" : "");
        CloseFolderWindows();
    }

    // The record of a completed installation: the licence page ends with licenceresult (-1 when it skips
    // itself), the copy tells the hook installmode.
    std::vector<EXPECTED> CompletedInstallation(int licenceresult, int installmode) const {
        return {
            {"attach"},
            {"SetupHook", "1", "<null>"},
            {"NewSetupHook", "0", "0", "0", "0", "0", "{step table}"},
            {"NewSetupHook", "1", std::to_string(kEnglish), "0", "0", "0", "{configuration}"},
            BeforePage(kWelcome, "welcome page"),
            AfterPage(kWelcome, "welcome page", kNextResult),
            BeforePage(kLicence, "licence page"), // made even when it skips itself
            AfterPage(kLicence, "licence page", licenceresult),
            BeforePage(kDestination, "destination page"),
            AfterPage(kDestination, "destination page", kNextResult),
            BeforePage(kCopy, "copy page"),
            {"NewSetupHook", "7", "0", "{wizard}", "{progress bar}", "0", std::to_string(installmode)},
            {"SetupHook", "8", Destination},
            {"NewSetupHook", "8", "0", "{wizard}", "{progress bar}", "0", "0"},
            AfterPage(kCopy, "copy page", kNextResult),
            BeforePage(kShortcuts, "shortcut page"),
            {"NewSetupHook", "9", "0", "0", "0", "0", "{start-menu folder}"},
            {"NewSetupHook", "10", "0", "0", "0", "0", "{IniKey}"},
            AfterPage(kShortcuts, "shortcut page", kNextResult),
            BeforePage(kAdvert, "advertisement page"),
            AfterPage(kAdvert, "advertisement page", kNextResult),
            BeforePage(kFinish, "finish page"),
            AfterPage(kFinish, "finish page", kCloseResult),
            {"SetupHook", "2", Destination},
            {"NewSetupHook", "2", "1", "0", "0", "0", "0"},
            {"NewSetupHook", "13", "1", "0", "0", "0", "0"},
            {"detach", "FreeLibrary"},
        };
    }

    SETUPFOLDER Package; // setup.exe, its languages, the demo package and SETUPHOOK.dll
    std::string Hook, Destination;
    DisplayLock Display; // one robot session on the screen at a time
};

TEST_F(HookedInstallation, EveryCallPointOfACompletedInstallationReachesTheLibraryInOrder) {
    CALLMATCHER calls;
    InstallPageByPage(calls, false);
    if (HasFatalFailure())
        return;

    const std::vector<EXPECTED> expected = CompletedInstallation(kNextResult, 0);
    calls.ExpectRecord(Record(), expected);
    calls.ExpectDistinct({"step table", "configuration", "start-menu folder", "IniKey"});
    calls.ExpectDistinct({"WelcomePage", "LicencePage", "DestinationPage", "CopyPage", "ShortcutPage",
                          "AdvertisePage", "FinishPage"});
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallPath"), Destination)
        << "the installation is recorded";
}

TEST_F(HookedInstallation, InstallingTheSameVersionAgainReportsTheSkippedLicenceAndMode1) {
    {
        CALLMATCHER first;
        InstallPageByPage(first, false);
        if (HasFatalFailure())
            return;
    }
    std::filesystem::remove(hookcalls::RecordFile(Hook)); // only the second run is checked

    // Setup proposes the same version again (mode 1): the licence page skips itself, in the direction of
    // travel, and the copy tells the hook the mode.
    CALLMATCHER calls;
    InstallPageByPage(calls, true);
    if (HasFatalFailure())
        return;

    constexpr int kSkipped = -1;
    const std::vector<EXPECTED> expected = CompletedInstallation(kSkipped, 1);
    calls.ExpectRecord(Record(), expected);
    calls.ExpectDistinct({"step table", "configuration", "start-menu folder", "IniKey"});
    calls.ExpectDistinct({"welcome page", "licence page", "destination page"});
}

TEST_F(HookedInstallation, CancelledOnTheWelcomePageTheHookHearsOnlyThatTheWizardEnded) {
    CALLMATCHER calls;
    RobotProcess setup = StartSetup();
    AnswerWarning(setup);
    const Window wizard = WaitForWizard(setup);
    calls.Know("wizard", wizard.handle());
    WaitForPage(wizard, kWelcome);
    calls.Know("welcome page", PageWindow(wizard, 401));

    // Cancel, then Yes to staying: the welcome page runs again, with its warning again.
    Button(wizard.child(IDCANCEL)).click();
    MessageBoxWindow question = CancelQuestion(setup, wizard);
    EXPECT_TRUE(StartsWith(LastHookCall(), "NewSetupHook 6 1 "))
        << "the page's end is reported before the question; last call: " << LastHookCall();
    question.answer("Yes");
    AnswerWarning(setup);
    WaitForPage(wizard, kWelcome);
    calls.Know("welcome page again", PageWindow(wizard, 401));

    // Cancel, and No to going on: setup ends.
    Button(wizard.child(IDCANCEL)).click();
    CancelQuestion(setup, wizard).answer("No");
    EXPECT_EQ(setup.exitCode(kPageTimeout), 2u); // cancelled before copying

    const std::vector<EXPECTED> expected = {
        {"attach"},
        {"SetupHook", "1", "<null>"},
        {"NewSetupHook", "0", "0", "0", "0", "0", "{step table}"},
        {"NewSetupHook", "1", std::to_string(kEnglish), "0", "0", "0", "{configuration}"},
        BeforePage(kWelcome, "welcome page"),
        AfterPage(kWelcome, "welcome page", kCloseResult),
        BeforePage(kWelcome, "welcome page again"),
        AfterPage(kWelcome, "welcome page again", kCloseResult),
        {"NewSetupHook", "2", "0", "0", "0", "0", "0"}, // cancelled
        {"detach", "FreeLibrary"},
    };
    calls.ExpectRecord(Record(), expected);
    calls.ExpectDistinct({"step table", "configuration"});
    EXPECT_FALSE(Exists(Destination)) << "nothing was installed";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallPath"), "<absent>");
}

} // namespace
