// Names in every script, for real under Wine, in a prefix of its own whose user is "Łukasz 山田" (so TEMP,
// the start menu and the desktop lie below "C:\users\Łukasz 山田"): DemoPad installed by the UI robot into
// "Q:\Programme\Ärger & Δ 山田" with a start-menu folder and a link of such names, and with three more
// members, one stored with the UTF-8 flag, one with a name in code page 437 and one whose name is longer than
// 260 bytes. Everything is read back through the wide (UTF-16) calls of Windows, as any other program would
// see it, DemoPad is started from its start-menu link as the shell starts it, then all is uninstalled. A
// second test shows that a setup.cfg in code page 1252 and one in UTF-8 put the same texts on the pages.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/common/wizard_helpers.h"
#include "tests/common/ziparchive.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

using namespace uirobot;
using wizardui::PageItem;
using wizardui::Subtitle;

namespace {

constexpr Milliseconds kTimeout{60000};

const std::string kUser = "Łukasz 山田";
const std::string kDestination = "Q:\\Programme\\Ärger & Δ 山田";
const std::string kStartmenuName = "Orvik Ärger Δ 山田";
const std::string kLinkName = "Lies mich 山田";
const std::string kFlaggedMember = "docs/Ölkännchen 山.txt";
const std::string kCp437Member = "docs/Gr\x81\xE1"
                                 "e.txt";                   // "Grüße.txt" in code page 437
// An MS-DOS name with lower-case letters in it keeps its case: only names wholly in upper case are lowered.
const std::string kCp437MemberAsUnicode = "docs/Grüße.txt";
const std::string kLongFolder = "docs/長い名前のフォルダ";
// 84 characters but 244 bytes of UTF-8: the whole member name is longer than 260 bytes.
std::string LongFileName() {
    std::string name;
    for (int i = 0; i < 80; ++i)
        name += "山";
    return name + ".txt";
}
const std::string kIniKey = "OrvikDemoPad";
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvikDemoPad";

// ---- the machine read through the wide calls
// ----------------------------------------------------------------

std::wstring W(const std::string& utf8) {
    return toWide(utf8);
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWhole(const std::string& path) {
    HANDLE file =
        CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<cannot open " + path + ">";
    std::string data;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        data.append(chunk, got);
    CloseHandle(file);
    return data;
}

void WriteWhole(const std::string& path, const std::string& data) {
    HANDLE file = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return toUtf8(path);
}

// A text value of the uninstall entry; "<absent>" when it is not there.
std::string EntryValue(const wchar_t* name) {
    wchar_t value[4096] = L"";
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return "<absent>";
    return toUtf8(value);
}

bool EntryExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The target of a shell link: the item it names (its ID list), as the shell resolves it. (The link's 8-bit
// copy of the path is written in the writer's code page: UTF-8 from setup.exe, which Wine's reader in a
// program of another code page reads as that code page.)
std::string LinkTarget(const std::string& link) {
    IShellLinkW* shelllink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shelllink))))
        return "<no shell link object>";
    std::string target = "<not loadable: " + link + ">";
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shelllink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t path[MAX_PATH] = L"";
        PIDLIST_ABSOLUTE item = nullptr;
        if (SUCCEEDED(file->Load(W(link).c_str(), STGM_READ)) && SUCCEEDED(shelllink->GetIDList(&item)) &&
            item && SHGetPathFromIDListW(item, path))
            target = toUtf8(path);
        CoTaskMemFree(item);
        file->Release();
    }
    shelllink->Release();
    return target;
}

// Opens a shell link as the shell opens a link item: its default command, without error dialogs.
bool OpenLink(const std::string& link) {
    IShellLinkW* shelllink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shelllink))))
        return false;
    bool opened = false;
    IPersistFile* file = nullptr;
    IContextMenu* menu = nullptr;
    if (SUCCEEDED(shelllink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(W(link).c_str(), STGM_READ)) &&
        SUCCEEDED(shelllink->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)))) {
        HMENU popup = CreatePopupMenu();
        menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_DEFAULTONLY);
        CMINVOKECOMMANDINFO command = {};
        command.cbSize = sizeof command;
        command.fMask = CMIC_MASK_FLAG_NO_UI;
        command.lpVerb = MAKEINTRESOURCEA(0); // the default command
        command.nShow = SW_SHOWNORMAL;
        opened = SUCCEEDED(menu->InvokeCommand(&command));
        DestroyMenu(popup);
    }
    if (menu)
        menu->Release();
    if (file)
        file->Release();
    shelllink->Release();
    return opened;
}

