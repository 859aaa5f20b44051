// OS services on Windows: error texts, user and computer names, dates and times, the system's version,
// string resources and shared file access.
#include <windows.h>
#include <share.h>

#include <cstring>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/osys.h"

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

uint32_t GetCurrentProcessId() {
    return ::GetCurrentProcessId();
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

} // namespace OSYS
