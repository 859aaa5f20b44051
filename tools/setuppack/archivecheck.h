// A product archive read through the extraction engine the installer uses: opened, every member decoded in
// memory and its size and CRC checked, its member names judged by the rules the installer joins them by.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/setuppack/report.h"

namespace setuppack {

struct ARCHIVESUMMARY {
    bool Opened = false;
    std::vector<std::string> Members; // as the engine lists them
    uint64_t Bytes = 0;               // uncompressed
};

// Checks folder/name; every fault goes to report under name.
ARCHIVESUMMARY CheckArchive(const std::string& folder, const std::string& name, REPORT& report);

} // namespace setuppack
