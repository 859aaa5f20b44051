// Reads a minidump file from its published layout (header, stream directory, thread list, module list,
// exception stream), independent of the library that wrote it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MINIDUMPMODULE {
    uint64_t Base = 0;
    uint32_t Size = 0;
    std::string Name; // as stored, converted from UTF-16 (ASCII only)
};

struct MINIDUMPEXCEPTION {
    bool Present = false;
    uint32_t ThreadId = 0;
    uint32_t Code = 0;
    uint64_t Address = 0;
    std::vector<uint64_t> Parameters;
};

struct MINIDUMPCONTENTS {
    std::string Error; // empty when the file could be read
    uint32_t Signature = 0;
    uint32_t StreamCount = 0;
    std::vector<uint32_t> StreamTypes;
    std::vector<uint32_t> ThreadIds;
    std::vector<MINIDUMPMODULE> Modules;
    MINIDUMPEXCEPTION Exception;
    uint64_t Memory64Bytes = 0; // bytes of the full-memory list, when present

    // The module whose image holds address; null when none does.
    const MINIDUMPMODULE* ModuleAt(uint64_t address) const;
};

MINIDUMPCONTENTS ReadMiniDump(const std::string& bytes);
