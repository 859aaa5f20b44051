#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "tests/common/test_support.h"

namespace {

const char* const TestBase = "Software\\OrvikTest\\";

// Removes the test key tree under the current user before and after each registry test.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        REGISTRY software("Software", "", REGISTRY::USER_CURRENT);
        software.DeleteKey("OrvikTest", true);
    }
};

std::string Text(const STRING& s) {
    return s.NotNull() ? std::string(s.c_str(), static_cast<size_t>(s.Length())) : std::string("(null)");
}

} // namespace

TEST_F(RegistryTest, PathIsBaseKeyAndApplication) {
    REGISTRY reg("App", TestBase, REGISTRY::USER_CURRENT);
    EXPECT_TRUE(reg.IsOpen());
    EXPECT_EQ("Software\\OrvikTest\\App", Text(reg.GetPath()));
    REGISTRY joined("\\Sub\\", "Software\\OrvikTest", REGISTRY::USER_CURRENT);
    EXPECT_EQ("Software\\OrvikTest\\Sub", Text(joined.GetPath()));
    REGISTRY reopened(REGISTRY::CurrentUser(), "Software\\OrvikTest", "App", REGISTRY::MODE_READ);
    EXPECT_TRUE(reopened.IsOpen());

    ASSERTWATCH watch;
    REGISTRY placeholder("<self>", TestBase, REGISTRY::USER_CURRENT);
    EXPECT_EQ("app[0]!='<'", watch.LastCondition());
    REGISTRY badmode(REGISTRY::CurrentUser(), TestBase, "App", 300);
    EXPECT_EQ("FALSE", watch.LastCondition());
    EXPECT_FALSE(badmode.IsOpen());
    REGISTRY missing(REGISTRY::CurrentUser(), TestBase, "Missing", REGISTRY::MODE_READ);
    EXPECT_FALSE(missing.IsOpen());
}