// The names in a folder, as FindFirstFileW lists them.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(W(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(toUtf8(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The image a process was started from; empty when it cannot be asked.
std::string ProcessImage(DWORD processid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processid);
    if (!process)
        return {};
    wchar_t path[1024] = L"";
    DWORD size = 1024;
    const bool known = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    return known ? toUtf8(path) : std::string();
}

Window WaitForWindow(const std::string& title, const Window& except = Window()) {
    return waitForWindowTitled(title, except, kTimeout);
}

// ---- the package
// ----------------------------------------------------------------------------------------------

std::string Msg(int id) {
    return LibraryString(std::string(ORVIK_SETUP_BIN_DIR) + "/setupenglish.dll", id);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The lines of a setup.cfg with the value of key replaced (the key's line must be there).
std::string WithValue(const std::string& config, const std::string& key, const std::string& value) {
    const size_t at = config.find("\n" + key + "=");
    EXPECT_NE(at, std::string::npos) << key;
    if (at == std::string::npos)
        return config;
    const size_t end = config.find('\n', at + 1);
    return config.substr(0, at + 1) + key + "=" + value + config.substr(end);
}

// DemoPad's package in a folder of drive Q:, with setup.exe and its libraries beside it.
class PACKAGE {
public:
    PACKAGE() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Folder = "Q:\\package-" + std::to_string(stamp);
        CreateDirectoryW(W(Folder).c_str(), nullptr);
        for (const char* file : {"setup.exe", "setupenglish.dll", "setupgerman.dll"})
            Copy(std::string(ORVIK_SETUP_BIN_DIR) + "/" + file, file);
        for (const char* file : {"setup.cfg", "setup.fil", "custom.fil", "advert.cfg", "LICENSE.TXT",
                                 "LIZENZ.TXT", "LICENSEFR.TXT"})
            Copy(std::string(DEMO_PACKAGE_DIR) + "/" + file, file);
    }
    ~PACKAGE() {
        std::wstring from = W(Folder);
        from.push_back(L'\0');
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationW(&operation);
    }
    PACKAGE(const PACKAGE&) = delete;
    PACKAGE& operator=(const PACKAGE&) = delete;

    std::string File(const std::string& name) const { return Folder + "\\" + name; }
    std::string Config() const { return ReadWhole(File("setup.cfg")); }

    std::string Folder;

private:
    void Copy(const std::string& from, const char* name) const {
        EXPECT_TRUE(CopyFileW(W(from).c_str(), W(File(name)).c_str(), FALSE)) << from;
    }
};

// custom.fil with DemoPad's own members and the two of this test.
void WriteCustomArchive(const PACKAGE& package) {
    std::vector<testzip::MEMBER> members;
    std::string list = DEMO_CUSTOM_MEMBERS;
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find('|', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(start, end - start);
        const size_t equals = entry.find('=');
        const std::string source = equals == std::string::npos ? "" : entry.substr(equals + 1);
        members.push_back({entry.substr(0, equals), source.empty() ? "" : ReadWhole("Z:" + source)});
        start = end + 1;
    }
    members.push_back({kFlaggedMember, "stored with the UTF-8 flag\r\n", 0x0800, 3});
    members.push_back({kCp437Member, "stored in code page 437\r\n", 0, 0});
    members.push_back({kLongFolder + "/" + LongFileName(), "a long name\r\n", 0x0800, 3});
    ASSERT_TRUE(testzip::WriteZip(package.File("custom.fil"), members));
}

std::string ScreenshotRoot() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(INTL_SCREENSHOT_ROOT) + "/" + info->test_suite_name() + "." + info->name();
}

void Screenshot(const Window& window, const std::string& name) {
    const ScreenshotFolder folder(ScreenshotRoot());
    EXPECT_TRUE(Exists(folder.save(captureWindow(window), name)));
}

void Next(const Window& wizard) {
    ASSERT_TRUE(waitUntil([&] { return wizard.child(149).isEnabled(); }, kTimeout));
    Button(wizard.child(149)).click();
}

