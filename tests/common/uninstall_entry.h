// An uninstall entry of the registry for one test, removed afterwards; and names no other run uses.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

// HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + name, deleted afterwards.
class UNINSTALLENTRY {
public:
    explicit UNINSTALLENTRY(std::string name) : Name(std::move(name)) { Remove(); }
    ~UNINSTALLENTRY() { Remove(); }
    UNINSTALLENTRY(const UNINSTALLENTRY&) = delete;
    UNINSTALLENTRY& operator=(const UNINSTALLENTRY&) = delete;

    void Set(const char* value, const std::string& text) const {
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, Path().c_str(), &key) != ERROR_SUCCESS)
            return;
        RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }
    bool KeyExists() const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    std::string Path() const { return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Name; }

    std::string Name;

private:
    void Remove() const { RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path().c_str()); }
};

// A name no other test run uses at the same time.
inline std::string UniqueName(const std::string& prefix) {
    return prefix + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
}
