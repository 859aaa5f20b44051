// "setuppack bundle": one program file that carries the whole package. It is the bundle program (a prebuilt
// stub, see tools/bundle/) with the product's name, version and icon written into its resources, followed by
// the package folder as a ZIP archive whose offsets count from the start of the file.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/setuppack/report.h"

namespace setuppack {

// The name of the stub that setuppack finds beside itself (or is given with --stub).
constexpr const char* BUNDLE_STUB_NAME = "setupbundle.exe";

// Writes out from the package folder and the stub; false (reported) when it could not be written.
bool MakeBundle(const std::string& package, const std::string& out, const std::string& stub, REPORT& report,
                std::ostream& summary);

// The bytes of the file name in the package: a file of the folder, else a member of setup.fil ("\\" read as
// "/", letter case ignored). Empty when neither holds it.
std::vector<uint8_t> PackageFile(const std::string& package, const std::string& name);

// The bytes of the member name of an archive (a bundle, setup.fil) when it decodes with a correct CRC; letter
// case ignored. Empty otherwise.
std::vector<uint8_t> ArchiveMember(const std::string& archive, const std::string& name);

} // namespace setuppack
