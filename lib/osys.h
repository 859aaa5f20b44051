// The library's layer over the operating system: system information, programs, threads, error texts, times,
// synchronisation and (on Windows) registry, shell folders, string resources and dynamic libraries.
// Handles are passed as void* so that this header stays free of <windows.h>.
#pragma once

#include <cstdint>
#include <cstdio>

#include "lib/scopedhandle.h"
#include "lib/strings.h"
#include "lib/systemlibrary.h"

// <windows.h> maps these names to their A/W variants; the OSYS functions keep the plain names.
#ifdef GetUserName
#undef GetUserName
#endif
#ifdef GetComputerName
#undef GetComputerName
#endif

namespace OSYS {

constexpr long LAST_ERROR = -4711; // GetLastErrorString: the calling thread's last error

// Last error code of the calling thread (GetLastError, errno natively).
long GetLastErrorCode();
// System message text for code (at most 255 characters, no trailing line breaks); "<no error>" when the
// system has none.
STRING GetLastErrorString(long code = LAST_ERROR);

STRING GetUserName();     // null when unavailable
STRING GetComputerName(); // "<N/A>" when unavailable
STRING GetCurrentDir();
bool SetCurrentDir(const char* path);
STRING GetModulePath(); // full path of the program file
STRING GetDateString(); // today in the user's short date format
STRING GetTimeString(); // now in the user's time format ("HH:mm:ss" without one)
bool ReadHighResCounter(int64_t* counter, int64_t* frequency);
uint32_t GetCurrentThreadId();
uint32_t GetCurrentProcessId();
void Sleep(unsigned long ms);
// fopen that lets other processes read and write the file meanwhile (Windows: _fsopen without denial).
FILE* OpenSharedFile(const char* name, const char* mode);
// Size of the file in bytes; -1 when it cannot be determined.
int64_t GetFileSize(const char* name);

// Threads: CreateThread starts routine(argument) with a 32 KB stack and returns a handle that belongs to
// the caller until WaitThread has seen the thread end (it then releases the handle). Null on failure.
using THREADROUTINE = void (*)(void* argument);
void* CreateThread(THREADROUTINE routine, void* argument);
bool WaitThread(void* thread, int timeoutms);
constexpr int WAIT_FOREVER = -1;

#if defined(_WIN32)
// The shell folders GetSystemPath knows.
enum SYSTEMPATH : int {
    SYSTEMPATH_PROGRAMS = 0,         // the user's program menu
    SYSTEMPATH_STARTUP = 1,          // the user's start-up folder
    SYSTEMPATH_PROGRAMFILES = 2,     // the program-files folder
    SYSTEMPATH_APPDATA = 5,          // the user's application data
    SYSTEMPATH_DOCUMENTS = 6,        // the user's documents (also 14 and 18)
    SYSTEMPATH_PICTURES = 7,         // the user's pictures
    SYSTEMPATH_DESKTOP = 8,          // the user's desktop
    SYSTEMPATH_SENDTO = 9,           // the user's SendTo folder
    SYSTEMPATH_COMMON_PROGRAMS = 10, // the program menu of all users
    SYSTEMPATH_COMMON_STARTUP = 11,  // the start-up folder of all users
    SYSTEMPATH_COMMON_DOCUMENTS = 12,
    SYSTEMPATH_COMMON_APPDATA = 13, // the application data of all users
    SYSTEMPATH_DOCUMENTS_14 = 14,
    SYSTEMPATH_DOCUMENTS_18 = 18,
};
// Shell folder of the given type (SYSTEMPATH), always ending in "\"; null when unreadable.
STRING GetSystemPath(int type);
// 0 not NT, 1 NT < 5, 2 = 5.0, 3 = 5.1, 4 = 5.2, 5 = 6 or later.
int GetOSType();
// String resource of module (-1: gResourceModule); "<STR-ERR>" when missing.
void* const DEFAULT_RESOURCE_MODULE = reinterpret_cast<void*>(intptr_t(-1));
STRING GetStringFromResource(int id, void* module = DEFAULT_RESOURCE_MODULE);

// Handles of a started program, filled on request; the caller closes both.
struct PROCESSINFO {
    void* hProcess = nullptr;
    void* hThread = nullptr;
    uint32_t ProcessId = 0;
    uint32_t ThreadId = 0;
};

constexpr int START_SYNC = 0x01;   // wait for the program to end
constexpr int START_HIDDEN = 0x02; // show states, tested in this order
constexpr int START_MINIMIZED = 0x04;
constexpr int START_MAXIMIZED = 0x08;
constexpr int START_RESPONSIVE = 0x10; // with START_SYNC: pump messages while waiting
constexpr int START_EXITCODE_UNREAD = -8;

// Command line "\"program\" arguments" (program unquoted when it starts with a quote). A program starting
// with "*" starts minimised, with "#" hidden. True when the process was started.
bool StartProgram(const char* program, const char* arguments, const char* directory, const char* title,
                  int flags, PROCESSINFO* info, int* exitcode);
bool StartProgram(const char* program, const char* arguments, const char* title, bool synchronous);
// What StartProgram hands to CreateProcessA: the command line (at most 1023 characters) and the show state
// (an SW_ value) from the flags and a leading "*" or "#" of the program text.
struct STARTCOMMAND {
    STRING CommandLine;
    int ShowState;
};
STARTCOMMAND PrepareStart(const char* program, const char* arguments, int flags);
bool OpenDocument(const char* file, void* window);
bool CloseHandle(void* handle);
#endif

} // namespace OSYS

