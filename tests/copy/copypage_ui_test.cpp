// The copy step as a user meets it: the real wizard page under Wine, started from a package folder like
// setup.exe, watched and answered by the robot. Afterwards the tests look at what the system holds: the
// files in the install directory, the uninstall entry, the file types, the service's starts and the hooks.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "setup/res/messages.h"
#include "setup/res/resourceids.h"
#include "tests/common/small_drive.h"
#include "tests/common/wizard_helpers.h"
#include "tests/common/ziparchive.h"
#include "tests/robot/uirobot.h"
#include "tests/common/stubcalls.h"

namespace {

namespace fs = std::filesystem;
using namespace uirobot;
using PAIRS = std::vector<std::pair<std::string, std::string>>;
using ARGS = std::vector<std::vector<std::string>>;

constexpr const char* APPNAME = "CopyTest";
constexpr const char* UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr Milliseconds COPY_TIMEOUT{30000};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Fails unless every piece occurs in text, in this order.
testing::AssertionResult InOrder(const std::string& text, const std::vector<std::string>& pieces) {
    size_t from = 0;
    for (const std::string& piece : pieces) {
        const size_t at = text.find(piece, from);
        if (at == std::string::npos)
            return testing::AssertionFailure() << "missing (in this order): \"" << piece << "\" in:\n"
                                               << text;
        from = at + piece.size();
    }
    return testing::AssertionSuccess();
}

// The values of a registry key in the order the registry lists them: REG_SZ as their text, REG_DWORD as
// "dword:" and the number; no other type is expected.
PAIRS RegistryValues(HKEY root, const std::string& key) {
    PAIRS values;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD namelength = sizeof name;
        BYTE data[4096] = {};
        DWORD datalength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(handle, index, name, &namelength, nullptr, &type, data, &datalength) !=
            ERROR_SUCCESS)
            break;
        if (type == REG_DWORD && datalength == sizeof(DWORD)) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof number);
            values.emplace_back(name, "dword:" + std::to_string(number));
            continue;
        }
        std::string text(reinterpret_cast<const char*>(data), datalength);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
        values.emplace_back(name, text);
    }
    RegCloseKey(handle);
    return values;
}

bool RegistryKeyExists(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// The default value of a key, nothing when the key is missing.
std::optional<std::string> DefaultValue(HKEY root, const std::string& key) {
    for (const auto& [name, text] : RegistryValues(root, key))
        if (name.empty())
            return text;
    if (RegistryKeyExists(root, key))
        return std::string("<no default value>");
    return std::nullopt;
}

std::string CurrentTestName() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// Removes a test folder even when a run left read-only files in it.
void RemoveTree(const fs::path& root) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root, ignored))
        SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(root, ignored);
}

// A control inside the page (not one of the frame's own).
Window PageControl(const Window& wizard, int id, const char* classname = nullptr) {
    for (const Window& control : wizard.children())
        if (control.id() == id && GetParent(control.handle()) != wizard.handle() &&
            (!classname || control.className() == classname))
            return control;
    return {};
}

// The registry lists values by name under Wine, not in the order they were written: compare them as sets.
PAIRS SortedByName(PAIRS values) {
    std::sort(values.begin(), values.end());
    return values;
}

// The text of the named value, nothing when it is not there.
std::optional<std::string> ValueOf(const PAIRS& values, const std::string& name) {
    for (const auto& [valuename, text] : values)
        if (valuename == name)
            return text;
    return std::nullopt;
}

// The log lines of the registry writes of values, in this order.
std::vector<std::string> WriteLines(const PAIRS& values) {
    std::vector<std::string> lines;
    for (const auto& [name, text] : values)
        lines.push_back("REGISTRY::Write String value= " + name + "; data=" + text + ", error=00000000\r\n");
    return lines;
}

// Waits for a box of the program titled title that is not the wizard (which may carry the same title).
Window WaitForBox(const WindowFinder& finder, const std::string& title, const Window& wizard) {
    Window box;
    waitUntil([&] {
        for (const Window& window : finder.topLevelWindows())
            if (window != wizard && window.className() == "#32770" && window.text() == title) {
                box = window;
                return true;
            }
        return false;
    });
    if (!box)
        throw RobotError("no box titled '" + title + "' besides the wizard");
    return box;
}

// The words of a text: message boxes reflow their text, so it is compared word by word.
std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
}

std::string Replaced(std::string text, const std::string& placeholder, const std::string& by) {
    const size_t at = text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), by);
    return text;
}

// The system's own text for an error code, as the user reads it.
std::string SystemText(DWORD code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text - 1, nullptr);
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    return reason;
}

int ProgressPosition(const Window& wizard) {
    const Window bar = PageControl(wizard, 901, PROGRESS_CLASSA);
    return bar ? static_cast<int>(sendMessage(bar, PBM_GETPOS)) : -1;
}

