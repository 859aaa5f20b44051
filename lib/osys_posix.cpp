// OS services of the native build: the portable subset of osys.h on POSIX systems.
#include "lib/osys.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "lib/orvik.h"

namespace {

unsigned long long HandleValue(const void* p) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p));
}

// Thread stack: 32 KB as on Windows, more when sanitizers enlarge every frame.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t ThreadStackSize = 512 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t ThreadStackSize = 512 * 1024;
#else
constexpr size_t ThreadStackSize = 32768;
#endif
#else
constexpr size_t ThreadStackSize = 32768;
#endif

// A started thread: the routine, and the flag WaitThread waits for.
struct THREAD {
    OSYS::THREADROUTINE Routine = nullptr;
    void* Argument = nullptr;
    pthread_t Id{};
    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
};

void* ThreadMain(void* p) {
    auto* thread = static_cast<THREAD*>(p);
    thread->Routine(thread->Argument);
    std::lock_guard<std::mutex> guard(thread->Lock);
    thread->Done = true;
    thread->Ended.notify_all();
    return nullptr;
}

} // namespace

namespace OSYS {

long GetLastErrorCode() {
    return errno;
}

STRING GetLastErrorString(long code) {
    if (code == LAST_ERROR)
        code = errno;
    char text[256] = {};
    // The GNU variant returns the text, which may or may not live in our buffer.
    const char* message = strerror_r(static_cast<int>(code), text, sizeof(text));
    STRING result(message && *message ? message : "<no error>");
    result.Truncate(255);
    result.Strip('R', "\r\n");
    return result;
}

STRING GetUserName() {
    struct passwd pw;
    struct passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof(buffer), &found) == 0 && found != nullptr)
        return STRING(found->pw_name);
    return STRING();
}

STRING GetComputerName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0')
        return STRING("<N/A>");
    return STRING(name);
}

STRING GetCurrentDir() {
    char dir[PATH_MAX];
    return STRING(getcwd(dir, sizeof(dir)));
}

bool SetCurrentDir(const char* path) {
    return path != nullptr && chdir(path) == 0;
}

STRING GetModulePath() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return STRING();
    path[n] = '\0';
    return STRING(path);
}

STRING GetDateString() {
    char text[64] = {};
    time_t now = time(nullptr);
    struct tm parts;
    localtime_r(&now, &parts);
    strftime(text, sizeof(text), "%x", &parts);
    return STRING(text);
}

STRING GetTimeString() {
    char text[64] = {};
    time_t now = time(nullptr);
    struct tm parts;
    localtime_r(&now, &parts);
    strftime(text, sizeof(text), "%H:%M:%S", &parts);
    return STRING(text);
}

bool ReadHighResCounter(int64_t* counter, int64_t* frequency) {
    struct timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0)
        return false;
    if (counter != nullptr)
        *counter = static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    if (frequency != nullptr)
        *frequency = 1000000000LL;
    return true;
}

uint32_t GetCurrentThreadId() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

uint32_t GetCurrentProcessId() {
    return static_cast<uint32_t>(getpid());
}

void Sleep(unsigned long ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

FILE* OpenSharedFile(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr)
        return nullptr;
    return std::fopen(name, mode);
}

int64_t GetFileSize(const char* name) {
    struct stat st;
    if (name == nullptr || stat(name, &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

void* CreateThread(THREADROUTINE routine, void* argument) {
    ORVIK_ASSERT(routine != nullptr);
    if (routine == nullptr)
        return nullptr;
    auto* thread = new THREAD;
    thread->Routine = routine;
    thread->Argument = argument;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, std::max<size_t>(ThreadStackSize, PTHREAD_STACK_MIN));
    int rc = pthread_create(&thread->Id, &attr, ThreadMain, thread);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete thread;
        thread = nullptr;
    }
    LogPrintf("OSYS::CreateThread returned hthread= %016llx, tid= %04x\n", HandleValue(thread),
              thread ? static_cast<unsigned>(thread->Id & 0xFFFF) : 0u);
    return thread;
}

bool WaitThread(void* handle, int timeoutms) {
    if (timeoutms != 0)
        LogPrintf("OSYS::WaitThread hthread=%016llx, timeout= %d\n", HandleValue(handle), timeoutms);
    if (handle == nullptr) {
        Assert(false, "hthread!=NULL", __FILE__, __LINE__, nullptr, false);
        return false;
    }
    auto* thread = static_cast<THREAD*>(handle);
    bool ended;
    {
        std::unique_lock<std::mutex> lock(thread->Lock);
        if (timeoutms < 0)
            thread->Ended.wait(lock, [thread] { return thread->Done; });
        else
            thread->Ended.wait_for(lock, std::chrono::milliseconds(timeoutms),
                                   [thread] { return thread->Done; });
        ended = thread->Done;
    }
    if (!ended) {
        if (timeoutms != 0)
            LogPrintf("OSYS::WaitThread hthread=%016llx timeout= %d failed %s\n", HandleValue(handle),
                      timeoutms, "timeout");
        return false;
    }
    pthread_join(thread->Id, nullptr);
    delete thread;
    return true;
}

} // namespace OSYS

