// A fresh folder under %TEMP% for one test, removed with everything in it afterwards; and an uninstall entry
// of the registry that is removed the same way.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

class TEMPFOLDER {
public:
    explicit TEMPFOLDER(const std::string& tag = "install_test") {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Path = std::filesystem::temp_directory_path() /
               (tag + "_" + std::to_string(stamp) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(Path);
    }
    ~TEMPFOLDER() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    TEMPFOLDER(const TEMPFOLDER&) = delete;
    TEMPFOLDER& operator=(const TEMPFOLDER&) = delete;

    std::string File(const std::string& name) const { return (Path / name).string(); }
    std::string Text() const { return Path.string(); }
    void Write(const std::string& name, const std::string& text) const {
        std::filesystem::create_directories((Path / name).parent_path());
        std::ofstream out(Path / name, std::ios::binary);
        out << text;
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Path / name); }

    std::filesystem::path Path;
};

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