// A package folder (the test program in the role of setup.exe, its language library, setup.cfg and the
// archives) and an install directory, both fresh for each test; the registry keys it names are removed.
class CopyStep : public testing::Test {
protected:
    void SetUp() override {
        const std::string name = CurrentTestName();
        Base = fs::temp_directory_path() / ("copystep_" + std::to_string(GetCurrentProcessId()) + "_" + name);
        RemoveTree(Base);
        Package = Base / "package";
        Target = Base / "Program Files" / "Copy Test";
        fs::create_directories(Package);
        fs::copy_file(fs::path(ownDirectory()) / "copy_wizard.exe", Package / "copy_wizard.exe");
        fs::copy_file(fs::path(ORVIK_SETUP_BIN_DIR) / "setupenglish.dll", Package / "setupenglish.dll");
        IniKey = "CopyStepTest_" + std::to_string(GetCurrentProcessId()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name();
        Extension = ".cst" + std::to_string(GetCurrentProcessId());
    }

    void TearDown() override {
        if (!IniKey.empty())
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (UNINSTALL_KEY + IniKey).c_str());
        if (!Extension.empty())
            for (const std::string& key : {Extension + "a", Extension + "b", ProgId("A"), ProgId("B")})
                RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        RemoveTree(Base);
    }

    std::string ProgId(const char* suffix) const { return "CopyStepTest" + Extension.substr(1) + suffix; }
    std::string InstallDir() const { return Target.string(); }

    void WriteConfig(const std::string& lines) const {
        WriteFile(Package / "setup.cfg", "AppName=" + std::string(APPNAME) + "\n" + lines);
    }
    void WriteArchive(const char* name, const std::vector<testzip::MEMBER>& members) const {
        ASSERT_TRUE(testzip::WriteZip((Package / name).string(), members));
    }

    // A service program in the install directory, as an earlier installation left it.
    std::string PlaceService(std::optional<int> stopcode = std::nullopt) const {
        fs::create_directories(Target);
        fs::copy_file(fs::path(ORVIK_STUBS_DIR) / "service.exe", Target / "service.exe");
        if (stopcode)
            WriteFile(Target / "service.stopcode", std::to_string(*stopcode));
        return (Target / "service.exe").string();
    }

    RobotProcess StartWizard(const std::string& extra = {}) const {
        return RobotProcess::start((Package / "copy_wizard.exe").string(),
                                   "-INSTALLDIR \"" + InstallDir() + "\" /NOASSERT \"/LOGIT:" +
                                       (Package / "setup.log").string() + "\" /D:2 " + extra,
                                   Package.string());
    }

    std::string LibraryText(int id) const {
        HMODULE library = LoadLibraryExA((Package / "setupenglish.dll").string().c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE);
        char text[512] = {};
        const int length = library ? LoadStringA(library, static_cast<UINT>(id), text, sizeof text) : 0;
        if (library)
            FreeLibrary(library);
        return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
    }

    std::string Caption() const {
        std::string caption = LibraryText(IDS_MSGBOX_TITLE);
        const size_t maker = caption.find("Orvik");
        if (maker != std::string::npos)
            caption.replace(maker, 5, APPNAME);
        return caption;
    }

    Window WaitForWizard(const RobotProcess& process) const {
        return WindowFinder(process).waitFor(WindowQuery::titled(Caption()), COPY_TIMEOUT);
    }

    // Waits until the copy page offers Next, as it does once everything is copied.
    void WaitUntilCopied(const Window& wizard) const {
        ASSERT_TRUE(waitUntil([&] { return wizard.child(IDC_WIZARD_NEXT).isEnabled(); }, COPY_TIMEOUT))
            << "Next never became enabled";
    }

    void Screenshot(const Window& window, const std::string& name) const {
        ScreenshotFolder folder(std::string(COPY_SCREENSHOT_ROOT) + "/" + CurrentTestName());
        const std::string file = folder.save(captureWindow(window), name);
        EXPECT_TRUE(fs::exists(file)) << file;
    }

    // The copy question as the user must read it: the file, the product and the system's reason.
    std::string RetryQuestion(const std::string& member, DWORD code) const {
        std::string text = Replaced(LibraryText(IDS_ASK_RETRY_COPY), "$FILE", member);
        text = Replaced(text, "$PROGRAM", APPNAME);
        return Replaced(text, "$REASON", SystemText(code));
    }

    // Waits for the copy question and checks that it names the member, the product and the system's reason.
    MessageBoxWindow ExpectRetryQuestion(const RobotProcess& process, const std::string& member, DWORD code,
                                         const std::string& screenshot) const {
        const MessageBoxWindow question =
            MessageBoxWindow::waitFor(WindowFinder(process), LibraryText(IDS_MSGBOX_TITLE), COPY_TIMEOUT);
        EXPECT_EQ(Words(question.message()), Words(RetryQuestion(member, code)));
        EXPECT_EQ(question.buttons(), (std::vector<std::string>{"Yes", "No"}));
        Screenshot(question.window(), screenshot);
        return question;
    }

    // Yes once the cause is mended: the copy completes, moves on by itself (NoCopyComplete) and the wizard
    // is closed on its last page.
    void RetryAndFinish(const MessageBoxWindow& question, const Window& wizard, RobotProcess& process) const {
        question.answer("Yes");
        ASSERT_TRUE(
            waitUntil([&] { return wizard.child(IDC_WIZARD_TITLE).text() == LibraryText(IDS_FINISH_TITLE); },
                      COPY_TIMEOUT))
            << "the copy did not complete: " << wizard.child(IDC_WIZARD_TITLE).text();
        Button(wizard.child(IDCANCEL)).click();
        EXPECT_EQ(process.exitCode(COPY_TIMEOUT), 1u);
    }