void WaitForPage(const Window& wizard, int title) {
    wizardui::WaitForPage(wizard, Msg(title), kTimeout);
}

Window WaitForWizard(const RobotProcess& setup) {
    return WindowFinder(setup).waitFor(WindowQuery::titled(Replaced(Msg(2900), "Orvik", "DemoPad")),
                                       kTimeout);
}

// Closes the shell's windows on a folder and waits for their processes to end: until then the shell keeps
// the folder open.
void CloseFolderWindows(const std::string& title) {
    std::vector<HANDLE> shells;
    for (const Window& window : windowsTitled(title)) {
        if (HANDLE shell = OpenProcess(SYNCHRONIZE, FALSE, window.processId()))
            shells.push_back(shell);
        postMessage(window, WM_CLOSE);
    }
    waitUntil([&] { return windowsTitled(title).empty(); }, kTimeout);
    for (HANDLE shell : shells) {
        WaitForSingleObject(shell, static_cast<DWORD>(kTimeout.count()));
        CloseHandle(shell);
    }
}

class COMSCOPE {
public:
    COMSCOPE() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~COMSCOPE() { CoUninitialize(); }
};

} // namespace

TEST(UnicodeNames, TheTestRunsAsAUserWithSuchAName) {
    wchar_t name[256] = L"";
    DWORD size = 256;
    ASSERT_TRUE(GetUserNameW(name, &size));
    EXPECT_EQ(toUtf8(name), kUser);
    EXPECT_NE(ShellFolder(CSIDL_PROGRAMS).find(kUser), std::string::npos) << ShellFolder(CSIDL_PROGRAMS);
}

