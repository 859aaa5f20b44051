// "setuppack build": a package folder made from a source folder. Plain files of the source are copied; its
// folders "setup.fil" and "custom.fil" become the archives of those names, with a member for every file and
// every folder below them, in byte order of their names (so a folder's member comes before its contents).
#pragma once

#include <ostream>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/setuppack/report.h"

namespace setuppack {

// The archive folders of a source folder.
constexpr const char* ARCHIVE_FOLDERS[] = {"setup.fil", "custom.fil"};

// Writes the archive from the files below folder, behind prefix (a program, for a self-extracting file);
// false (reported) when it cannot be written.
bool PackFolder(const std::string& folder, const std::string& archive, REPORT& report, std::ostream& summary,
                const std::vector<uint8_t>& prefix = {});
// Makes dest from source (see above); false when something could not be written.
bool BuildPackage(const std::string& source, const std::string& dest, REPORT& report, std::ostream& summary);

} // namespace setuppack