    std::string Record() const { return ReadFile(Package / "wizard.txt"); }
    std::string Log() const { return ReadFile(Package / "setup.log"); }
    PAIRS UninstallEntry() const { return RegistryValues(HKEY_LOCAL_MACHINE, UNINSTALL_KEY + IniKey); }

    DisplayLock Display; // the screen belongs to this test while it runs
    fs::path Base, Package, Target;
    std::string IniKey, Extension;
};

using CopyStepUi = CopyStep;

} // namespace

TEST_F(CopyStepUi, CopiesBothArchivesRegistersAndRecordsEverything) {
    WriteConfig("AppVersion=2.5\n"
                "IniKey=" +
                IniKey +
                "\n"
                "StartmenuName=Copy Test 2.5\n"
                "UninstallIcon=program.exe\n"
                "ProtectedFiles=*.ini\n"
                "AddToFirewall=program.exe\n"
                "UninstallEmail=feedback@testzip.example;Copy Test\n"
                "CopyToDest=extra.dat||\n"
                "FileTypes= " +
                Extension + "a;" + ProgId("A") +
                "=Copy test document;program.exe \"%1\";program.exe,1|"
                "\t" +
                Extension + "b;" + ProgId("B") + "=Copy test log;{null};program.exe,2;{textedit}|" +
                Extension + "c;NoDescription;program.exe;program.exe\n");
    WriteArchive("setup.fil", {{"program.exe", std::string(3000, 'P')},
                               {"docs/", ""},
                               {"docs/readme.txt", "read me"},
                               {"logs/dummy.tmp", ""},
                               {"Data/Sample.DB", std::string(1000, 'D')}});
    WriteArchive("custom.fil", {{"site.ini", "[site]"}});
    WriteFile(Package / "extra.dat", "from the package");
    const std::string service = PlaceService();
    WriteFile(Target / "extra.dat", "old");
    SetFileAttributesA((Target / "extra.dat").string().c_str(), FILE_ATTRIBUTE_READONLY);

    RobotProcess wizard_process = StartWizard("-MODE 2");
    const Window wizard = WaitForWizard(wizard_process);
    WaitUntilCopied(wizard);

    // The page as the user sees it when copying is complete.
    EXPECT_TRUE(waitUntil([&] {
        return PageControl(wizard, 201).text() == LibraryText(IDS_COPY_STATUS_COMPLETE);
    })) << PageControl(wizard, 201).text();
    EXPECT_EQ(ProgressPosition(wizard), 100);
    EXPECT_EQ(wizard.child(IDC_WIZARD_TITLE).text(), LibraryText(IDS_COPY_TITLE));
    EXPECT_FALSE(wizard.child(IDC_WIZARD_BACK).isEnabled());
    EXPECT_TRUE(wizard.child(IDCANCEL).isEnabled());
    EXPECT_TRUE(waitUntil([&] { return focusedControl(wizard) == wizard.child(IDC_WIZARD_NEXT); }))
        << "Next gets the focus: " << focusedControl(wizard).describe();
    EXPECT_TRUE(GetWindowLongA(wizard.child(IDC_WIZARD_NEXT).handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
    Screenshot(wizard, "copied");

    Button(wizard.child(IDC_WIZARD_NEXT)).click();
    const Window finish = wizard.child(IDCANCEL);
    ASSERT_TRUE(waitUntil([&] { return finish.text() == LibraryText(IDS_FINISH_BUTTON); })) << finish.text();
    Screenshot(wizard, "finish");
    Button(finish).click();
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 1u);

    // Files: both archives, the placeholder's folder without the placeholder, the extra file replaced.
    EXPECT_EQ(ReadFile(Target / "program.exe"), std::string(3000, 'P'));
    EXPECT_EQ(ReadFile(Target / "docs" / "readme.txt"), "read me");
    EXPECT_EQ(ReadFile(Target / "Data" / "Sample.DB"), std::string(1000, 'D'));
    EXPECT_EQ(ReadFile(Target / "site.ini"), "[site]");
    EXPECT_TRUE(fs::is_directory(Target / "logs"));
    EXPECT_FALSE(fs::exists(Target / "logs" / "dummy.tmp"));
    EXPECT_EQ(ReadFile(Target / "extra.dat"), "from the package");
    EXPECT_EQ(GetFileAttributesA((Target / "extra.dat").string().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    // The uninstall entry: every value, written in this order.
    const PAIRS expected{
        {"DisplayName", "Copy Test 2.5"},
        {"DisplayVersion", "2.5"},
        {"DisplayIcon", InstallDir() + "\\program.exe"},
        {"Publisher", "Orvik"},
        {"URLInfoAbout", "https://www.orvik.example/"},
        {"AppName", APPNAME},
        {"Version", "2.5"},
        {"UninstallString", "\"" + InstallDir() + "\\Setup.exe\" -remove \"" + IniKey + "\""},
        {"UninstallFiles", "program.exe|docs/|docs/readme.txt|Data/Sample.DB|site.ini"},
        {"UninstallPath", InstallDir()},
        {"UninstallRootClasses", Extension + "a|" + ProgId("A") + "|" + Extension + "b|" + ProgId("B")},
        {"UninstallProtect", "*.ini"},
        {"UninstallFirewall", "program.exe"},
        {"UninstallEmail", "feedback@testzip.example;Copy Test"}};
    // Then what the program list and deployment tools read: EstimatedSize counts the members and the
    // CopyToDest file, 4,029 bytes, in whole KiB.
    SYSTEMTIME today = {};
    GetLocalTime(&today);
    char date[16] = {};
    snprintf(date, sizeof date, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    const std::string uninstall = "\"" + InstallDir() + "\\Setup.exe\" -remove \"" + IniKey + "\"";
    PAIRS all = expected;
    all.insert(all.end(), {{"InstallLocation", InstallDir()},
                           {"EstimatedSize", "dword:4"},
                           {"QuietUninstallString", uninstall + " /VERYSILENT"},
                           {"NoModify", "dword:1"},
                           {"NoRepair", "dword:1"},
                           {"InstallDate", date}});
    EXPECT_EQ(SortedByName(UninstallEntry()), SortedByName(all));
    EXPECT_TRUE(InOrder(Log(), WriteLines(expected)));
    EXPECT_TRUE(InOrder(Log(), {WriteLines(expected).back(), WriteLines({all[expected.size()]}).front(),
                                WriteLines({all.back()}).front()}))
        << "after the values above";

    // File types: an open command for the first, "{null}" and "{textedit}" for the second, none for the
    // third.
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, Extension + "a"), ProgId("A"));
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, ProgId("A")), "Copy test document");
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, ProgId("A") + "\\DefaultIcon"),
              InstallDir() + "\\program.exe,1");
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, ProgId("A") + "\\Shell\\open\\command"),
              InstallDir() + "\\program.exe \"%1\"");
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, ProgId("A") + "\\Shell\\edit\\command"), std::nullopt);
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, Extension + "b"), ProgId("B"));
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, ProgId("B") + "\\DefaultIcon"),
              InstallDir() + "\\program.exe,2");
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, ProgId("B") + "\\Shell\\open\\command"), std::nullopt);
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, ProgId("B") + "\\Shell\\edit\\command"), "notepad %1");
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, Extension + "c"), std::nullopt);

    // The service was stopped before and started after copying, each time in the install directory.
    EXPECT_EQ(stubcalls::Arguments(service), (ARGS{{"/STOP"}, {"/START"}}));
    for (const stubcalls::CALL& call : stubcalls::Read(service))
        EXPECT_TRUE(fs::equivalent(call.WorkingDirectory, Target)) << call.WorkingDirectory;
    EXPECT_TRUE(InOrder(Log(), {"SETUP::ActualCopy Application Service was stopped\r\n",
                                "SETUP::ActualCopy Application Service was restarted\r\n"}));

    // The hooks: start with the progress bar and the install mode, end with the install directory.
    EXPECT_TRUE(InOrder(Record(), {"NewSetupHook 7 0 #32770 msctls_progress32 0 2\n",
                                   "SetupHook 8 " + InstallDir() + "\n",
                                   "NewSetupHook 8 0 #32770 msctls_progress32 0 0\n", "copy page 149\n",
                                   "finish page shown\n", "wizard 1\n"}));
}

