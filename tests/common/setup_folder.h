// A fresh folder holding a copy of setup.exe and the chosen language libraries, as a product maker ships
// them; removed afterwards.
#pragma once

#include <windows.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "tests/common/scratch_folder.h"
#include "tests/common/test_support.h"

class SETUPFOLDER {
    SCRATCHFOLDER Scratch{"setup_test"}; // first: Path names it

public:
    explicit SETUPFOLDER(std::initializer_list<const char*> libraries = {"setupenglish.dll",
                                                                         "setupgerman.dll"})
        : Path(Scratch.Path()) {
        Copy("setup.exe");
        for (const char* library : libraries)
            Copy(library);
    }
    SETUPFOLDER(const SETUPFOLDER&) = delete;
    SETUPFOLDER& operator=(const SETUPFOLDER&) = delete;

    std::string File(const char* name) const { return (Path / name).string(); }
    std::string Program() const { return File("setup.exe"); }

    std::string Read(const char* name) const { return ReadWholeFile(File(name)); }
    void Write(const char* name, const std::string& text) const { WriteWholeFile(File(name), text); }

    const std::filesystem::path Path;

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
