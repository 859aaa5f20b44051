// OS services on Windows: threads, waits, events, mutexes, critical sections and thread priorities.
#include <windows.h>
#include <process.h>

#include <algorithm>
#include <cstdio>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/osys_win32.h"

using OSYSWIN::HandleValue;

namespace {
constexpr unsigned ThreadStackSize = 32768;
} // namespace

namespace OSYS {

uint32_t GetCurrentThreadId() {
    return ::GetCurrentThreadId();
}

void Sleep(unsigned long ms) {
    ::Sleep(ms);
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

} // namespace OSYS

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
