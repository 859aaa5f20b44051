#pragma once
// UnzipRun: the engine driven by an argument vector, as the unziprun program and the engine tests use it
// (the installer extracts through UNZIPPER, unzip/unzipper.h).
//   listing:               "unzip", "-v", archive [patterns...]
//   extraction:            "unzip", "-qq", archive [patterns...], "-d", directory
// Options: -v list, -q / -qq quieter, -o overwrite (always the case), -d directory. Every "\" in every
// argument counts as "/". Nothing persists from one call to the next.
#include "unzip/engine.h"

#include <functional>
#include <string>

namespace orvik::unzip {

struct RunEnvironment {
    Messages* messages = nullptr; // standard output and standard error when null
    std::function<bool(const std::string& question)> confirmVmsMember; // standard input when unset
};

// Returns the engine's result code. With "-v" the listing goes into `listing` when given.
int UnzipRun(int argc, const char* const* argv, Listing* listing = nullptr,
             const RunEnvironment& environment = {});

} // namespace orvik::unzip