TEST_F(CopyStepUi, WithoutCustomArchiveOrIniKeyCopiesSetupFilOnlyAndWritesNoEntry) {
    WriteConfig("AppVersion=1.0\nUninstallEmail=nobody\n");
    WriteArchive("setup.fil", {{"only.txt", "setup.fil"}});

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    WaitUntilCopied(wizard);
    EXPECT_EQ(ProgressPosition(wizard), 100);
    Screenshot(wizard, "copied");
    Button(wizard.child(IDC_WIZARD_NEXT)).click();
    ASSERT_TRUE(waitUntil([&] { return Record().find("finish page shown") != std::string::npos; }))
        << Record();
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 1u);

    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(Target))
        files.push_back(fs::relative(entry.path(), Target).generic_string());
    EXPECT_EQ(files, std::vector<std::string>{"only.txt"});
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY + IniKey));
    EXPECT_TRUE(InOrder(
        Record(), {"NewSetupHook 7 0 #32770 msctls_progress32 0 0\n", "SetupHook 8 ", "NewSetupHook 8 "}));
    EXPECT_EQ(Log().find("Application Service"), std::string::npos) << "no service.exe, nothing to stop";
}

TEST_F(CopyStepUi, RetryAnsweredYesThenNoAbandonsTheCopyAndKeepsThePage) {
    // NoCopyComplete would move on by itself after a complete copy; an abandoned one must stay.
    WriteConfig("AppVersion=3.0\nIniKey=" + IniKey + "\nNoCopyComplete=1\n");
    WriteArchive("setup.fil", {{"first.txt", "1"}, {"busy/file.txt", "2"}, {"last.txt", "3"}});
    WriteArchive("custom.fil", {{"custom.txt", "4"}});
    const std::string service = PlaceService();
    fs::create_directories(Target / "busy" / "file.txt"); // a folder where the member's file must go

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    const WindowFinder finder(wizard_process);

    const MessageBoxWindow first =
        MessageBoxWindow::waitFor(finder, LibraryText(IDS_MSGBOX_TITLE), COPY_TIMEOUT);
    EXPECT_NE(first.message().find("busy/file.txt"), std::string::npos) << first.message();
    EXPECT_NE(first.message().find(APPNAME), std::string::npos) << first.message();
    EXPECT_EQ(first.buttons(), (std::vector<std::string>{"Yes", "No"}));
    Screenshot(first.window(), "question");
    first.answer("Yes");

    const MessageBoxWindow second =
        MessageBoxWindow::waitFor(finder, LibraryText(IDS_MSGBOX_TITLE), COPY_TIMEOUT);
    EXPECT_NE(second.message().find("busy/file.txt"), std::string::npos) << second.message();
    second.answer("No");

    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDC_WIZARD_BACK).isEnabled(); }, COPY_TIMEOUT));
    Sleep(1000); // room for a wrong move to the next page
    EXPECT_TRUE(wizard.child(IDC_WIZARD_BACK).isEnabled());
    EXPECT_FALSE(wizard.child(IDC_WIZARD_NEXT).isEnabled());
    EXPECT_EQ(wizard.child(IDC_WIZARD_TITLE).text(), LibraryText(IDS_COPY_TITLE)) << "still the copy page";
    EXPECT_EQ(PageControl(wizard, 201).text(), LibraryText(IDS_COPY_STATUS_UNDONE)) << "not still copying";
    EXPECT_EQ(ProgressPosition(wizard), 33) << "one byte of three was copied";
    Screenshot(wizard, "abandoned");

    EXPECT_FALSE(fs::exists(Target / "first.txt")) << "the abandoned copy is undone";
    EXPECT_TRUE(fs::is_directory(Target / "busy" / "file.txt")) << "what was there before stays";
    EXPECT_FALSE(fs::exists(Target / "last.txt"));
    EXPECT_FALSE(fs::exists(Target / "custom.txt"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY + IniKey));
    EXPECT_EQ(stubcalls::Arguments(service), (ARGS{{"/STOP"}, {"/START"}}))
        << "the undone copy leaves the earlier version's service running, as it was";
    EXPECT_EQ(Record().find("SetupHook 8"), std::string::npos) << Record();

    // Back leaves the page; then the user quits.
    Button(wizard.child(IDC_WIZARD_BACK)).click();
    ASSERT_TRUE(waitUntil([&] { return Record().find("page before shown") != std::string::npos; }))
        << Record();
    Button(wizard.child(IDCANCEL)).click();
    const MessageBoxWindow quit(WaitForBox(finder, Caption(), wizard));
    EXPECT_EQ(quit.buttons(), (std::vector<std::string>{"Yes", "No"}));
    quit.answer("No");
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 0u);
    EXPECT_TRUE(
        InOrder(Record(), {"NewSetupHook 7 ", "copy page 148\n", "page before shown\n", "wizard 0\n"}));
}