// ---------------------------------------------------------------------------------------------------------
// EVENTSEM

struct EVENTSEM::IMPL {
    std::mutex Lock;
    std::condition_variable Signal;
    bool IsSet = false;
};

EVENTSEM::EVENTSEM(bool initiallyset) : hev(new IMPL) {
    hev->IsSet = initiallyset;
    LogPrintfLevel(7, "EVENTSEM::EVENTSEM created %016llx\n", HandleValue(hev));
}

EVENTSEM::~EVENTSEM() {
    LogPrintfLevel(12, "EVENTSEM::~EVENTSEM deleted %016llx, ok= %d\n", HandleValue(hev), 1);
    delete hev;
}

bool EVENTSEM::Set() {
    LogPrintfLevel(12, "EVENTSEM::Set %016llx\n", HandleValue(hev));
    std::lock_guard<std::mutex> guard(hev->Lock);
    hev->IsSet = true;
    hev->Signal.notify_all();
    return true;
}

bool EVENTSEM::Reset() {
    LogPrintfLevel(12, "EVENTSEM::Reset %016llx\n", HandleValue(hev));
    std::lock_guard<std::mutex> guard(hev->Lock);
    hev->IsSet = false;
    return true;
}

bool EVENTSEM::Wait(int timeoutms) {
    bool signalled;
    {
        std::unique_lock<std::mutex> lock(hev->Lock);
        if (timeoutms < 0)
            hev->Signal.wait(lock, [this] { return hev->IsSet; });
        else
            hev->Signal.wait_for(lock, std::chrono::milliseconds(timeoutms), [this] { return hev->IsSet; });
        signalled = hev->IsSet;
    }
    LogPrintfLevel(12, "EVENTSEM::Wait %016llx rc=%d\n", HandleValue(hev), signalled ? 0 : 258);
    return signalled;
}

// ---------------------------------------------------------------------------------------------------------
// MUTEXSEM: recursive, owned by a thread, releasable only by its owner.

struct MUTEXSEM::IMPL {
    std::mutex Lock;
    std::condition_variable Free;
    std::thread::id Owner;
    int Count = 0;
};

MUTEXSEM::MUTEXSEM(bool initiallyowned, const char* name, bool quiet) : hmux(new IMPL), Quiet(quiet) {
    // Names have no meaning across processes here; the mutex is always local to the process.
    if (initiallyowned) {
        hmux->Owner = std::this_thread::get_id();
        hmux->Count = 1;
    }
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::MUTEXSEM created %016llx, name= %s\n", HandleValue(hmux),
                       name ? name : "<NULL>");
}

MUTEXSEM::~MUTEXSEM() {
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::MUTEXSEM delete %016llx\n", HandleValue(hmux));
    delete hmux;
}

bool MUTEXSEM::Obtain(int timeoutms) {
    const std::thread::id me = std::this_thread::get_id();
    bool obtained;
    {
        std::unique_lock<std::mutex> lock(hmux->Lock);
        auto available = [this, me] { return hmux->Count == 0 || hmux->Owner == me; };
        if (timeoutms < 0)
            hmux->Free.wait(lock, available);
        else
            hmux->Free.wait_for(lock, std::chrono::milliseconds(timeoutms), available);
        obtained = available();
        if (obtained) {
            hmux->Owner = me;
            ++hmux->Count;
        }
    }
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::Obtain %016llx rc= %d\n", HandleValue(hmux), obtained ? 0 : 258);
    return obtained;
}

bool MUTEXSEM::Release() {
    bool ok = false;
    {
        std::lock_guard<std::mutex> guard(hmux->Lock);
        if (hmux->Count > 0 && hmux->Owner == std::this_thread::get_id()) {
            ok = true;
            if (--hmux->Count == 0) {
                hmux->Owner = std::thread::id();
                hmux->Free.notify_one();
            }
        }
    }
    if (!Quiet)
        LogPrintfLevel(11, "MUTEXSEM::Release %016llx rc= %d\n", HandleValue(hmux), ok ? 1 : 0);
    if (!ok) {
        char info[64];
        std::snprintf(info, sizeof(info), "handle= %016llx", HandleValue(hmux));
        Assert(false, "ok", __FILE__, __LINE__, info, false);
    }
    return ok;
}

// ---------------------------------------------------------------------------------------------------------
// CRITSECT

struct CRITSECT::IMPL {
    std::recursive_timed_mutex Lock;
};

CRITSECT::CRITSECT() : pCritSect(new IMPL) {}

CRITSECT::~CRITSECT() {
    delete pCritSect;
}

void CRITSECT::Enter() {
    pCritSect->Lock.lock();
}

bool CRITSECT::TryEnter(int timeoutms) {
    return pCritSect->Lock.try_lock_for(std::chrono::milliseconds(std::max(timeoutms, 0)));
}

void CRITSECT::Leave() {
    pCritSect->Lock.unlock();
}