TEST_F(RegistryTest, ValuesRoundTripIncludingLongAndEmptyStrings) {
    REGISTRY reg("App", TestBase, REGISTRY::USER_CURRENT);
    const std::string longtext(3000, 'L');
    ASSERT_TRUE(reg.Write("Long", longtext.c_str()));
    ASSERT_TRUE(reg.Write("Empty", ""));
    ASSERT_TRUE(reg.Write("Number", 0xDEADBEEFu));
    const char bytes[] = {1, 0, 2, 0};
    ASSERT_TRUE(reg.Write("Bytes", bytes, 4));

    STRING value;
    ASSERT_TRUE(reg.Read("Long", value));
    EXPECT_EQ(longtext, Text(value));
    ASSERT_TRUE(reg.Read("Empty", value));
    EXPECT_EQ(std::string(1, '\0'), Text(value));
    BINARY binary;
    ASSERT_TRUE(reg.Read("Bytes", binary));
    EXPECT_EQ(std::string(bytes, 4), std::string(reinterpret_cast<const char*>(binary.Data()), 4));
    ASSERT_TRUE(reg.Read("Number", binary));
    ASSERT_EQ(4, binary.Length());
    EXPECT_EQ(0xDEADBEEFu, *reinterpret_cast<const uint32_t*>(binary.Data()));

    // Other programs read the stored bytes: a text is stored with its terminating zero.
    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(TestBase) + "App").c_str(), 0, KEY_READ, &raw));
    DWORD type = 0, stored = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(raw, "Long", nullptr, &type, nullptr, &stored));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(longtext.size() + 1, stored);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(raw, "Empty", nullptr, &type, nullptr, &stored));
    EXPECT_EQ(1u, stored);
    RegCloseKey(raw);

    STRING kept("kept");
    EXPECT_FALSE(reg.Read("NoSuchValue", kept));
    EXPECT_EQ("kept", Text(kept));

    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    unsigned long size = sizeof(buffer);
    ASSERT_TRUE(reg.Read("Bytes", buffer, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(0, buffer[4]);

    EXPECT_TRUE(reg.DeleteValue("Bytes"));
    EXPECT_FALSE(reg.Read("Bytes", binary));
}

TEST_F(RegistryTest, DeleteKeyRecursiveRemovesTheTree) {
    {
        REGISTRY deep("Top\\Middle\\Leaf", TestBase, REGISTRY::USER_CURRENT);
        ASSERT_TRUE(deep.Write("v", "1"));
    }
    REGISTRY base("OrvikTest", "Software", REGISTRY::USER_CURRENT);
    EXPECT_TRUE(base.DeleteKey("Top\\Middle\\Leaf", false));
    REGISTRY(REGISTRY::CurrentUser(), TestBase, "Top\\Middle\\Other", REGISTRY::MODE_CREATE);
    EXPECT_TRUE(base.DeleteKey("Top", true));
    REGISTRY gone(REGISTRY::CurrentUser(), TestBase, "Top", REGISTRY::MODE_READ);
    EXPECT_FALSE(gone.IsOpen());
    EXPECT_FALSE(base.DeleteKey("Top", true));
}

TEST_F(RegistryTest, AutoStartStoresTheQuotedProgramPath) {
    ASSERT_TRUE(SetAutoStart("OrvikTestAutoStart", "<self>"));
    REGISTRY run(REGISTRY::CurrentUser(), "Software\\Microsoft\\Windows\\CurrentVersion", "Run",
                 REGISTRY::MODE_READ);
    BINARY raw;
    ASSERT_TRUE(run.Read("OrvikTestAutoStart", raw));
    const std::string expected = "\"" + std::string(OSYS::GetModulePath().Text()) + "\"";
    EXPECT_EQ(expected,
              std::string(reinterpret_cast<const char*>(raw.Data()), static_cast<size_t>(raw.Length())));

    ASSERT_TRUE(SetAutoStart("OrvikTestAutoStart", "other.exe /x"));
    STRING other;
    ASSERT_TRUE(run.Read("OrvikTestAutoStart", other));
    EXPECT_EQ("other.exe /x", Text(other));
    ASSERT_TRUE(SetAutoStart("OrvikTestAutoStart", nullptr));
    EXPECT_FALSE(run.Read("OrvikTestAutoStart", other));
}

TEST(OsysWindows, SystemPathsAndVersion) {
    STRING appdata = OSYS::GetSystemPath(5);
    ASSERT_TRUE(appdata.NotEmpty());
    EXPECT_EQ('\\', appdata[appdata.Length() - 1]);
    EXPECT_EQ(5, OSYS::GetOSType()); // the Wine prefix reports Windows 7

    ASSERTWATCH watch;
    EXPECT_FALSE(OSYS::GetSystemPath(3).NotNull());
    EXPECT_EQ("FALSE", watch.LastCondition());
    EXPECT_EQ("<STR-ERR>", Text(OSYS::GetStringFromResource(31999)));
    EXPECT_EQ("<no error>", Text(OSYS::GetLastErrorString(0x7FFFFF01)));
}

TEST(OsysStart, CommandLinesAndShowStates) {
    OSYS::STARTCOMMAND c = OSYS::PrepareStart("C:\\Program Files\\Tool\\tool.exe", "-y", 0);
    EXPECT_EQ("\"C:\\Program Files\\Tool\\tool.exe\" -y", Text(c.CommandLine));
    EXPECT_EQ(SW_SHOWNORMAL, c.ShowState);
    c = OSYS::PrepareStart("\"C:\\a b\\t.exe\" -q", "-y", 0);
    EXPECT_EQ("\"C:\\a b\\t.exe\" -q -y", Text(c.CommandLine));
    c = OSYS::PrepareStart("#prog.exe", "", 0);
    EXPECT_EQ("prog.exe", Text(c.CommandLine));
    EXPECT_EQ(SW_HIDE, c.ShowState);
    c = OSYS::PrepareStart("*prog.exe", nullptr, OSYS::START_MAXIMIZED);
    EXPECT_EQ(SW_SHOWMINIMIZED, c.ShowState);
    EXPECT_EQ(SW_HIDE,
              OSYS::PrepareStart("p", nullptr, OSYS::START_HIDDEN | OSYS::START_MINIMIZED).ShowState);
    EXPECT_EQ(SW_SHOWMAXIMIZED, OSYS::PrepareStart("p", nullptr, OSYS::START_MAXIMIZED).ShowState);
    EXPECT_EQ(1023, OSYS::PrepareStart("p", std::string(3000, 'a').c_str(), 0).CommandLine.Length());
}

// A path with blanks and no arguments is quoted: unquoted, "C:\Program.exe" would be started first.
TEST(OsysStart, ProgramPathWithBlanksQuotedWithoutArguments) {
    const char* const device = "C:\\Program Files\\Microsoft ActiveSync\\CEAppMgr.exe";
    EXPECT_EQ(std::string("\"") + device + "\"", Text(OSYS::PrepareStart(device, nullptr, 0).CommandLine));
    EXPECT_EQ(std::string("\"") + device + "\"", Text(OSYS::PrepareStart(device, "", 0).CommandLine));
    EXPECT_EQ("\"C:\\a b\\t.exe\"", Text(OSYS::PrepareStart("\"C:\\a b\\t.exe\"", nullptr, 0).CommandLine));
    EXPECT_EQ("tool.exe -x", Text(OSYS::PrepareStart("tool.exe -x", nullptr, 0).CommandLine));
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    WriteWholeFile(scratch.File("a b.cmd"), "@echo off\r\n");
    EXPECT_EQ("\"" + scratch.File("a b.cmd") + "\"",
              Text(OSYS::PrepareStart(scratch.File("a b.cmd").c_str(), nullptr, 0).CommandLine));
}

TEST(OsysStart, ExitCodesAndFailedStarts) {
    EXPECT_EQ(5, StartProgramExitCode("cmd.exe", "/c exit 5", nullptr, nullptr));
    EXPECT_EQ(1, StartProgramExitCode("C:\\no\\such\\program.exe", nullptr, nullptr, nullptr));

    int code = 0;
    EXPECT_FALSE(OSYS::StartProgram("C:\\no\\such\\program.exe", "-y", nullptr, nullptr, OSYS::START_SYNC,
                                    nullptr, &code));
    EXPECT_EQ(-8, code);

    code = 0;
    OSYS::PROCESSINFO info;
    ASSERT_TRUE(OSYS::StartProgram("#cmd.exe", "/c exit 3", nullptr, "title",
                                   OSYS::START_SYNC | OSYS::START_RESPONSIVE, &info, &code));
    EXPECT_EQ(3, code);
    ASSERT_NE(nullptr, info.hProcess);
    EXPECT_NE(0u, info.ProcessId);
    EXPECT_TRUE(OSYS::CloseHandle(info.hProcess));
    EXPECT_TRUE(OSYS::CloseHandle(info.hThread));

    // Asynchronous: the exit code is not read.
    code = 0;
    ASSERT_TRUE(OSYS::StartProgram("cmd.exe", "/c exit 4", nullptr, nullptr, 0, &info, &code));
    EXPECT_EQ(-8, code);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 10000));
    OSYS::CloseHandle(info.hProcess);
    OSYS::CloseHandle(info.hThread);
}