TEST_F(CopyStepUi, ADamagedMemberStopsTheCopyWithItsOwnMessageInsteadOfARetryLoop) {
    WriteConfig("AppVersion=3.0\nIniKey=" + IniKey + "\nNoCopyComplete=1\n");
    WriteArchive(
        "setup.fil",
        {{"first.txt", "1"}, {"broken.txt", "the bytes of this member get damaged"}, {"last.txt", "3"}});
    // Stored members: their data stands in the archive as it is, so one flipped byte breaks the CRC.
    std::string archive = ReadFile(Package / "setup.fil");
    const size_t data = archive.find("the bytes of this member");
    ASSERT_NE(data, std::string::npos);
    archive[data + 4] ^= 0x20;
    WriteFile(Package / "setup.fil", archive);

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    const WindowFinder finder(wizard_process);
    const MessageBoxWindow box =
        MessageBoxWindow::waitFor(finder, LibraryText(IDS_MSGBOX_TITLE), COPY_TIMEOUT);
    std::string expected = LibraryText(IDS_ERR_ARCHIVE_DAMAGED);
    expected.replace(expected.find("$FILE"), 5, "broken.txt");
    EXPECT_EQ(Words(box.message()), Words(expected)) << "the box reflows the text";
    EXPECT_EQ(box.buttons(), (std::vector<std::string>{"OK"})) << "no retry: trying again cannot mend it";
    Screenshot(box.window(), "damaged");
    box.answer("OK");

    // Going back cannot mend the package: the page says it is damaged and offers only to close Setup.
    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).text() == LibraryText(IDS_CLOSE_BUTTON); },
                          COPY_TIMEOUT))
        << "Cancel becomes Close";
    EXPECT_FALSE(wizard.child(IDC_WIZARD_BACK).isEnabled());
    EXPECT_FALSE(wizard.child(IDC_WIZARD_NEXT).isEnabled());
    EXPECT_EQ(PageControl(wizard, 201).text(), LibraryText(IDS_COPY_STATUS_DAMAGED));
    Screenshot(wizard, "close-only");
    EXPECT_FALSE(fs::exists(Target / "last.txt")) << "the copy stopped at the damaged member";
    EXPECT_FALSE(fs::exists(Target / "first.txt")) << "and was undone";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY + IniKey));
    pressEscape(wizard); // Escape is Close too, and asks nothing
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 0u);
    EXPECT_TRUE(InOrder(Record(), {"copy page 0\n", "wizard 0\n"}));
}