#if defined(_WIN32)
// Synchronous start returning the program's exit code: -8 when it cannot be read, 1 when the program does not
// start.
int StartProgramExitCode(const char* program, const char* arguments, const char* directory,
                         const char* title);
// Run key entry of the current user; a null command deletes it; 1, "<ownfile>", "<self>" or the own path
// store the quoted program path.
bool SetAutoStart(const char* valuename, const char* command);
#endif

// Manual-reset, unnamed event.
class EVENTSEM {
public:
    explicit EVENTSEM(bool initiallyset = false);
    ~EVENTSEM();
    EVENTSEM(const EVENTSEM&) = delete;
    EVENTSEM& operator=(const EVENTSEM&) = delete;

    bool Set();
    bool Reset();
    // True when signalled within timeoutms (-1 waits for ever). Does not consume the signal.
    bool Wait(int timeoutms = -1);

private:
    struct IMPL;
    IMPL* hev;
};

// Recursive mutex, named across processes on Windows. A quiet mutex does not log (the log writer's own lock).
class MUTEXSEM {
public:
    explicit MUTEXSEM(bool initiallyowned = false, const char* name = nullptr, bool quiet = false);
    ~MUTEXSEM();
    MUTEXSEM(const MUTEXSEM&) = delete;
    MUTEXSEM& operator=(const MUTEXSEM&) = delete;

    bool Obtain(int timeoutms = -1);
    bool Release();
    // When the thread that obtains is this one, Obtain pumps its messages while waiting (Windows).
    void SetMessageThread(uint32_t threadid) { MessageThread = threadid; }
#if defined(_WIN32)
    bool WinObtain(int timeoutms);
    // True when the named mutex existed before this object opened it.
    bool AlreadyExisted() const {
        return Existed;
    }
#endif

private:
    struct IMPL;
    IMPL* hmux;
    uint32_t MessageThread = 0;
    bool Quiet;
    bool Existed = false;
};

// Recursive in-process lock without logging.
class CRITSECT {
public:
    CRITSECT();
    ~CRITSECT();
    CRITSECT(const CRITSECT&) = delete;
    CRITSECT& operator=(const CRITSECT&) = delete;

    void Enter();
    // Enters when the lock becomes free within timeoutms; false when it does not.
    bool TryEnter(int timeoutms);
    void Leave();

private:
    struct IMPL;
    IMPL* pCritSect;
};

