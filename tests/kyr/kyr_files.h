// What the tests of the KYR hook and migration share: files laid out and read back, and the REXX option.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "lib/osys.h"

inline void PutFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void SetRexxGlobalScbs(uint32_t value) {
    REGISTRY options(REGISTRY::CurrentUser(), "Software\\Enterprise Alternatives\\REXX", "ExecOptions",
                     REGISTRY::MODE_CREATE);
    options.Write("GlobalSCBs", value);
}

// 0xFFFFFFFF when the value cannot be read.
inline uint32_t RexxGlobalScbs() {
    REGISTRY options(REGISTRY::CurrentUser(), "Software\\Enterprise Alternatives\\REXX", "ExecOptions",
                     REGISTRY::MODE_READ);
    uint32_t value = 0xFFFFFFFF;
    unsigned long size = sizeof value;
    if (!options.Read("GlobalSCBs", &value, &size))
        return 0xFFFFFFFF;
    return value;
}
