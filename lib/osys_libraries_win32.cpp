// OS services on Windows: loading dynamic libraries from the system folder and calling into them.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/osys_win32.h"
#include "lib/winhandles.h"

using OSYSWIN::HandleValue;

void LIBRARYTRAITS::Close(VALUE module) {
    FreeLibrary(module);
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
