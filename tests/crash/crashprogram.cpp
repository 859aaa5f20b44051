// A program that starts like setup.exe (the same application root and crash handler) and then faults on
// purpose. "/NAME:x" names it (the dump's program tag), "/FAULT:" chooses the fault: "access" writes to
// address 0x1234, "stack" recurses without end, "thread" writes to 0x1234 on a second thread, anything else
// ends normally. Before it faults it logs its thread ("crashprogram faulting thread %lu").
#include <windows.h>

#include <thread>

#include "lib/approot.h"
#include "lib/orvik.h"

namespace {

volatile int* const FaultAddress = reinterpret_cast<volatile int*>(0x1234);

void WriteToBadAddress() {
    LogPrintf("crashprogram faulting thread %lu\n", GetCurrentThreadId());
    *FaultAddress = 1;
}

// Each call keeps a page of its own on the stack, so that the recursion cannot be turned into a loop. The
// limit is never reached: the stack ends long before.
int Recurse(int depth) {
    volatile char page[4096];
    page[depth % sizeof page] = static_cast<char>(depth);
    if (depth == 0x7FFFFFFF)
        return 0;
    return Recurse(depth + 1) + page[0];
}

int CrashMain(int, char**, char**) {
    const STRING name = GetArgValue("NAME", 0);
    SetApplicationIdentity(name.IsEmpty() ? "crashprogram" : name.c_str(), "1.00", nullptr);
    const STRING fault = GetArgValue("FAULT", 0);
    if (fault == "access") {
        WriteToBadAddress();
    } else if (fault == "stack") {
        LogPrintf("crashprogram faulting thread %lu\n", GetCurrentThreadId());
        return Recurse(0);
    } else if (fault == "thread") {
        std::thread worker(WriteToBadAddress);
        worker.join();
    }
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AppProcessEntry(instance, CrashMain);
}
