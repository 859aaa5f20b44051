// OS services on Windows: system information, programs, threads, registry, synchronisation and libraries.
#include <windows.h>
#include <process.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <share.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/winhandles.h"

namespace {

unsigned long long HandleValue(const void* p) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p));
}

constexpr unsigned ThreadStackSize = 32768;
constexpr int MaxCommandLine = 1023;
constexpr int MaxTitle = 255;
constexpr DWORD RegistryFirstRead = 1024;

// Reads a registry value of any size: starts with a 1024-byte buffer and grows while the system reports
// more data. The result is the system's error code.
LONG QueryValue(HKEY key, const char* value, DWORD* type, BINARY& data) {
    DWORD size = RegistryFirstRead;
    for (;;) {
        data.Make(static_cast<int>(size));
        DWORD got = size;
        LONG rc = RegQueryValueExA(key, value, nullptr, type, data.Data(), &got);
        if (rc == ERROR_MORE_DATA) {
            size = got > size ? got : size * 2;
            continue;
        }
        if (rc == ERROR_SUCCESS)
            data.Make(static_cast<int>(got));
        return rc;
    }
}

} // namespace

void LIBRARYTRAITS::Close(VALUE module) {
    FreeLibrary(module);
}

void REGKEYTRAITS::Close(VALUE key) {
    RegCloseKey(key);
}

namespace OSYS {

long GetLastErrorCode() {
    return static_cast<long>(::GetLastError());
}

STRING GetLastErrorString(long code) {
    if (code == LAST_ERROR)
        code = static_cast<long>(::GetLastError());
    char text[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, text, sizeof(text) - 1, nullptr);
    if (n == 0)
        return STRING("<no error>");
    STRING result(text);
    result.Strip('R', "\r\n");
    return result;
}

STRING GetUserName() {
    char name[256];
    DWORD size = sizeof(name);
    if (!GetUserNameA(name, &size))
        return STRING();
    return STRING(name);
}

STRING GetComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof(name);
    if (!GetComputerNameA(name, &size))
        return STRING("<N/A>");
    return STRING(name);
}

STRING GetCurrentDir() {
    char dir[MAX_PATH] = {};
    DWORD n = GetCurrentDirectoryA(sizeof(dir), dir);
    return (n == 0 || n >= sizeof(dir)) ? STRING() : STRING(dir);
}

bool SetCurrentDir(const char* path) {
    return path != nullptr && SetCurrentDirectoryA(path) != FALSE;
}

STRING GetModulePath() {
    char path[1024] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    return (n == 0 || n >= sizeof(path)) ? STRING() : STRING(path);
}

STRING GetDateString() {
    char text[128] = {};
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, sizeof(text)) == 0)
        return STRING();
    return STRING(text);
}

STRING GetTimeString() {
    char pattern[80] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, pattern, sizeof(pattern)) == 0 ||
        pattern[0] == 0)
        std::strcpy(pattern, "HH:mm:ss");
    char text[128] = {};
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, pattern, text, sizeof(text)) == 0)
        return STRING();
    return STRING(text);
}

bool ReadHighResCounter(int64_t* counter, int64_t* frequency) {
    LARGE_INTEGER c, f;
    if (!QueryPerformanceCounter(&c) || !QueryPerformanceFrequency(&f))
        return false;
    if (counter != nullptr)
        *counter = c.QuadPart;
    if (frequency != nullptr)
        *frequency = f.QuadPart;
    return true;
}

uint32_t GetCurrentThreadId() {
    return ::GetCurrentThreadId();
}

uint32_t GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

void Sleep(unsigned long ms) {
    ::Sleep(ms);
}

bool CloseHandle(void* handle) {
    return ::CloseHandle(static_cast<HANDLE>(handle)) != FALSE;
}

FILE* OpenSharedFile(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr)
        return nullptr;
    return _fsopen(name, mode, _SH_DENYNO);
}

