// Writes small ZIP archives for the tests: stored members (files and folders), made on an NTFS host so
// that member names keep their letter case unless a member names another host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testzip {

struct MEMBER {
    std::string Name; // "/" separators; a name ending in "/" is a folder
    std::string Data;
    uint16_t Flags = 0;          // general-purpose flags: 0x0800 marks the name as UTF-8
    uint8_t Host = 11;           // the system the member was made on: 0 MS-DOS, 3 Unix, 11 NTFS
    uint16_t Method = 0;         // the method the headers name; Data is written as it stands whatever it is
    uint32_t Attributes = 0;     // external attributes; 0: the folder or archive attribute by the name
    uint16_t VersionNeeded = 20; // version needed to extract
};

// True when the archive was written.
bool WriteZip(const std::string& path, const std::vector<MEMBER>& members);

} // namespace testzip