TEST(OsysLibraries, LoadLooksUpAndUnloads) {
    DLLINTERFACE kernel("kernel32.dll", "GetTickCount");
    EXPECT_TRUE(kernel.IsLoaded());
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount")),
              kernel.GetFunction());
    EXPECT_EQ(nullptr, kernel.GetFunction("NoSuchFunctionAnywhere"));
    EXPECT_FALSE(kernel.Load("kernel32.dll", "NoSuchFunctionAnywhere"));
    EXPECT_TRUE(kernel.IsLoaded());
    kernel.Unload();
    EXPECT_FALSE(kernel.IsLoaded());
    EXPECT_EQ(nullptr, kernel.GetFunction("GetTickCount"));
    DLLINTERFACE missing("no_such_library_here.dll");
    EXPECT_FALSE(missing.IsLoaded());
}

TEST(OsysLibraries, TypedFunctionsAreCallableAndTheLibraryIsFreedWithItsOwner) {
    // A library this program does not load on its own, so that freeing it makes it go.
    const char* name = "msimg32.dll";
    ASSERT_EQ(nullptr, GetModuleHandleA(name));
    {
        DLLINTERFACE library(name, nullptr, true);
        ASSERT_TRUE(library.IsLoaded());
        EXPECT_EQ(library.GetModule(), static_cast<void*>(GetModuleHandleA(name)));
        using GRADIENTFILL = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
        EXPECT_NE(nullptr, library.Function<GRADIENTFILL>("GradientFill"));
        EXPECT_EQ(nullptr, library.Function<GRADIENTFILL>("NoSuchFunctionAnywhere"));
    }
    EXPECT_EQ(nullptr, GetModuleHandleA(name));

    DLLINTERFACE kernel("kernel32.dll", nullptr, true);
    using GETCURRENTPROCESSID = DWORD(WINAPI*)();
    const auto processid = kernel.Function<GETCURRENTPROCESSID>("GetCurrentProcessId");
    ASSERT_NE(nullptr, processid);
    EXPECT_EQ(GetCurrentProcessId(), processid());
}

