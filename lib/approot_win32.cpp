// The Windows part of the application root: process entry, heap and common controls, the language library
// and the standard message boxes.
#include "lib/approot.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "lib/appglobals.h"
#include "lib/crashhandler.h"
#include "lib/orvik.h"
#include "lib/osys.h"

namespace {

// The low-fragmentation heap keeps the many small string buffers from fragmenting the process heap. Looked up
// at run time because older kernels lack the call. (The 64-bit runtime has no small-block heap whose
// threshold could be set instead when the switch is not made.)
void PrepareHeap() {
    DLLINTERFACE kernel32("kernel32", nullptr, true);
    using HEAPSETINFORMATION = BOOL(WINAPI*)(HANDLE, HEAP_INFORMATION_CLASS, PVOID, SIZE_T);
    using ISDEBUGGERPRESENT = BOOL(WINAPI*)();
    const auto setinformation = kernel32.Function<HEAPSETINFORMATION>("HeapSetInformation");
    if (!setinformation)
        return;
    const auto debuggerpresent = kernel32.Function<ISDEBUGGERPRESENT>("IsDebuggerPresent");
    if (debuggerpresent && debuggerpresent()) {
        LogPrintfLevel(14, "Not using LowFragmentation Heap in debugger\n");
        return;
    }
    ULONG lowfragmentation = 2;
    setinformation(GetProcessHeap(), HeapCompatibilityInformation, &lowfragmentation,
                   sizeof lowfragmentation);
}

// The top-level window that contains window: message boxes must be owned by it, not by a control.
HWND TopLevelOwner(void* window) {
    HWND hwnd = static_cast<HWND>(window);
    while (hwnd && (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)) {
        HWND parent = GetParent(hwnd);
        if (!parent)
            break;
        hwnd = parent;
    }
    return hwnd;
}

int ShowMessageBox(const char* kind, void* window, const char* title, const char* text, UINT style) {
    LogPrintf("WINORVIK::%s title=%s text=%s\n", kind, title ? title : STRING_NULL_TEXT,
              text ? text : STRING_NULL_TEXT);
    const HWND owner = TopLevelOwner(window);
    // Boxes before Vista do not wrap long lines themselves.
    const STRING message = ReflowMessageText(text ? text : "", 55, OSYS::GetOSType() < 5);
    const STRING caption = title ? STRING(title) : OSYS::GetStringFromResource(10001);
    return MessageBoxA(owner, message.c_str(), caption.Text(), style | MB_SETFOREGROUND);
}

} // namespace

int AppProcessEntry(void* instance, APPMAIN appmain) {
    RestrictLibrarySearch();
    gInstance = instance;
    gResourceModule = instance;

    // The argument vector points into this writable copy of the command line until the main function returns.
    const char* commandline = GetCommandLineA();
    std::vector<char> buffer(commandline, commandline + std::strlen(commandline) + 1);
    const STRING programpath = OSYS::GetModulePath();
    std::vector<char*> slots(ARGV_MAX_SLOTS, nullptr);
    const int argc = SplitCommandLine(buffer.data(), programpath.c_str(), slots.data(), ARGV_MAX_SLOTS);
    return AppEntry(argc, slots.data(), appmain);
}

int AppEntry(int argc, char** argv, APPMAIN appmain) {
    gMainThreadId = GetCurrentThreadId();
    PrepareHeap();
    CrashHandlerInstall(0);

    // An empty TZ makes the runtime library take the time zone from the system.
    _putenv("TZ=");
    _tzset();

    ElapsedMilliseconds(false);
    LogPrintf("ORVIKAPP instance=%p gMainThreadId= %08x\n", gInstance, static_cast<unsigned>(gMainThreadId));

    ARGUMENTSOURCE source;
    source.ProgramPath = OSYS::GetModulePath();
    source.Count = argc;
    source.Vector = argv;
    source.DefaultLanguage = PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale()));
    AcquireArguments(source);

    int result = 1;
    if (Assert(appmain != nullptr, "pfnAppMain", __FILE__, __LINE__, nullptr, false) && appmain)
        result = appmain(argc, argv, _environ);

    ApplicationExit(result);

    if (gLanguageDllLoaded) {
        FreeLibrary(static_cast<HMODULE>(gResourceModule));
        gResourceModule = gInstance;
        gLanguageDllLoaded = false;
    }
    CrashHandlerRelease();
    return result;
}

bool InitApplication(const char* programpath, const char* name, const char* version,
                     const char* displayname) {
    SetApplicationIdentity(name, version, displayname);
    const STRING base = AdjustDevelopmentDir(DirectoryOf(programpath)) || "\\" || name;

    if (gLanguageDllLoaded) {
        FreeLibrary(static_cast<HMODULE>(gResourceModule));
        gResourceModule = gInstance;
        gLanguageDllLoaded = false;
    }
    for (;;) {
        const char* suffix = LanguageLibrarySuffix(gLocale);
        const STRING library = base || suffix;
        HMODULE module = LoadLibraryA(library.c_str());
        if (module) {
            gResourceModule = module;
            gLanguageDllLoaded = true;
            LogPrintf("ORVIKAPP language library %s loaded, gLocale= %d\n", library.Text(), gLocale);
            return true;
        }
        LogPrintf("ORVIKAPP cannot load language library %s: %s\n", library.Text(),
                  OSYS::GetLastErrorString().Text());
        if (std::strcmp(suffix, "english.dll") != 0) {
            gLocale = LANG_ID_ENGLISH;
            continue;
        }
        STRING text;
        text.Printf("DLL not found:\r%s", library.Text());
        MessageBoxA(nullptr, text.c_str(), "Orvik Application", MB_ICONERROR);
        ExitProcess(99);
    }
}

namespace WINORVIK {

bool ErrorMsgBox(void* window, const char* title, const char* text) {
    return ShowMessageBox("ErrorMsgBox", window, title, text, MB_ICONERROR) != 0;
}

bool YesNoMsgBox(void* window, const char* title, const char* text) {
    return ShowMessageBox("YesNoMsgBox", window, title, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool InfoMsgBox(void* window, const char* title, const char* text) {
    return ShowMessageBox("InfoMsgBox", window, title, text, MB_ICONINFORMATION) != 0;
}

} // namespace WINORVIK