// Scope guard for CRITSECT.
class CRITSECTLOCK {
public:
    explicit CRITSECTLOCK(CRITSECT& cs) : Cs(cs) { Cs.Enter(); }
    ~CRITSECTLOCK() { Cs.Leave(); }
    CRITSECTLOCK(const CRITSECTLOCK&) = delete;
    CRITSECTLOCK& operator=(const CRITSECTLOCK&) = delete;

private:
    CRITSECT& Cs;
};

#if defined(_WIN32)
// Raises the current thread's priority for the lifetime of the object and restores it afterwards.
class RAISETHREADPRIORITY {
public:
    explicit RAISETHREADPRIORITY(int priority, int previous = -1);
    ~RAISETHREADPRIORITY();
    RAISETHREADPRIORITY(const RAISETHREADPRIORITY&) = delete;
    RAISETHREADPRIORITY& operator=(const RAISETHREADPRIORITY&) = delete;

    bool SetPriority(int priority);

private:
    void* hThread;
    int OrigPriority;
    bool RaiseOk;
};

// Registry key under the local machine, the current user or a given root, bound to its path.
class REGISTRY {
public:
    static constexpr int USER_LOCALMACHINE = 0;
    static constexpr int USER_CURRENT = 1;
    static constexpr int MODE_READ = 256;
    static constexpr int MODE_WRITE = 257;
    static constexpr int MODE_CREATE = 258;

    // Creates or opens basekey\app. user: 0 local machine, 1 current user, else a root key handle.
    REGISTRY(const char* app, const char* basekey, intptr_t user);
    // Opens root\basekey\app for reading (256), writing (257) or creates it (258).
    REGISTRY(void* root, const char* basekey, const char* app, int mode);
    ~REGISTRY();
    REGISTRY(const REGISTRY&) = delete;
    REGISTRY& operator=(const REGISTRY&) = delete;

    bool IsOpen() const { return static_cast<bool>(Key); }
    const STRING& GetPath() const { return KeyPath; }

    bool Write(const char* value, const char* text);
    bool Write(const char* value, const void* bytes, int count);
    bool Write(const char* value, uint32_t number);
    bool Read(const char* value, BINARY& target);
    bool Read(const char* value, STRING& target);
    // Reads into buffer; size gives its capacity and receives the value's length.
    bool Read(const char* value, void* buffer, unsigned long* size);
    bool DeleteValue(const char* value);
    bool DeleteKey(const char* subkey, bool recursive);

    // Root key handles for the second constructor.
    static void* LocalMachine();
    static void* CurrentUser();
    static void* ClassesRoot();

private:
    bool ReadRaw(const char* value, BINARY& target);

    REGKEY Key;
    void* hRoot = nullptr;
    STRING KeyPath;
};

// A dynamically loaded library with one looked-up function, freed when the object goes. Every step is
// logged; a quiet library does not log its look-ups. A name without a path is a system library, loaded from
// the system folder only; any other library is named by its full path.
class DLLINTERFACE {
public:
    DLLINTERFACE(const char* dllname, const char* function = nullptr, bool quiet = false);
    ~DLLINTERFACE();
    DLLINTERFACE(const DLLINTERFACE&) = delete;
    DLLINTERFACE& operator=(const DLLINTERFACE&) = delete;

    bool Load(const char* dllname, const char* function = nullptr);
    // The named function, or the remembered one for null; null when missing.
    void* GetFunction(const char* name = nullptr);
    // The named export as a function pointer of type FUNCTION, or null.
    template <typename FUNCTION> FUNCTION Function(const char* name) {
        return reinterpret_cast<FUNCTION>(GetFunction(name));
    }
    void Unload();
    bool IsLoaded() const { return static_cast<bool>(Library); }
    void* GetModule() const { return Library.get(); }

private:
    LIBRARYHANDLE Library;
    bool Quiet;
    void* Remembered = nullptr; // the function named when loading
    char FunctionName[128] = {};
    char DllName[128] = {};
};
#endif