TEST(OsysThreads, RaisedPriorityIsRestored) {
    ASSERT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(GetCurrentThread()));
    {
        RAISETHREADPRIORITY raise(THREAD_PRIORITY_ABOVE_NORMAL);
        EXPECT_EQ(THREAD_PRIORITY_ABOVE_NORMAL, GetThreadPriority(GetCurrentThread()));
    }
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(GetCurrentThread()));
}

// ---------------------------------------------------------------------------------------------------------
// Message pumps

namespace {

std::atomic<int> gDispatched{0};

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP)
        ++gDispatched;
    return DefWindowProcA(window, message, wparam, lparam);
}

// A message-only window whose procedure counts WM_APP messages.
class COUNTINGWINDOW {
public:
    COUNTINGWINDOW() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "OrvikPumpTest";
        RegisterClassA(&wc);
        Window =
            CreateWindowA("OrvikPumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        gDispatched = 0;
    }
    ~COUNTINGWINDOW() { DestroyWindow(Window); }
    void Post(int n) {
        for (int i = 0; i < n; ++i)
            PostMessageA(Window, WM_APP, 0, 0);
    }
    HWND Window;
};

struct RELEASELATER {
    MUTEXSEM* Mutex;
    HANDLE Event;
};

void SetEventLater(void* p) {
    OSYS::Sleep(100);
    SetEvent(static_cast<HANDLE>(p));
}

void HoldMutexBriefly(void* p) {
    auto* work = static_cast<RELEASELATER*>(p);
    work->Mutex->Obtain(-1);
    SetEvent(work->Event);
    OSYS::Sleep(150);
    work->Mutex->Release();
}

} // namespace

TEST(WindowsPumps, ProcessMessagesDispatchesUpToCount) {
    COUNTINGWINDOW window;
    ASSERT_NE(nullptr, window.Window);
    window.Post(3);
    EXPECT_EQ(0, WINDOWS::WinProcessMessages(2));
    EXPECT_EQ(2, gDispatched);
    EXPECT_EQ(9, WINDOWS::WinProcessMessages(10));
    EXPECT_EQ(3, gDispatched);

    PostQuitMessage(7);
    EXPECT_EQ(5, WINDOWS::WinProcessMessages(5));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
}

TEST(WindowsPumps, WaitDispatchesWhileWaiting) {
    COUNTINGWINDOW window;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    void* thread = OSYS::CreateThread(SetEventLater, event);
    window.Post(2);
    EXPECT_TRUE(WINDOWS::WinWaitForSingleObject(event, 5000));
    EXPECT_EQ(2, gDispatched);
    EXPECT_TRUE(OSYS::WaitThread(thread, OSYS::WAIT_FOREVER));
    ResetEvent(event);
    EXPECT_FALSE(WINDOWS::WinWaitForSingleObject(event, 30));
    CloseHandle(event);
}

