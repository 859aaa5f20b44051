// The whole package folder as setup reads it: "setup.cfg", the advertisement file, the licence texts, the
// files CopyToDest names, both archives, and the members that shortcuts, file types, firewall entries and
// icons point at.
#pragma once

#include <ostream>
#include <string>

#include "tools/setuppack/report.h"

namespace setuppack {

// Checks folder; problems go to report, a short summary of what was read to summary.
void CheckPackage(const std::string& folder, REPORT& report, std::ostream& summary);

} // namespace setuppack