// Cancel while copying, pressed twice in a hurry: the question comes once; Yes goes on copying, No stops the
// copy at the next member and undoes it, and Setup ends without asking again.
TEST_F(CopyStepUi, CancelWhileCopyingAsksOnceAndNoStopsAtTheNextMemberAndUndoesTheCopy) {
    WriteConfig("AppVersion=3.0\nIniKey=" + IniKey + "\nNoCopyComplete=1\n");
    std::vector<testzip::MEMBER> members;
    std::string data(64 * 1024, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (int i = 0; i < 600; i++)
        members.push_back({"data/member" + std::to_string(1000 + i) + ".bin", data});
    WriteArchive("setup.fil", members);
    const std::string service = PlaceService();
    WriteFile(Target / "service.stopdelay", "1500"); // the copy waits for the service to stop first

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    const WindowFinder finder(wizard_process);
    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).isEnabled(); }, COPY_TIMEOUT))
        << "Cancel is offered while copying";
    wizardui::PressTwice(wizard.child(IDCANCEL));
    MessageBoxWindow(WaitForBox(finder, Caption(), wizard)).answer("Yes");
    Sleep(300);
    EXPECT_EQ(wizardui::BoxCount(finder, wizard), 0) << "asked once";

    clickCloseBox(wizard);
    const MessageBoxWindow question(WaitForBox(finder, Caption(), wizard));
    EXPECT_EQ(Words(question.message()), Words(LibraryText(IDS_ASK_CONTINUE_SETUP)));
    ASSERT_TRUE(waitUntil([&] { return fs::exists(Target / "data" / "member1000.bin"); }, COPY_TIMEOUT))
        << "the copy goes on while the question is open";
    Screenshot(question.window(), "question");
    question.answer("No");
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 0u) << "ended without a second question";

    EXPECT_FALSE(fs::exists(Target / "data" / "member1000.bin")) << "the copy is undone";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY + IniKey));
    EXPECT_EQ(stubcalls::Arguments(service), (ARGS{{"/STOP"}, {"/START"}})) << "the service runs again";
    EXPECT_NE(Log().find("SETUP::ActualCopy cancelled by the user before data/member1"), std::string::npos)
        << "stopped at a member";
    EXPECT_TRUE(InOrder(Record(), {"copy page 0\n", "wizard 0\n"}));
    EXPECT_EQ(Record().find("SetupHook 8"), std::string::npos) << Record();
}

TEST_F(CopyStepUi, NoCopyCompleteMovesOnByItselfAndAServiceThatDidNotStopIsNotRestarted) {
    WriteConfig("AppVersion=4.0\nIniKey=" + IniKey + "\nNoCopyComplete=1\nUninstallEmail=no separator\n");
    WriteArchive("setup.fil", {{"app.txt", "app"}});
    const std::string service = PlaceService(1);

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    ASSERT_TRUE(waitUntil(
        [&] { return wizard.child(IDC_WIZARD_TITLE).text() == LibraryText(IDS_FINISH_TITLE); }, COPY_TIMEOUT))
        << "the wizard did not move on: " << wizard.child(IDC_WIZARD_TITLE).text();
    Screenshot(wizard, "moved-on");
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 1u);

    EXPECT_TRUE(InOrder(Record(), {"copy page 149\n", "finish page shown\n", "wizard 1\n"}));
    EXPECT_EQ(stubcalls::Arguments(service), (ARGS{{"/STOP"}}));
    EXPECT_EQ(Log().find("Application Service was"), std::string::npos);

    const PAIRS entry = UninstallEntry();
    EXPECT_EQ(entry.size(), 12u + 6u) << "no UninstallFirewall, no UninstallEmail without \";\"";
    EXPECT_EQ(ValueOf(entry, "UninstallFiles"), "app.txt");
    EXPECT_EQ(ValueOf(entry, "UninstallEmail"), std::nullopt);
    EXPECT_EQ(ValueOf(entry, "UninstallFirewall"), std::nullopt);
}

TEST_F(CopyStepUi, AnArchiveWithoutContentsIsReportedAndTheCopyStillCompletes) {
    WriteConfig("IniKey=" + IniKey + "\n");
    WriteArchive("setup.fil", {{"empty/", ""}, {"zero.txt", ""}});

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    WaitUntilCopied(wizard);
    EXPECT_EQ(ProgressPosition(wizard), 100);
    Screenshot(wizard, "copied");
    Button(wizard.child(IDC_WIZARD_NEXT)).click();
    ASSERT_TRUE(waitUntil([&] { return Record().find("finish page shown") != std::string::npos; }))
        << Record();
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 1u);

    EXPECT_NE(ReadFile(Package / "assert.log").find("total>0"), std::string::npos)
        << ReadFile(Package / "assert.log");
    EXPECT_TRUE(fs::is_directory(Target / "empty"));
    EXPECT_EQ(fs::file_size(Target / "zero.txt"), 0u);
    EXPECT_EQ(ValueOf(UninstallEntry(), "UninstallFiles"), "empty/|zero.txt");
}

