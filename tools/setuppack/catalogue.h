// "setuppack manifest": the installer manifest of a software catalogue (schema 1.10) for a bundle, from the
// setup.cfg it carries: how setup is started silently, where it installs, what it writes into the uninstall
// entry and what its exit codes mean.
#pragma once

#include <ostream>
#include <string>

#include "tools/setuppack/report.h"

namespace setuppack {

struct CATALOGUEOPTIONS {
    std::string Bundle;
    std::string Url;
    std::string Identifier; // "Vendor.Product"; empty: the publisher and AppName
};

// One exit code of setup and the catalogue's response to it.
struct EXITRESPONSE {
    int Code;
    const char* Response;
};
// Every exit code of an installation or uninstallation that is not success.
extern const EXITRESPONSE SETUP_EXIT_RESPONSES[13];

// The text as a double-quoted YAML scalar.
std::string YamlText(const std::string& text);

// Writes the manifest for the bundle; false (reported) when the bundle or its setup.cfg cannot be read.
bool WriteCatalogueManifest(const CATALOGUEOPTIONS& options, std::ostream& out, REPORT& report);

} // namespace setuppack
