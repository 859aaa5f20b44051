// Uninstall entries of the registry below HKEY_LOCAL_MACHINE: their values read, written and deleted, an
// entry for one test that is removed afterwards; and names no other run uses.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <utility>

// The uninstall entry key of name below HKEY_LOCAL_MACHINE.
inline std::string UninstallKey(const std::string& name) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
}

// A value of the uninstall entry; "<absent>" when it is not there.
inline std::string UninstallValue(const std::string& name, const char* value) {
    char text[1024] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, UninstallKey(name).c_str(), value, RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS)
        return "<absent>";
    return text;
}

inline void SetUninstallValue(const std::string& name, const char* value, const std::string& text) {
    HKEY handle = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, UninstallKey(name).c_str(), &handle) != ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
}

// The entry with everything below it.
inline void DeleteUninstallEntry(const std::string& name) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, UninstallKey(name).c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, UninstallKey(name).c_str());
}

// HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + name, deleted afterwards.
class UNINSTALLENTRY {
public:
    explicit UNINSTALLENTRY(std::string name) : Name(std::move(name)) { Remove(); }
    ~UNINSTALLENTRY() { Remove(); }
    UNINSTALLENTRY(const UNINSTALLENTRY&) = delete;
    UNINSTALLENTRY& operator=(const UNINSTALLENTRY&) = delete;

    void Set(const char* value, const std::string& text) const { SetUninstallValue(Name, value, text); }
    bool KeyExists() const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    std::string Path() const { return UninstallKey(Name); }

    std::string Name;

private:
    void Remove() const { RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path().c_str()); }
};

// A name no other test run uses at the same time.
inline std::string UniqueName(const std::string& prefix) {
    return prefix + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
}
