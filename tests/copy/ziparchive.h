// Writes small ZIP archives for the tests: stored members (files and folders), made on an NTFS host so
// that member names keep their letter case.
#pragma once

#include <string>
#include <vector>

namespace copytest {

struct MEMBER {
    std::string Name; // "/" separators; a name ending in "/" is a folder
    std::string Data;
};

// True when the archive was written.
bool WriteZip(const std::string& path, const std::vector<MEMBER>& members);

} // namespace copytest