TEST(WindowsPumps, MutexObtainPumpsOnTheMessageThread) {
    COUNTINGWINDOW window;
    MUTEXSEM mutex;
    mutex.SetMessageThread(OSYS::GetCurrentThreadId());
    RELEASELATER work{&mutex, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    void* thread = OSYS::CreateThread(HoldMutexBriefly, &work);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(work.Event, 5000));
    window.Post(1);
    EXPECT_TRUE(mutex.Obtain(5000));
    EXPECT_EQ(1, gDispatched);
    EXPECT_TRUE(mutex.Release());
    EXPECT_TRUE(OSYS::WaitThread(thread, OSYS::WAIT_FOREVER));
    CloseHandle(work.Event);

    MUTEXSEM first(false, "Orvik_Test_Named");
    MUTEXSEM second(false, "Orvik_Test_Named");
    EXPECT_FALSE(first.AlreadyExisted());
    EXPECT_TRUE(second.AlreadyExisted());
}

// ---------------------------------------------------------------------------------------------------------
// Hot keys and the assertion dialog

namespace {

void PressModifiers(bool ctrl, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_MENU] = 0;
    SetKeyboardState(keys);
}

// Answers the first assertion dialog of this process with Yes and remembers its title and text.
struct DIALOGANSWER {
    std::string Title;
    std::string Text;
    std::atomic<bool> Answered{false};
};

void AnswerDialogYes(void* p) {
    auto* answer = static_cast<DIALOGANSWER*>(p);
    for (int i = 0; i < 500 && !answer->Answered; ++i) {
        OSYS::Sleep(20);
        HWND dialog = FindWindowA("#32770", nullptr);
        DWORD pid = 0;
        if (dialog == nullptr || (GetWindowThreadProcessId(dialog, &pid), pid != GetCurrentProcessId()))
            continue;
        char title[256] = {};
        GetWindowTextA(dialog, title, sizeof(title));
        answer->Title = title;
        char text[2048] = {};
        GetDlgItemTextA(dialog, 0xFFFF, text, sizeof(text));
        answer->Text = text;
        PostMessageA(dialog, WM_COMMAND, IDYES, 0);
        answer->Answered = true;
    }
}

} // namespace

TEST(LogitHotkeys, CtrlShiftF8ClosesTheLog) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("hotkey.log"));
    ASSERT_TRUE(LogitActive());
    PressModifiers(true, false);
    LogitHotkey(WM_KEYDOWN, VK_F8, 0);
    EXPECT_TRUE(LogitActive());
    PressModifiers(true, true);
    LogitHotkey(WM_KEYDOWN, VK_F8, 0);
    EXPECT_FALSE(LogitActive());

    LOGCAPTURE again(dir.File("hotkey2.log"));
    NMLVKEYDOWN notify = {};
    notify.hdr.code = LVN_KEYDOWN;
    notify.wVKey = VK_F8;
    LogitHotkey(WM_NOTIFY, 0, reinterpret_cast<intptr_t>(&notify));
    EXPECT_FALSE(LogitActive());
    PressModifiers(false, false);
}

TEST(AssertDialog, YesContinuesWithTheReportShown) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    SetAssertSilent(false);
    DIALOGANSWER answer;
    void* thread = OSYS::CreateThread(AnswerDialogYes, &answer);
    EXPECT_TRUE(Assert(false, "shown==true", __FILE__, 42, "dialog test", false));
    EXPECT_TRUE(OSYS::WaitThread(thread, OSYS::WAIT_FOREVER));
    SetAssertSilent(true);
    ASSERT_TRUE(answer.Answered);
    EXPECT_EQ(0u, answer.Title.find("Orvik Application (0.00) / ")) << answer.Title;
    EXPECT_EQ(0u, answer.Text.find("Unexpected condition encountered!")) << answer.Text;
    EXPECT_NE(std::string::npos, answer.Text.find("    Condition: shown==true\n")) << answer.Text;
    EXPECT_NE(std::string::npos, answer.Text.find("Do you want to try to continue with the program?"));
}
