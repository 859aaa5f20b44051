// Windows side of the log and assertions (file handles, console, debugger, dialog, hot keys) and the
// message pumps used by code that waits on the main thread.
#include <windows.h>
#include <commctrl.h>

#include <climits>

#include "lib/orvik.h"
#include "lib/orvik_platform.h"
#include "lib/osys.h"

namespace LOGPLATFORM {

bool LOGSINK::Open(KIND kind, const char* filename, bool writethrough, bool keep) {
    Close();
    HANDLE h = INVALID_HANDLE_VALUE;
    if (kind == KIND::StdErr) {
        h = GetStdHandle(STD_ERROR_HANDLE);
        if (h == nullptr)
            h = INVALID_HANDLE_VALUE;
        Owned = false;
    } else if (kind == KIND::Console) {
        ConsoleAllocated = AllocConsole() != FALSE;
        h = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        0, nullptr);
        Owned = true;
    } else {
        DWORD attributes = FILE_ATTRIBUTE_NORMAL | (writethrough ? FILE_FLAG_WRITE_THROUGH : 0);
        h = CreateFileA(filename, GENERIC_WRITE, FILE_SHARE_READ, nullptr, keep ? OPEN_ALWAYS : CREATE_ALWAYS,
                        attributes, nullptr);
        if (h != INVALID_HANDLE_VALUE && keep)
            SetFilePointer(h, 0, nullptr, FILE_END);
        Owned = true;
    }
    Handle = reinterpret_cast<intptr_t>(h);
    if (h == INVALID_HANDLE_VALUE) {
        Close();
        return false;
    }
    return true;
}

void LOGSINK::Write(const char* text, size_t length) {
    if (Handle == Invalid)
        return;
    HANDLE h = reinterpret_cast<HANDLE>(Handle);
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(h, text, static_cast<DWORD>(length), &written, nullptr) || written == 0)
            return;
        text += written;
        length -= written;
    }
}

void LOGSINK::Close() {
    if (Handle != Invalid && Owned)
        CloseHandle(reinterpret_cast<HANDLE>(Handle));
    if (ConsoleAllocated)
        FreeConsole();
    Handle = Invalid;
    Owned = false;
    ConsoleAllocated = false;
}

void DebuggerOutput(const char* text) {
    OutputDebugStringA(text);
}

STRING DefaultLogFileName() {
    if (OSYS::GetOSType() < 5)
        return STRING("logit.log");
    STRING dir = OSYS::GetSystemPath(OSYS::SYSTEMPATH_DOCUMENTS_18);
    if (dir.IsEmpty())
        return STRING("logit.log");
    STRING program = OSYS::GetModulePath();
    int slash = -1;
    for (int i = 0; i < program.Length(); ++i) {
        if (program[i] == '\\' || program[i] == '/' || program[i] == ':')
            slash = i;
    }
    STRING name = program.Mid(slash + 1);
    name.Replace(".exe", "_", false);
    name.Replace(".app", "_", false);
    name.ToUpper();
    return dir || "Orvik_" || name || "logit.log";
}

bool AskContinueAfterAssertion(const char* title, const char* text) {
    if (MessageBoxA(nullptr, text, title, MB_YESNO | MB_ICONERROR) == IDYES)
        return true;
    // The user chose to stop: end at once, like an abort.
    TerminateProcess(GetCurrentProcess(), 3);
    return false;
}

} // namespace LOGPLATFORM

// ---------------------------------------------------------------------------------------------------------
// Hot keys

namespace {

struct TONE {
    DWORD Frequency;
    DWORD Duration;
    DWORD PauseBefore; // extra pause before this tone, on top of the 10 ms between tones
};

void Play(const TONE* tones, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            Sleep(10 + tones[i].PauseBefore);
        Beep(tones[i].Frequency, tones[i].Duration);
    }
}

} // namespace

void LogitHotkey(unsigned message, uintptr_t param1, intptr_t param2) {
    UINT key = 0;
    if (message == WM_KEYDOWN) {
        key = static_cast<UINT>(param1);
    } else if (message == WM_NOTIFY && param2 != 0) {
        auto* header = reinterpret_cast<const NMHDR*>(param2);
        if (header->code == static_cast<UINT>(LVN_KEYDOWN))
            key = reinterpret_cast<const NMLVKEYDOWN*>(param2)->wVKey;
    }
    if (key < VK_F5 || key > VK_F9)
        return;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    if (!ctrl || !shift || alt)
        return;

    static const TONE rising[] = {{440, 200, 0}, {660, 100, 0}, {880, 100, 0}};
    static const TONE risingOne[] = {{440, 200, 0}, {660, 100, 0}, {880, 100, 0}, {880, 100, 100}};
    static const TONE risingTwo[] = {
        {440, 200, 0}, {660, 100, 0}, {880, 100, 0}, {880, 100, 100}, {880, 100, 100}};
    static const TONE falling[] = {{880, 100, 0}, {660, 100, 0}, {440, 100, 0}};
    static const TONE fallingLong[] = {
        {880, 100, 0}, {660, 100, 0}, {440, 100, 0}, {440, 100, 0}, {440, 100, 0}};
    switch (key) {
    case VK_F5:
        LogitOption("/LOGIT");
        Play(rising, 3);
        break;
    case VK_F6:
        LogitOption("/LOGITHARD");
        Play(risingOne, 4);
        break;
    case VK_F7:
        LogitOption("/LOGIT:CONSOLE");
        Play(risingTwo, 5);
        break;
    case VK_F8:
        LogitOption("/LOGITCLOSE");
        Play(falling, 3);
        break;
    case VK_F9:
        Play(fallingLong, 5);
        break;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Message pumps

namespace {

// Removes and dispatches one queued message; false when the queue is empty or a quit request was taken
// out. The quit request is kept in quit and posted again by the caller when it is done waiting, so that the
// loop that owns it still sees it.
bool DispatchOne(const char* logformat, int* quit) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        *quit = static_cast<int>(msg.wParam);
        return false;
    }
    LogPrintf(logformat, msg.message);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

constexpr int NoQuit = INT_MIN;

void RepostQuit(int quit) {
    if (quit != NoQuit)
        PostQuitMessage(quit);
}

} // namespace

namespace WINDOWS {

int WinProcessMessages(int count) {
    int n = 0;
    int quit = NoQuit;
    while (n < count && quit == NoQuit &&
           DispatchOne("WINDOWS::WinProcessMessages dispatch msg= %04x\n", &quit))
        ++n;
    RepostQuit(quit);
    LogPrintf("WINDOWS::WinProcessMessages done after n=%d messages\n", n);
    return count - n;
}

bool WinWaitForSingleObject(void* handle, unsigned long timeoutms) {
    HANDLE h = static_cast<HANDLE>(handle);
    bool signalled = false;
    int quit = NoQuit;
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(1, &h, FALSE, timeoutms, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED_0) {
            signalled = true;
            break;
        }
        if (rc != WAIT_OBJECT_0 + 1)
            break; // time-out or failure
        for (int i = 0; i < 10 && DispatchOne("WINDOWS::WinWaitForSingleObject dispatch msg= %04x\n", &quit);
             ++i) {
        }
    }
    RepostQuit(quit);
    LogPrintf("WINDOWS::WinWaitForSingleObject finished\n");
    return signalled;
}

} // namespace WINDOWS