TEST_F(CopyStepUi, AFullDiskIsNamedAsTheReasonAndYesAfterFreeingSpaceCompletesTheCopy) {
    REQUIRE_SMALL_DRIVE();
    constexpr size_t MB = 1024 * 1024;
    Target = fs::path(smalldrive::ROOT) / "Copy Test";
    WriteConfig("AppVersion=1.0\nIniKey=" + IniKey + "\nNoCopyComplete=1\n");
    WriteArchive("setup.fil",
                 {{"first.bin", std::string(MB, '1')}, {"second.bin", std::string(2 * MB, '2')}});
    smalldrive::FILLER filler(3 * MB / 2); // the first file fits, the second does not

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    const MessageBoxWindow question =
        ExpectRetryQuestion(wizard_process, "second.bin", ERROR_DISK_FULL, "disk-full");
    filler.Shorten(2 * MB); // the user makes room, then tries again
    RetryAndFinish(question, wizard, wizard_process);

    EXPECT_EQ(fs::file_size(Target / "first.bin"), MB);
    EXPECT_EQ(ReadFile(Target / "second.bin"), std::string(2 * MB, '2'));
    EXPECT_EQ(ValueOf(UninstallEntry(), "UninstallFiles"), "first.bin|second.bin");
    EXPECT_NE(Log().find("SETUP::ActualCopy cannot write second.bin: error 112"), std::string::npos) << Log();
    smalldrive::Clear();
}

TEST_F(CopyStepUi, AFileInUseIsNamedAsTheReasonAndYesAfterClosingItCompletesTheCopy) {
    WriteConfig("AppVersion=1.0\nIniKey=" + IniKey + "\nNoCopyComplete=1\n");
    WriteArchive("setup.fil", {{"app.txt", "app"}, {"shared.dll", "new"}});
    WriteFile(Target / "shared.dll", "old");
    // Another program holds the file open and lets nobody else write it.
    HANDLE held = CreateFileA((Target / "shared.dll").string().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    const MessageBoxWindow question =
        ExpectRetryQuestion(wizard_process, "shared.dll", ERROR_SHARING_VIOLATION, "file-in-use");
    CloseHandle(held); // the other program ends
    RetryAndFinish(question, wizard, wizard_process);
    EXPECT_EQ(ReadFile(Target / "shared.dll"), "new");
    EXPECT_FALSE(fs::exists(Target / ".setup-backup-1"))
        << "the earlier file's backup goes with a complete copy";
    EXPECT_EQ(ValueOf(UninstallEntry(), "UninstallFiles"), "app.txt|shared.dll");
}

namespace {

// One way a copy ends unsuccessfully: the member at which it stops, over an earlier version or into a
// destination without one, and whether the write fails (the user answers the question No) or the member is
// damaged.
struct ROLLBACKCASE {
    const char* Name;
    const char* Member; // "app.exe" first, "docs/readme.txt" in the middle, "custom.ini" last (custom.fil)
    bool Update;
    bool Damaged;
};

void PrintTo(const ROLLBACKCASE& test, std::ostream* out) {
    *out << test.Name;
}

// Everything of the destination that a user could tell apart: the names and attributes of every file and
// folder, hidden ones too, and each file's bytes and time.
std::vector<std::string> TreeSnapshot(const fs::path& root) {
    std::vector<std::string> entries;
    std::error_code missing;
    for (const auto& entry : fs::recursive_directory_iterator(root, missing)) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(entry.path().wstring().c_str(), GetFileExInfoStandard, &data);
        std::ostringstream line;
        line << fs::relative(entry.path(), root).generic_string() << " attributes=" << data.dwFileAttributes;
        // A folder's time changes with every file made or removed in it; a file's must not.
        if (!entry.is_directory())
            line << " written=" << data.ftLastWriteTime.dwHighDateTime << ":"
                 << data.ftLastWriteTime.dwLowDateTime << " bytes=" << ReadFile(entry.path());
        entries.push_back(line.str());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

class CopyRollback : public CopyStep, public testing::WithParamInterface<ROLLBACKCASE> {
protected:
    void SetUp() override {
        CopyStep::SetUp();
        Root =
            fs::path("Q:\\") / ("rollback-" + std::to_string(GetCurrentProcessId()) + "-" + GetParam().Name);
        RemoveTree(Root);
        Target = Root / "Copy Test";
    }
    void TearDown() override {
        RemoveTree(Root);
        CopyStep::TearDown();
    }

    std::string FileTypeKey(const char* suffix) const { return ProgId("A") + suffix; }

    // The earlier version: its files (one read-only, one hidden, one the user made), its uninstall entry and
    // its file type, each with other data than the update brings.
    void InstallEarlierVersion() const {
        WriteFile(Target / "App.exe",
                  "earlier app"); // the member is "app.exe": the name comes back as it was
        WriteFile(Target / "docs" / "readme.txt", "earlier readme, longer than the new one");
        WriteFile(Target / "lib" / "old.dll", "kept");
        WriteFile(Target / "custom.ini", "[earlier]");
        WriteFile(Target / "user.dat", "the user's own");
        SetFileAttributesA((Target / "App.exe").string().c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA((Target / "docs" / "readme.txt").string().c_str(), FILE_ATTRIBUTE_HIDDEN);
        HKEY entry = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (UNINSTALL_KEY + IniKey).c_str(), &entry), ERROR_SUCCESS);
        RegSetValueExA(entry, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>("Copy Test 1.0"), 14);
        RegSetValueExA(entry, "UninstallFiles", 0, REG_SZ, reinterpret_cast<const BYTE*>("app.exe"), 8);
        const DWORD size = 7;
        RegSetValueExA(entry, "EstimatedSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size),
                       sizeof size);
        RegCloseKey(entry);
        ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, (Extension + "a").c_str(), REG_SZ, ProgId("A").c_str(), 0),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ProgId("A").c_str(), REG_SZ, "Earlier document", 0),
                  ERROR_SUCCESS);
    }

    // What the run may touch besides the files: the uninstall entry and every key of the file type.
    std::vector<std::string> RegistrySnapshot() const {
        std::vector<std::string> lines;
        for (const auto& [name, text] : SortedByName(UninstallEntry()))
            lines.push_back("entry " + name + "=" + text);
        for (const std::string& key :
             {Extension + "a", ProgId("A"), FileTypeKey("\\DefaultIcon"), FileTypeKey("\\Shell"),
              FileTypeKey("\\Shell\\open"), FileTypeKey("\\Shell\\open\\command")})
            lines.push_back(key + " " + DefaultValue(HKEY_CLASSES_ROOT, key).value_or("<no key>"));
        return lines;
    }

    fs::path Root;
};

} // namespace