int64_t GetFileSize(const char* name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (name == nullptr || !GetFileAttributesExA(name, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {
struct THREADSTART {
    THREADROUTINE Routine;
    void* Argument;
};

unsigned __stdcall ThreadMain(void* p) {
    THREADSTART start = *static_cast<THREADSTART*>(p);
    delete static_cast<THREADSTART*>(p);
    start.Routine(start.Argument);
    return 0;
}
} // namespace

void* CreateThread(THREADROUTINE routine, void* argument) {
    ORVIK_ASSERT(routine != nullptr);
    if (routine == nullptr)
        return nullptr;
    auto* start = new THREADSTART{routine, argument};
    unsigned tid = 0;
    uintptr_t h = _beginthreadex(nullptr, ThreadStackSize, ThreadMain, start, 0, &tid);
    if (h == 0)
        delete start;
    LogPrintf("OSYS::CreateThread returned hthread= %016llx, tid= %04x\n", static_cast<unsigned long long>(h),
              tid);
    return reinterpret_cast<void*>(h);
}

bool WaitThread(void* thread, int timeoutms) {
    if (timeoutms != 0)
        LogPrintf("OSYS::WaitThread hthread=%016llx, timeout= %d\n", HandleValue(thread), timeoutms);
    if (thread == nullptr) {
        Assert(false, "hthread!=NULL", __FILE__, __LINE__, nullptr, false);
        return false;
    }
    DWORD rc = WaitForSingleObject(static_cast<HANDLE>(thread), timeoutms < 0 ? INFINITE : timeoutms);
    if (rc == WAIT_OBJECT_0) {
        ::CloseHandle(static_cast<HANDLE>(thread));
        return true;
    }
    if (timeoutms != 0)
        LogPrintf("OSYS::WaitThread hthread=%016llx timeout= %d failed %s\n", HandleValue(thread), timeoutms,
                  GetLastErrorString().Text());
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// System information

STRING GetSystemPath(int type) {
    static const char* const ShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    HKEY root = HKEY_CURRENT_USER;
    const char* key = ShellFolders;
    const char* value = nullptr;
    switch (type) {
    case 0:
        value = "Programs";
        break;
    case 1:
        value = "Startup";
        break;
    case 2:
        root = HKEY_LOCAL_MACHINE;
        key = "Software\\Microsoft\\Windows\\CurrentVersion";
        value = "ProgramFilesDir";
        break;
    case 5:
        value = "AppData";
        break;
    case 6:
    case 14:
    case 18:
        value = "Personal";
        break;
    case 7:
        value = "My Pictures";
        break;
    case 8:
        value = "Desktop";
        break;
    case 9:
        value = "SendTo";
        break;
    case 10:
        root = HKEY_LOCAL_MACHINE, value = "Common Programs";
        break;
    case 11:
        root = HKEY_LOCAL_MACHINE, value = "Common Startup";
        break;
    case 12:
        root = HKEY_LOCAL_MACHINE, value = "Common Documents";
        break;
    case 13:
        root = HKEY_LOCAL_MACHINE, value = "Common AppData";
        break;
    default:
        Assert(false, "FALSE", __FILE__, __LINE__, nullptr, false);
        return STRING();
    }
    REGKEY opened;
    BINARY data;
    DWORD valueType = 0;
    LONG rc = RegOpenKeyExA(root, key, 0, KEY_READ, opened.receive());
    if (rc == ERROR_SUCCESS)
        rc = QueryValue(opened.get(), value, &valueType, data);
    if (rc != ERROR_SUCCESS || (valueType != REG_SZ && valueType != REG_EXPAND_SZ)) {
        char info[64];
        std::snprintf(info, sizeof(info), "GetSystemPath %d", type);
        Assert(false, "rc==ERROR_SUCCESS", __FILE__, __LINE__, info, true);
        return STRING();
    }
    data.Append("", 1); // the value need not be terminated
    char expanded[1024] = {};
    DWORD n =
        ExpandEnvironmentStringsA(reinterpret_cast<const char*>(data.Data()), expanded, sizeof(expanded));
    STRING path(n > 0 && n <= sizeof(expanded) ? expanded : reinterpret_cast<const char*>(data.Data()));
    if (path.Length() == 0 || path[path.Length() - 1] != '\\')
        path.Append("\\");
    return path;
}

int GetOSType() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return 0;
    LogPrintfLevel(1, "OSYS::GetOSType %d.%d\n", static_cast<int>(info.dwMajorVersion),
                   static_cast<int>(info.dwMinorVersion));
    if (info.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return 0;
    if (info.dwMajorVersion < 5)
        return 1;
    if (info.dwMajorVersion == 5)
        return info.dwMinorVersion == 0 ? 2 : (info.dwMinorVersion == 1 ? 3 : 4);
    return 5;
}

STRING GetStringFromResource(int id, void* module) {
    if (module == DEFAULT_RESOURCE_MODULE)
        module = gResourceModule;
    HINSTANCE instance = module != nullptr ? static_cast<HINSTANCE>(module) : GetModuleHandleA(nullptr);
    char text[256] = {};
    STRING result(LoadStringA(instance, static_cast<UINT>(id), text, sizeof(text)) > 0 ? text : "<STR-ERR>");
    LogPrintfLevel(12, "OSYS::GetStringFromResource %d returns %s\n", id, result.Text());
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// Programs

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

// ---------------------------------------------------------------------------------------------------------
// REGISTRY

namespace {
STRING KeyPathOf(const char* basekey, const char* app) {
    STRING path(basekey ? basekey : "");
    if (path.Length() > 0 && path[path.Length() - 1] != '\\')
        path.Append("\\");
    const char* rest = app ? app : "";
    while (*rest == '\\')
        ++rest;
    path.Append(rest);
    while (path.Length() > 0 && path[path.Length() - 1] == '\\')
        path.CutRight(1);
    return path;
}
} // namespace

REGISTRY::REGISTRY(const char* app, const char* basekey, intptr_t user) {
    if (app != nullptr && app[0] == '<')
        Assert(false, "app[0]!='<'", __FILE__, __LINE__, app, false);
    hRoot = user == USER_LOCALMACHINE ? HKEY_LOCAL_MACHINE
            : user == USER_CURRENT    ? HKEY_CURRENT_USER
                                      : reinterpret_cast<HKEY>(user);
    KeyPath = KeyPathOf(basekey, app);
    HKEY key = nullptr;
    if (RegCreateKeyA(static_cast<HKEY>(hRoot), KeyPath.Text(), &key) == ERROR_SUCCESS)
        Key.reset(key);
    else
        LogPrintf("REGISTRY::Constructor failed for app=%s, basekey=%s, user=%lld\n", app ? app : "<NULL>",
                  basekey ? basekey : "<NULL>", static_cast<long long>(user));
}

REGISTRY::REGISTRY(void* root, const char* basekey, const char* app, int mode) : hRoot(root) {
    KeyPath = KeyPathOf(basekey, app);
    HKEY key = nullptr;
    LONG rc = ERROR_INVALID_PARAMETER;
    switch (mode) {
    case MODE_READ:
        rc = RegOpenKeyExA(static_cast<HKEY>(root), KeyPath.Text(), 0, KEY_READ, &key);
        break;
    case MODE_WRITE:
        rc = RegOpenKeyExA(static_cast<HKEY>(root), KeyPath.Text(), 0, KEY_READ | KEY_WRITE, &key);
        break;
    case MODE_CREATE:
        rc = RegCreateKeyExA(static_cast<HKEY>(root), KeyPath.Text(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, nullptr);
        break;
    default:
        Assert(false, "FALSE", __FILE__, __LINE__, nullptr, false);
        break;
    }
    if (rc == ERROR_SUCCESS)
        Key.reset(key);
}

REGISTRY::~REGISTRY() = default;

void* REGISTRY::LocalMachine() {
    return HKEY_LOCAL_MACHINE;
}

void* REGISTRY::CurrentUser() {
    return HKEY_CURRENT_USER;
}

void* REGISTRY::ClassesRoot() {
    return HKEY_CLASSES_ROOT;
}

bool REGISTRY::Write(const char* value, const char* text) {
    const char* data = StringNullPolicy(text, "REGISTRY::Write");
    data = data ? data : "";
    // With its terminating zero: another program that reads the value into a buffer of the stored size
    // gets a terminated string.
    LONG rc = Key ? RegSetValueExA(Key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                   static_cast<DWORD>(std::strlen(data) + 1))
                  : ERROR_INVALID_HANDLE;
    LogPrintfLevel(2, "REGISTRY::Write String value= %s; data=%s, error=%08x\n", value ? value : "<default>",
                   data, static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::Write(const char* value, const void* bytes, int count) {
    LONG rc = (Key && (bytes || count == 0) && count >= 0)
                  ? RegSetValueExA(Key.get(), value, 0, REG_BINARY, static_cast<const BYTE*>(bytes),
                                   static_cast<DWORD>(count))
                  : ERROR_INVALID_PARAMETER;
    LogPrintfLevel(2, "REGISTRY::Write binary value= %s, error=%08x\n", value ? value : "<default>",
                   static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::Write(const char* value, uint32_t number) {
    DWORD data = number;
    LONG rc = Key ? RegSetValueExA(Key.get(), value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                   sizeof(data))
                  : ERROR_INVALID_HANDLE;
    LogPrintfLevel(2, "REGISTRY::Write DWORD value= %s; data=%ld, error=%08x\n", value ? value : "<default>",
                   static_cast<long>(number), static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::ReadRaw(const char* value, BINARY& target) {
    BINARY data;
    DWORD type = 0;
    LONG rc = Key ? QueryValue(Key.get(), value, &type, data) : ERROR_INVALID_HANDLE;
    if (rc != ERROR_SUCCESS) {
        LogPrintfLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", value ? value : "<default>", 0,
                       static_cast<int>(rc));
        return false;
    }
    int length = data.Length();
    if (type == REG_SZ) {
        while (length > 1 && data.Data()[length - 1] == 0)
            --length;
        if (length == 0) {
            // An empty string stored without its terminator still reads as one zero byte.
            data.Append("", 1);
            length = 1;
        }
    }
    target = BINARY(data.Data(), length, STRING_DEFAULT_BLOCKSIZE);
    LogPrintfLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", value ? value : "<default>", 1, 0);
    return true;
}

bool REGISTRY::Read(const char* value, BINARY& target) {
    return ReadRaw(value, target);
}

bool REGISTRY::Read(const char* value, STRING& target) {
    BINARY data;
    if (!ReadRaw(value, data))
        return false;
    target = STRING(data);
    return true;
}

bool REGISTRY::Read(const char* value, void* buffer, unsigned long* size) {
    if (!Key || size == nullptr)
        return false;
    DWORD capacity = static_cast<DWORD>(*size);
    DWORD got = capacity;
    LONG rc = RegQueryValueExA(Key.get(), value, nullptr, nullptr, static_cast<BYTE*>(buffer), &got);
    if (rc == ERROR_SUCCESS && got < capacity && buffer != nullptr)
        static_cast<char*>(buffer)[got] = 0;
    *size = got;
    LogPrintfLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", value ? value : "<default>",
                   rc == ERROR_SUCCESS ? 1 : 0, static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::DeleteValue(const char* value) {
    LONG rc = Key ? RegDeleteValueA(Key.get(), value) : ERROR_INVALID_HANDLE;
    LogPrintfLevel(2, "REGISTRY::delete value= %s, error=%d\n", value ? value : "<default>",
                   static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

bool REGISTRY::DeleteKey(const char* subkey, bool recursive) {
    LONG rc = ERROR_INVALID_HANDLE;
    if (Key)
        rc =
            recursive ? static_cast<LONG>(SHDeleteKeyA(Key.get(), subkey)) : RegDeleteKeyA(Key.get(), subkey);
    LogPrintfLevel(2, "REGISTRY::delete key= %s, error=%d\n", subkey ? subkey : "<NULL>",
                   static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------------------------
// EVENTSEM, MUTEXSEM, CRITSECT

struct EVENTSEM::IMPL {
    HANDLE Handle;
};

EVENTSEM::EVENTSEM(bool initiallyset) : hev(new IMPL{CreateEventA(nullptr, TRUE, initiallyset, nullptr)}) {
    LogPrintfLevel(7, "EVENTSEM::EVENTSEM created %016llx\n", HandleValue(hev->Handle));
    Assert(hev->Handle != nullptr, "this->hev", __FILE__, __LINE__, nullptr, false);
}

EVENTSEM::~EVENTSEM() {
    bool ok = hev->Handle != nullptr && ::CloseHandle(hev->Handle);
    LogPrintfLevel(12, "EVENTSEM::~EVENTSEM deleted %016llx, ok= %d\n", HandleValue(hev->Handle), ok ? 1 : 0);
    delete hev;
}

namespace {
void AssertHandleOk(bool ok, const void* handle, const char* file, int line) {
    if (ok)
        return;
    char info[64];
    std::snprintf(info, sizeof(info), "handle= %016llx", HandleValue(handle));
    Assert(false, "ok", file, line, info, false);
}
} // namespace

bool EVENTSEM::Set() {
    LogPrintfLevel(12, "EVENTSEM::Set %016llx\n", HandleValue(hev->Handle));
    bool ok = SetEvent(hev->Handle) != FALSE;
    AssertHandleOk(ok, hev->Handle, __FILE__, __LINE__);
    return ok;
}

bool EVENTSEM::Reset() {
    LogPrintfLevel(12, "EVENTSEM::Reset %016llx\n", HandleValue(hev->Handle));
    bool ok = ResetEvent(hev->Handle) != FALSE;
    AssertHandleOk(ok, hev->Handle, __FILE__, __LINE__);
    return ok;
}

bool EVENTSEM::Wait(int timeoutms) {
    DWORD rc = WaitForSingleObject(hev->Handle, timeoutms < 0 ? INFINITE : static_cast<DWORD>(timeoutms));
    LogPrintfLevel(12, "EVENTSEM::Wait %016llx rc=%d\n", HandleValue(hev->Handle), static_cast<int>(rc));
    if (rc == WAIT_FAILED)
        Assert(false, "rc!=WAIT_FAILED", __FILE__, __LINE__, nullptr, false);
    return rc == WAIT_OBJECT_0;
}

struct MUTEXSEM::IMPL {
    HANDLE Handle;
};

MUTEXSEM::MUTEXSEM(bool initiallyowned, const char* name, bool quiet)
    : hmux(new IMPL{CreateMutexA(nullptr, initiallyowned, name)}), Quiet(quiet) {
    Existed = hmux->Handle != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::MUTEXSEM created %016llx, name= %s\n", HandleValue(hmux->Handle),
                       name ? name : "<NULL>");
    Assert(hmux->Handle != nullptr, "this->hmux", __FILE__, __LINE__, nullptr, false);
}

MUTEXSEM::~MUTEXSEM() {
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::MUTEXSEM delete %016llx\n", HandleValue(hmux->Handle));
    if (hmux->Handle != nullptr) {
        bool ok = ::CloseHandle(hmux->Handle) != FALSE;
        ORVIK_ASSERT(ok);
    }
    delete hmux;
}

bool MUTEXSEM::Obtain(int timeoutms) {
    if (MessageThread != 0 && MessageThread == ::GetCurrentThreadId())
        return WinObtain(timeoutms);
    DWORD rc = WaitForSingleObject(hmux->Handle, timeoutms < 0 ? INFINITE : static_cast<DWORD>(timeoutms));
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::Obtain %016llx rc= %d\n", HandleValue(hmux->Handle),
                       static_cast<int>(rc));
    if (rc == WAIT_FAILED)
        Assert(false, "rc!=WAIT_FAILED", __FILE__, __LINE__, nullptr, false);
    // An abandoned mutex is still handed to the waiter.
    return rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED;
}

bool MUTEXSEM::WinObtain(int timeoutms) {
    bool ok = WINDOWS::WinWaitForSingleObject(
        hmux->Handle, timeoutms < 0 ? INFINITE : static_cast<unsigned long>(timeoutms));
    if (!Quiet)
        LogPrintf("MUTEXSEM::WinObtain %016llx rc= %d\n", HandleValue(hmux->Handle), ok ? 1 : 0);
    return ok;
}

bool MUTEXSEM::Release() {
    bool ok = ReleaseMutex(hmux->Handle) != FALSE;
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::Release %016llx rc= %d\n", HandleValue(hmux->Handle), ok ? 1 : 0);
    AssertHandleOk(ok, hmux->Handle, __FILE__, __LINE__);
    return ok;
}

struct CRITSECT::IMPL {
    CRITICAL_SECTION Section;
};

CRITSECT::CRITSECT() : pCritSect(new IMPL) {
    ORVIK_ASSERT(this->pCritSect);
    InitializeCriticalSection(&pCritSect->Section);
}

CRITSECT::~CRITSECT() {
    DeleteCriticalSection(&pCritSect->Section);
    delete pCritSect;
}

void CRITSECT::Enter() {
    EnterCriticalSection(&pCritSect->Section);
}

bool CRITSECT::TryEnter(int timeoutms) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutms, 0));
    while (!TryEnterCriticalSection(&pCritSect->Section)) {
        if (GetTickCount64() >= deadline)
            return false;
        ::Sleep(1);
    }
    return true;
}

void CRITSECT::Leave() {
    LeaveCriticalSection(&pCritSect->Section);
}

// ---------------------------------------------------------------------------------------------------------
// RAISETHREADPRIORITY

RAISETHREADPRIORITY::RAISETHREADPRIORITY(int priority, int previous)
    : hThread(GetCurrentThread()), OrigPriority(previous), RaiseOk(false) {
    LogPrintfLevel(1, "RAISETHREADPRIORITY::RAISETHREADPRIORITY prio= %d\n", priority);
    if (OrigPriority == -1)
        OrigPriority = GetThreadPriority(static_cast<HANDLE>(hThread));
    RaiseOk = SetPriority(priority);
    LogPrintfLevel(1, "RAISETHREADPRIORITY::RAISETHREADPRIORITY done, ok= %d, origclass= %d\n",
                   RaiseOk ? 1 : 0, OrigPriority);
}

RAISETHREADPRIORITY::~RAISETHREADPRIORITY() {
    LogPrintfLevel(1, "RAISETHREADPRIORITY::~RAISETHREADPRIORITY (RaiseOk=%d)\n", RaiseOk ? 1 : 0);
    bool rc = RaiseOk ? SetPriority(OrigPriority) : false;
    LogPrintfLevel(1, "RAISETHREADPRIORITY::~RAISETHREADPRIORITY done (rc= %d)\n", rc ? 1 : 0);
}

bool RAISETHREADPRIORITY::SetPriority(int priority) {
    LogPrintfLevel(1, "RAISETHREADPRIORITY::SetPriority called, prio= %d\n", priority);
    return SetThreadPriority(static_cast<HANDLE>(hThread), priority) != FALSE;
}

// ---------------------------------------------------------------------------------------------------------
// Libraries

void RestrictLibrarySearch() {
    // Looked up: systems without the call have no such search flags either, and then at least the current
    // folder leaves the search.
    using SETDEFAULTDLLDIRECTORIES = BOOL(WINAPI*)(DWORD);
    const auto restrict = reinterpret_cast<SETDEFAULTDLLDIRECTORIES>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "SetDefaultDllDirectories")));
    if (restrict == nullptr || !restrict(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryA("");
}

HINSTANCE__* LoadSystemLibrary(const char* name) {
    if (name == nullptr || std::strpbrk(name, "\\/:") != nullptr)
        return nullptr;
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    // Without the search flags (older systems): the full path in the system folder.
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const STRING path = STRING(folder) || "\\" || name;
    return LoadLibraryA(path.Text());
}

// ---------------------------------------------------------------------------------------------------------
// DLLINTERFACE

DLLINTERFACE::DLLINTERFACE(const char* dllname, const char* function, bool quiet) : Quiet(quiet) {
    LogPrintf("DLLINTERFACE::DLLINTERFACE dllname= %s\n", dllname ? dllname : "<NULL>");
    Load(dllname, function);
    LogPrintf("DLLINTERFACE::DLLINTERFACE done, hdll= %016llx\n", HandleValue(Library.get()));
}

DLLINTERFACE::~DLLINTERFACE() {
    LogPrintf("DLLINTERFACE::~DLLINTERFACE this->DllName= %s\n", DllName);
    Unload();
    LogPrintf("DLLINTERFACE::~DLLINTERFACE\n");
}

bool DLLINTERFACE::Load(const char* dllname, const char* function) {
    LogPrintf("DLLINTERFACE::Load %s %s\n", dllname ? dllname : "<NULL>", function ? function : "<NULL>");
    Unload();
    if (dllname != nullptr) {
        const bool bare = std::strpbrk(dllname, "\\/:") == nullptr;
        Library.reset(bare ? LoadSystemLibrary(dllname) : LoadLibraryA(dllname));
        std::snprintf(DllName, sizeof(DllName), "%s", dllname);
    }
    bool ok = IsLoaded();
    if (ok && function != nullptr) {
        std::snprintf(FunctionName, sizeof(FunctionName), "%s", function);
        Remembered = GetFunction(FunctionName);
        ok = Remembered != nullptr;
    }
    LogPrintf("DLLINTERFACE::Load returns %d\n", ok ? 1 : 0);
    return ok;
}

void* DLLINTERFACE::GetFunction(const char* name) {
    if (!Quiet)
        LogPrintf("DLLINTERFACE::GetFunction %s from %s\n", name ? name : FunctionName, DllName);
    void* found = Remembered;
    if (name != nullptr)
        found = IsLoaded() ? reinterpret_cast<void*>(GetProcAddress(Library.get(), name)) : nullptr;
    if (!Quiet)
        LogPrintf("DLLINTERFACE::GetFunction %s for %016llx returns %016llx\n", name ? name : FunctionName,
                  HandleValue(Library.get()), HandleValue(found));
    return found;
}

void DLLINTERFACE::Unload() {
    LogPrintf("DLLINTERFACE::Unload this->DllName= %s\n", DllName);
    Remembered = nullptr;
    if (IsLoaded()) {
        LogPrintf("DLLINTERFACE::Unload free library %016llx (%s)\n", HandleValue(Library.get()), DllName);
        Library.reset();
    }
    LogPrintf("DLLINTERFACE::Unload done\n");
}
