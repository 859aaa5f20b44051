#include "tests/robot/wine_settings.h"

#include "tests/robot/robot_error.h"
#include "tests/robot/text.h"

#include <windows.h>

namespace uirobot {

namespace {

// An open registry key, closed on destruction.
class RegistryKey {
public:
    RegistryKey(HKEY parent, const std::wstring& path) {
        LONG status =
            RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
        if (status != ERROR_SUCCESS)
            throw RobotError("cannot open the registry key " + toUtf8(path));
    }
    ~RegistryKey() { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    void setString(const wchar_t* name, const std::wstring& value) const {
        auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        if (RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) !=
            ERROR_SUCCESS)
            throw RobotError("cannot write the registry value " + toUtf8(name));
    }

private:
    HKEY key_ = nullptr;
};

} // namespace

bool runningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void letWineDrawWindowFrames(const std::string& programFileName) {
    if (!runningUnderWine())
        return;
    RegistryKey settings(HKEY_CURRENT_USER,
                         L"Software\\Wine\\AppDefaults\\" + toWide(programFileName) + L"\\X11 Driver");
    settings.setString(L"Managed", L"N");
}

} // namespace uirobot