TEST_P(CopyRollback, LeavesTheDestinationAndTheRegistryAsTheyWere) {
    const ROLLBACKCASE& test = GetParam();
    WriteConfig("AppVersion=2.0\nIniKey=" + IniKey + "\nFileTypes=" + Extension + "a;" + ProgId("A") +
                "=Copy test document;app.exe \"%1\";app.exe,1\n");
    WriteArchive("setup.fil", {{"app.exe", "new app"},
                               {"docs/", ""},
                               {"docs/readme.txt", "new readme"},
                               {"lib/new/added.dll", "added"},
                               {"logs/dummy.tmp", ""},
                               {"last.txt", "last of setup.fil"}});
    WriteArchive("custom.fil", {{"custom.ini", "[new]"}});
    if (test.Damaged) {
        const std::string archivename = std::string(test.Member) == "custom.ini" ? "custom.fil" : "setup.fil";
        std::string archive = ReadFile(Package / archivename);
        const size_t data = archive.rfind(std::string(test.Member) == "custom.ini" ? "[new]" : "new ");
        ASSERT_NE(data, std::string::npos);
        archive[data + 1] ^= 0x20; // stored data: the CRC no longer matches
        WriteFile(Package / archivename, archive);
    }
    if (test.Update)
        InstallEarlierVersion();
    if (!test.Update && !test.Damaged)
        fs::create_directories(Target / test.Member); // a folder where the member's file must go
    const std::vector<std::string> tree = TreeSnapshot(Target);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (test.Update && !test.Damaged) {
        // Another program holds the earlier file open and lets nobody else write, move or delete it.
        held = CreateFileA((Target / test.Member).string().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    const std::vector<std::string> registry = RegistrySnapshot();
    const bool existed = fs::exists(Target);

    RobotProcess wizard_process = StartWizard();
    const Window wizard = WaitForWizard(wizard_process);
    const WindowFinder finder(wizard_process);
    const MessageBoxWindow box =
        MessageBoxWindow::waitFor(finder, LibraryText(IDS_MSGBOX_TITLE), COPY_TIMEOUT);
    EXPECT_NE(box.message().find(test.Member), std::string::npos) << box.message();
    Screenshot(box.window(), "stopped");
    box.answer(test.Damaged ? "OK" : "No");
    // After a damaged package only Close is left; after a file that could not be written, Back tries again.
    if (test.Damaged)
        ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).text() == LibraryText(IDS_CLOSE_BUTTON); },
                              COPY_TIMEOUT));
    else
        ASSERT_TRUE(waitUntil([&] { return wizard.child(IDC_WIZARD_BACK).isEnabled(); }, COPY_TIMEOUT));
    EXPECT_FALSE(wizard.child(IDC_WIZARD_NEXT).isEnabled());
    Screenshot(wizard, "undone");
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);

    // The machine as it was: the same tree (no backup folder left in it, no new file or folder) or none at
    // all, the same uninstall entry and file type.
    EXPECT_EQ(fs::exists(Target), existed);
    EXPECT_EQ(TreeSnapshot(Target), tree);
    EXPECT_EQ(RegistrySnapshot(), registry);
    EXPECT_TRUE(InOrder(Log(), {"SETUP::Rollback undoing"})) << Log();

    Button(wizard.child(IDCANCEL)).click();
    if (!test.Damaged) // Close asks nothing
        MessageBoxWindow(WaitForBox(finder, Caption(), wizard)).answer("No");
    EXPECT_EQ(wizard_process.exitCode(COPY_TIMEOUT), 0u);
}

INSTANTIATE_TEST_SUITE_P(Ends, CopyRollback,
                         testing::Values(ROLLBACKCASE{"FreshFirst", "app.exe", false, false},
                                         ROLLBACKCASE{"FreshMiddle", "docs/readme.txt", false, false},
                                         ROLLBACKCASE{"FreshLast", "custom.ini", false, false},
                                         ROLLBACKCASE{"UpdateFirst", "app.exe", true, false},
                                         ROLLBACKCASE{"UpdateMiddle", "docs/readme.txt", true, false},
                                         ROLLBACKCASE{"UpdateLast", "custom.ini", true, false},
                                         ROLLBACKCASE{"FreshDamagedLast", "custom.ini", false, true},
                                         ROLLBACKCASE{"UpdateDamagedMiddle", "docs/readme.txt", true, true}),
                         [](const testing::TestParamInfo<ROLLBACKCASE>& info) {
                             return std::string(info.param.Name);
                         });