TEST(UnicodeNames, DemoPadInstallsUnderSuchNamesAndIsRemovedAgain) {
    const DisplayLock display;
    const COMSCOPE com;
    PACKAGE package;
    std::string config = package.Config();
    config = WithValue(config, "StartmenuName", kStartmenuName);
    config = Replaced(config, "Read me;docs\\\\readme.txt", kLinkName + ";docs\\\\Ölkännchen 山.txt");
    WriteWhole(package.File("setup.cfg"), config);
    WriteCustomArchive(package);

    const std::string startmenu = ShellFolder(CSIDL_PROGRAMS) + "\\" + kStartmenuName;
    const std::string desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    {
        RobotProcess setup = RobotProcess::start(package.File("setup.exe"),
                                                 "/LOGIT:" + package.File("setup.log"), package.Folder);
        MessageBoxWindow::waitFor(WindowFinder(setup), "DemoPad", kTimeout).answer("OK"); // the dated warning
        const Window wizard = WaitForWizard(setup);
        WaitForPage(wizard, 2912);
        Next(wizard);
        WaitForPage(wizard, 2904);
        CheckBox(PageItem(wizard, 301)).setChecked(true);
        Next(wizard);
        WaitForPage(wizard, 2902);
        Edit(PageItem(wizard, 201)).setText(kDestination);
        EXPECT_EQ(Edit(PageItem(wizard, 201)).text(), kDestination);
        Screenshot(wizard, "01-destination");
        Next(wizard);
        WaitForPage(wizard, 2906);
        ASSERT_TRUE(waitUntil([&] { return PageItem(wizard, 201).text() == Msg(2911); }, kTimeout))
            << "the copy page says '" << PageItem(wizard, 201).text() << "'";
        Screenshot(wizard, "02-copied");
        Next(wizard);
        WaitForPage(wizard, 2916);
        Next(wizard);
        WaitForPage(wizard, 2914);
        Next(wizard);
        WaitForPage(wizard, 2918);
        Button(wizard.child(IDCANCEL)).click();
        MessageBoxWindow::waitFor(WindowFinder(setup), Msg(2900) + " DemoPad", kTimeout).answer("OK");
        EXPECT_EQ(setup.exitCode(kTimeout), 0u);
    }
    // Setup opens the start-menu folder at the end: its window carries the folder's name.
    EXPECT_TRUE(waitUntil([] { return !windowsTitled(kStartmenuName).empty(); }, kTimeout))
        << "no window shows " << startmenu;
    if (const auto windows = windowsTitled(kStartmenuName); !windows.empty())
        Screenshot(windows.front(), "03-start-menu-folder");
    CloseFolderWindows(kStartmenuName);

    // The files, under their names.
    EXPECT_TRUE(Exists(kDestination + "\\demoapp.exe"));
    EXPECT_TRUE(Exists(kDestination + "\\site.ini")) << "a member of custom.fil";
    EXPECT_EQ(ReadWhole(kDestination + "\\docs\\Ölkännchen 山.txt"), "stored with the UTF-8 flag\r\n");
    EXPECT_EQ(ReadWhole(kDestination + "\\docs\\Grüße.txt"), "stored in code page 437\r\n");
    const std::string longfolder = kDestination + "\\" + Replaced(kLongFolder, "/", "\\");
    EXPECT_EQ(FolderEntries(longfolder), std::vector<std::string>{LongFileName()});
    EXPECT_EQ(ReadWhole(longfolder + "\\" + LongFileName()), "a long name\r\n");
    // The uninstall entry.
    EXPECT_EQ(EntryValue(L"UninstallPath"), kDestination);
    EXPECT_EQ(EntryValue(L"DisplayName"), kStartmenuName);
    EXPECT_EQ(EntryValue(L"UninstallString"),
              "\"" + kDestination + "\\Setup.exe\" -remove \"" + kIniKey + "\"");
    const std::string files = "|" + EntryValue(L"UninstallFiles") + "|";
    EXPECT_NE(files.find("|" + kFlaggedMember + "|"), std::string::npos) << files;
    EXPECT_NE(files.find("|" + kCp437MemberAsUnicode + "|"), std::string::npos) << files;
    EXPECT_NE(files.find("|" + kLongFolder + "/" + LongFileName() + "|"), std::string::npos) << files;
    // The start-menu folder, its links and the desktop's.
    EXPECT_EQ(LinkTarget(startmenu + "\\DemoPad.LNK"), kDestination + "\\demoapp.exe");
    EXPECT_EQ(LinkTarget(startmenu + "\\" + kLinkName + ".LNK"), kDestination + "\\docs\\Ölkännchen 山.txt");
    EXPECT_EQ(LinkTarget(startmenu + "\\Tools\\DemoPad Sync.LNK"), kDestination + "\\demosync.exe");
    EXPECT_TRUE(Exists(startmenu + "\\DemoPad on the Web.URL"));
    EXPECT_EQ(LinkTarget(desktop + "\\DemoPad.LNK"), kDestination + "\\demoapp.exe");

    // DemoPad started from its start-menu link as the shell opens a link: through the link's own command.
    // (ShellExecuteW on a .LNK finds no "open" command for links under Wine, whatever their names.) Wine
    // runs a link by its 8-bit path, read in the code page of the program that opens it: this test program
    // runs in UTF-8 as setup.exe does (its manifest), where Windows' shell would read the link's Unicode path.
    // The program must run from the Unicode destination; a check, not an assertion, so that the removal below
    // still runs when it does not.
    EXPECT_TRUE(OpenLink(startmenu + "\\DemoPad.LNK")) << "the link's open command failed";
    Window demopad;
    waitUntil([&] { return static_cast<bool>(demopad = Window(FindWindowW(L"DemoPadWindow", nullptr))); },
              Milliseconds{10000});
    EXPECT_TRUE(demopad) << "DemoPad's window did not appear";
    if (demopad) {
        EXPECT_EQ(ProcessImage(demopad.processId()), kDestination + "\\demoapp.exe");
        Screenshot(demopad, "03-demopad-from-its-link");
        HANDLE demoprocess = OpenProcess(SYNCHRONIZE, FALSE, demopad.processId());
        postMessage(demopad, WM_CLOSE);
        EXPECT_EQ(WaitForSingleObject(demoprocess, static_cast<DWORD>(kTimeout.count())), WAIT_OBJECT_0);
        CloseHandle(demoprocess);
    }

    // The uninstall entry's command, as the system's list of programs starts it; all data removed.
    const std::string command = EntryValue(L"UninstallString");
    ASSERT_EQ(command.front(), '"') << command;
    const size_t end = command.find('"', 1);
    const std::string title = Replaced(Msg(2901), "Orvik", "DemoPad");
    {
        RobotProcess firstpass =
            RobotProcess::start(command.substr(1, end - 1), command.substr(end + 2), kDestination);
        MessageBoxWindow::waitFor(WindowFinder(firstpass), title, kTimeout).answer("Yes");
        EXPECT_EQ(firstpass.exitCode(kTimeout), 0u);
    }
    const Window wizard = WaitForWindow(title);
    HANDLE finalpass = OpenProcess(SYNCHRONIZE, FALSE, wizard.processId());
    WaitForPage(wizard, 2932);
    Next(wizard);
    WaitForPage(wizard, 2934);
    RadioButton(PageItem(wizard, 402)).select();
    Next(wizard);
    const MessageBoxWindow warning(WaitForWindow(title, wizard));
    EXPECT_NE(warning.message().find(kDestination), std::string::npos) << warning.message();
    Screenshot(warning.window(), "04-remove-all-warning");
    warning.answer("Yes");
    ASSERT_TRUE(waitUntil([&] { return wizardui::Title(wizard) == Msg(2938); }, kTimeout))
        << "the removal never ended: " << wizardui::Title(wizard);
    Screenshot(wizard, "05-removed");
    ASSERT_TRUE(waitUntil([&] { return wizard.child(IDCANCEL).isEnabled(); }, kTimeout));
    Button(wizard.child(IDCANCEL)).click();
    EXPECT_EQ(WaitForSingleObject(finalpass, static_cast<DWORD>(kTimeout.count())), WAIT_OBJECT_0);
    CloseHandle(finalpass);

    EXPECT_FALSE(Exists(kDestination)) << "all data: the whole folder";
    EXPECT_TRUE(Exists("Q:\\Programme")) << "the folder above was not DemoPad's";
    EXPECT_FALSE(Exists(startmenu));
    EXPECT_FALSE(Exists(desktop + "\\DemoPad.LNK"));
    EXPECT_FALSE(EntryExists());
}

