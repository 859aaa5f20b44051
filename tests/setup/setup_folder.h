// A fresh folder holding a copy of setup.exe and the chosen language libraries, as a product maker ships
// them; removed afterwards.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

class SETUPFOLDER {
public:
    explicit SETUPFOLDER(std::initializer_list<const char*> libraries = {"setupenglish.dll", "setupgerman.dll"}) {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Path = std::filesystem::temp_directory_path() /
               ("setup_test_" + std::to_string(stamp) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(Path);
        Copy("setup.exe");
        for (const char* library : libraries)
            Copy(library);
    }
    ~SETUPFOLDER() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    SETUPFOLDER(const SETUPFOLDER&) = delete;
    SETUPFOLDER& operator=(const SETUPFOLDER&) = delete;

    std::string File(const char* name) const { return (Path / name).string(); }
    std::string Program() const { return File("setup.exe"); }

    std::string Read(const char* name) const {
        std::ifstream in(Path / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void Write(const char* name, const std::string& text) const {
        std::ofstream out(Path / name, std::ios::binary);
        out << text;
    }

    std::filesystem::path Path;

private:
    void Copy(const char* name) const {
        std::filesystem::copy_file(std::filesystem::path(ORVIK_SETUP_BIN_DIR) / name, Path / name);
    }
};

// String id of the language library at path, read directly from the file.
inline std::string LibraryString(const std::string& path, int id) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "<library not loadable: " + path + ">";
    char text[256] = {};
    const int length = LoadStringA(module, static_cast<UINT>(id), text, sizeof text);
    FreeLibrary(module);
    return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
}
