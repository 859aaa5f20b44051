// OS services on Windows: starting programs, opening documents and the programs that start with the user.
#include <windows.h>
#include <shellapi.h>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/winhandles.h"

namespace {
constexpr int MaxCommandLine = 1023;
constexpr int MaxTitle = 255;
} // namespace

namespace OSYS {

namespace {
// A program text that is a whole file name rather than a program followed by its arguments.
bool NamesProgramFile(const STRING& text) {
    if (EndsWithNoCase(text, ".exe") || EndsWithNoCase(text, ".com"))
        return true;
    const DWORD attributes = GetFileAttributesA(text.Text());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
} // namespace

STARTCOMMAND PrepareStart(const char* program, const char* arguments, int flags) {
    STARTCOMMAND start{STRING(), SW_SHOWNORMAL};
    if (flags & START_HIDDEN)
        start.ShowState = SW_HIDE;
    else if (flags & START_MINIMIZED)
        start.ShowState = SW_SHOWMINIMIZED;
    else if (flags & START_MAXIMIZED)
        start.ShowState = SW_SHOWMAXIMIZED;
    STRING prog(program ? program : "");
    if (prog.Length() > 0 && prog[0] == '*') {
        start.ShowState = SW_SHOWMINIMIZED;
        prog.CutLeft(1);
    } else if (prog.Length() > 0 && prog[0] == '#') {
        start.ShowState = SW_HIDE;
        prog.CutLeft(1);
    }
    const bool quoted = prog.Length() > 0 && prog[0] == '"';
    if (arguments != nullptr && *arguments != '\0')
        start.CommandLine.Printf(quoted ? "%s %s" : "\"%s\" %s", prog.Text(), arguments);
    else if (!quoted && prog.Find(" ") && NamesProgramFile(prog))
        start.CommandLine.Printf("\"%s\"", prog.Text()); // else "C:\Program.exe" would be tried first
    else
        start.CommandLine = prog;
    start.CommandLine.Truncate(MaxCommandLine);
    return start;
}

bool StartProgram(const char* program, const char* arguments, const char* directory, const char* title,
                  int flags, PROCESSINFO* info, int* exitcode) {
    const bool synchronous = (flags & START_SYNC) != 0;
    if (exitcode != nullptr)
        *exitcode = START_EXITCODE_UNREAD;
    LogPrintf("OSYS::StartProgram %s %s (sync= %d)\n", program ? program : "<NULL>",
              arguments ? arguments : "", synchronous ? 1 : 0);
    STARTCOMMAND start = PrepareStart(program, arguments, flags);
    STRING dir(directory);
    dir.Truncate(MaxCommandLine);
    STRING windowTitle(title);
    windowTitle.Truncate(MaxTitle);

    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (windowTitle.NotEmpty())
        si.lpTitle = windowTitle.GetBuffer();
    if (start.ShowState != SW_SHOWNORMAL) {
        si.dwFlags |= STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(start.ShowState);
    }
    PROCESS_INFORMATION pi = {};
    start.CommandLine.MakeNotNull();
    const bool ok = CreateProcessA(nullptr, start.CommandLine.GetBuffer(), nullptr, nullptr, FALSE, 0,
                                   nullptr, dir.NotEmpty() ? dir.c_str() : nullptr, &si, &pi) != FALSE;
    LogPrintf("OSYS::StartProgram rc= %d\n", ok ? 1 : 0);
    if (!ok) {
        LogPrintf("OSYS::StartProgram getlasterrorstring returned %s\n", GetLastErrorString().Text());
    } else {
        if (synchronous) {
            if (flags & START_RESPONSIVE) {
                while (WaitForSingleObject(pi.hProcess, 10) == WAIT_TIMEOUT)
                    WINDOWS::WinProcessMessages(42);
            } else {
                WaitForSingleObject(pi.hProcess, INFINITE);
            }
            if (exitcode != nullptr) {
                DWORD code = 0;
                if (GetExitCodeProcess(pi.hProcess, &code))
                    *exitcode = static_cast<int>(code);
                else
                    LogPrintf("OSYS::StartProgram GetExitCodeProcess returned %d/%s\n",
                              static_cast<int>(::GetLastError()), GetLastErrorString().Text());
            }
        }
        if (info != nullptr) {
            info->hProcess = pi.hProcess;
            info->hThread = pi.hThread;
            info->ProcessId = pi.dwProcessId;
            info->ThreadId = pi.dwThreadId;
        } else {
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
    LogPrintf("StartProgram done ok= %d\n", ok ? 1 : 0);
    return ok;
}

bool StartProgram(const char* program, const char* arguments, const char* title, bool synchronous) {
    return StartProgram(program, arguments, nullptr, title, synchronous ? START_SYNC : 0, nullptr, nullptr);
}

bool OpenDocument(const char* file, void* window) {
    STRING dir = GetCurrentDir();
    auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteA(static_cast<HWND>(window), "open", file, nullptr, dir.c_str(), SW_SHOWNORMAL));
    return rc > 32;
}

} // namespace OSYS

int StartProgramExitCode(const char* program, const char* arguments, const char* directory,
                         const char* title) {
    int code = OSYS::START_EXITCODE_UNREAD;
    if (!OSYS::StartProgram(program, arguments, directory, title, OSYS::START_SYNC, nullptr, &code))
        code = 1;
    LogPrintf("StartProgramExitCode returns %d\n", code);
    return code;
}

bool SetAutoStart(const char* valuename, const char* command) {
    REGKEY run;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                      run.receive()) != ERROR_SUCCESS)
        return false;
    if (command == nullptr)
        return RegDeleteValueA(run.get(), valuename) == ERROR_SUCCESS;
    const STRING self = OSYS::GetModulePath();
    STRING data(command);
    if (data == "1" || data == "<ownfile>" || data == "<self>" || data == self)
        data.Printf("\"%s\"", self.Text());
    return RegSetValueExA(run.get(), valuename, 0, REG_SZ, data.Data(),
                          static_cast<DWORD>(data.Length() + 1)) == ERROR_SUCCESS;
}
