// A product's hook library as tests need it: records every call (tests/common/hookcalls.h) and answers the
// ADMIN call as configured. Built three times: complete, without the "NewSetupHook" export and without the
// "SetupHook" export, for the libraries that setup must cope with.
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "tests/common/hookcalls.h"

namespace {

HMODULE gSelf = nullptr;

std::string SelfPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(gSelf, path, MAX_PATH);
    return path;
}

} // namespace

#if !defined(SAMPLE_WITHOUT_SETUPHOOK)
namespace {
constexpr int HOOK_ADMIN = 256;

int ConfiguredAdminAnswer() {
    std::ifstream in(hookcalls::BesideLibrary(SelfPath(), ".admin"));
    int answer = 1;
    if (in >> answer)
        return answer;
    return 1;
}
} // namespace

extern "C" __declspec(dllexport) int SetupHook(int code, const char* text) {
    hookcalls::Record(SelfPath(), {"SetupHook", std::to_string(code), text ? text : "<null>"});
    return code == HOOK_ADMIN ? ConfiguredAdminAnswer() : 1;
}
#endif

#if !defined(SAMPLE_WITHOUT_NEWSETUPHOOK)
extern "C" __declspec(dllexport) int NewSetupHook(int code, int value, intptr_t p1, intptr_t p2, intptr_t p3,
                                                  intptr_t p4) {
    using hookcalls::Pointer;
    hookcalls::Record(SelfPath(), {"NewSetupHook", std::to_string(code), std::to_string(value), Pointer(p1),
                                   Pointer(p2), Pointer(p3), Pointer(p4)});
    return 1;
}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        gSelf = instance;
        hookcalls::Record(SelfPath(), {"attach"});
    } else if (reason == DLL_PROCESS_DETACH) {
        // A null reserved pointer means FreeLibrary; otherwise the process is ending.
        hookcalls::Record(SelfPath(), {"detach", reserved ? "process end" : "FreeLibrary"});
    }
    return TRUE;
}