// The same texts in code page 1252 and in UTF-8 (with a byte-order mark): the pages show them alike.
TEST(UnicodeNames, SetupCfgIn1252AndInUtf8ShowTheSameTexts) {
    const std::string welcome = "Grüße aus Köln – „Ärger“ kostet 5 €";
    const std::string warning = "ShowOnly=>2024-01-01\\nÜbung macht den Meister.";
    const std::string cp1252Welcome = "Gr\xFC\xDF"
                                      "e aus K\xF6ln \x96 \x84\xC4rger\x93 kostet 5 \x80";
    const std::string cp1252Warning = "ShowOnly=>2024-01-01\\n\xDC"
                                      "bung macht den Meister.";
    struct VARIANT {
        const char* Name;
        std::string Welcome, Warning, Prefix;
    };
    for (const VARIANT& variant : {VARIANT{"cp1252", cp1252Welcome, cp1252Warning, ""},
                                   VARIANT{"utf8", welcome, warning, "\xEF\xBB\xBF"}}) {
        SCOPED_TRACE(variant.Name);
        const DisplayLock display;
        PACKAGE package;
        std::string config = package.Config();
        config = WithValue(config, "WelcomeMsg.eng", variant.Welcome);
        config = WithValue(config, "WelcomeWarning", variant.Warning);
        WriteWhole(package.File("setup.cfg"), variant.Prefix + config);

        RobotProcess setup = RobotProcess::start(package.File("setup.exe"), "", package.Folder);
        const MessageBoxWindow box = MessageBoxWindow::waitFor(WindowFinder(setup), "DemoPad", kTimeout);
        EXPECT_EQ(Replaced(Replaced(box.message(), "\r", ""), "\n", ""), "Übung macht den Meister.");
        Screenshot(box.window(), std::string(variant.Name) + "-01-warning");
        box.answer("OK");
        const Window wizard = WaitForWizard(setup);
        WaitForPage(wizard, 2912);
        EXPECT_EQ(Subtitle(wizard), welcome);
        Screenshot(wizard, std::string(variant.Name) + "-02-welcome");
        Button(wizard.child(IDCANCEL)).click();
        Window question;
        waitUntil(
            [&] {
                for (const Window& window : WindowFinder(setup).topLevelWindows())
                    if (window.handle() != wizard.handle() && window.className() == "#32770")
                        question = window;
                return static_cast<bool>(question);
            },
            kTimeout);
        ASSERT_TRUE(question) << "no question after Cancel";
        MessageBoxWindow(question).answer("No");
        setup.exitCode(kTimeout); // the wizard ends
    }
}
