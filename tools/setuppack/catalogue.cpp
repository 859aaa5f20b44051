#include "tools/setuppack/catalogue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "lib/sha256.h"
#include "lib/textcodec.h"
#include "setup/config.h"
#include "setup/exitcodes.h"
#include "setup/record/installrecord.h"
#include "tools/setuppack/bundle.h"
#include "tools/setuppack/configfile.h"

namespace setuppack {

namespace fs = std::filesystem;

const EXITRESPONSE SETUP_EXIT_RESPONSES[13] = {
    {SETUP_EXIT_CANNOT_START, "contactSupport"},
    {SETUP_EXIT_CANCELLED, "cancelledByUser"},
    {SETUP_EXIT_PREREQUISITE_MISSING, "missingDependency"},
    {SETUP_EXIT_COPY_FAILED, "contactSupport"}, // the package is damaged: a new download may mend it
    {SETUP_EXIT_COPY_ABORTED, "contactSupport"},
    {SETUP_EXIT_NOTHING_TO_UNINSTALL, "contactSupport"},
    {SETUP_EXIT_UNINSTALL_CANCELLED, "cancelledByUser"},
    {SETUP_EXIT_REMOVAL_INCOMPLETE, "contactSupport"},
    {SETUP_EXIT_IN_PROGRESS, "installInProgress"},
    {SETUP_EXIT_DISK_FULL, "diskFull"},
    {SETUP_EXIT_FILE_IN_USE, "fileInUse"},
    {SETUP_EXIT_INVALID_PARAMETER, "invalidParameter"},
    {99, "contactSupport"}, // the English language library is missing
};

namespace {

std::string Value(const HASH& table, const char* key) {
    const STRING value = CONFIGREADER(table).Text(key);
    return value.NotNull() ? TEXTCODEC::MakerText(value.Text()) : "";
}

// A part of a package identifier: no blanks, dots or characters a file name cannot hold.
std::string IdentifierPart(const std::string& text) {
    std::string part;
    for (char c : text)
        if (static_cast<unsigned char>(c) > 0x20 && std::string("./\\:*?\"<>|").find(c) == std::string::npos)
            part += c;
    return part.substr(0, 32);
}

// The architecture the bundle's program is made for, from its file header.
std::string Architecture(const std::string& bundle) {
    std::ifstream in(bundle, std::ios::binary);
    uint8_t header[1024] = {};
    in.read(reinterpret_cast<char*>(header), sizeof(header));
    const size_t pe = header[0x3C] | header[0x3D] << 8;
    if (pe + 6 > sizeof(header))
        return "neutral";
    switch (header[pe + 4] | header[pe + 5] << 8) {
    case 0x8664:
        return "x64";
    case 0x014C:
        return "x86";
    case 0xAA64:
        return "arm64";
    default:
        return "neutral";
    }
}

// The extensions of the file types setup.cfg registers, without their dot.
std::vector<std::string> FileExtensions(const HASH& table) {
    std::vector<std::string> extensions;
    for (const STRING& entry : ListFields(CONFIGREADER(table).Text("FileTypes", ""))) {
        std::string extension = EntryField(entry, 0).Text();
        if (!extension.empty() && extension[0] == '.')
            extension.erase(0, 1);
        if (!extension.empty() &&
            std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
            extensions.push_back(extension);
    }
    return extensions;
}

} // namespace

std::string YamlText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool WriteCatalogueManifest(const CATALOGUEOPTIONS& options, std::ostream& out, REPORT& report) {
    const std::string sha = orvik::FileSha256(options.Bundle);
    if (sha.empty()) {
        report.Add(options.Bundle, 0, "cannot be read");
        return false;
    }
    // setup.cfg is read from the bundle as setup reads it, through a folder of its own.
    const std::vector<uint8_t> bytes = ArchiveMember(options.Bundle, "setup.cfg");
    if (bytes.empty()) {
        report.Add(options.Bundle, 0, "is not a bundle: it carries no setup.cfg");
        return false;
    }
    std::error_code error;
    const fs::path folder =
        fs::temp_directory_path(error) /
        ("setuppack-manifest-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder, error);
    std::ofstream(folder / "setup.cfg", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    CONFIGFILE file;
    const bool read = file.Read(folder.string(), "setup.cfg", report);
    fs::remove_all(folder, error);
    if (!read)
        return false;
    const HASH table = file.Resolved("");

    const std::string appname = Value(table, "AppName");
    const std::string version = Value(table, "AppVersion");
    const std::string inikey = Value(table, "IniKey");
    const std::string displayname = Value(table, "StartmenuName");
    std::string identifier = options.Identifier;
    if (identifier.empty())
        identifier = IdentifierPart(UNINSTALL_PUBLISHER) + "." + IdentifierPart(appname);
    if (appname.empty() || version.empty())
        report.Add("setup.cfg", 0, "AppName and AppVersion are needed for a catalogue entry");

    out << "# The installer manifest of " << appname << " " << version << ", written by setuppack.\n"
        << "PackageIdentifier: " << YamlText(identifier) << "\n"
        << "PackageVersion: " << YamlText(version) << "\n"
        << "InstallerLocale: \"en-US\"\n"
        << "Platform:\n  - Windows.Desktop\n"
        << "MinimumOSVersion: \"6.1.0.0\"\n"
        << "InstallerType: exe\n"
        << "Scope: machine\n"
        // The bundle asks for administrator rights itself, as setup.exe does.
        << "ElevationRequirement: elevatesSelf\n"
        << "InstallModes:\n  - interactive\n  - silent\n  - silentWithProgress\n"
        << "InstallerSwitches:\n"
        << "  Silent: \"/VERYSILENT\"\n"
        << "  SilentWithProgress: \"/SILENT /SUPPRESSMSGBOXES\"\n"
        << "  InstallLocation: " << YamlText("/DIR=\"<INSTALLPATH>\"") << "\n"
        << "  Log: " << YamlText("/LOG=\"<LOGPATH>\"") << "\n"
        << "ExpectedReturnCodes:\n";
    for (const EXITRESPONSE& response : SETUP_EXIT_RESPONSES)
        out << "  - InstallerReturnCode: " << response.Code << "\n    ReturnResponse: " << response.Response
            << "\n";
    // A newer version is installed over the earlier one, in its folder.
    out << "UpgradeBehavior: install\n";
    const std::vector<std::string> extensions = FileExtensions(table);
    if (!extensions.empty()) {
        out << "FileExtensions:\n";
        for (const std::string& extension : extensions)
            out << "  - " << YamlText(extension) << "\n";
    }
    if (!inikey.empty())
        out << "ProductCode: " << YamlText(inikey) << "\n";
    // As the uninstall entry writes them.
    out << "AppsAndFeaturesEntries:\n"
        << "  - DisplayName: " << YamlText(displayname.empty() ? appname : displayname)
        << "\n    Publisher: " << YamlText(UNINSTALL_PUBLISHER)
        << "\n    DisplayVersion: " << YamlText(version) << "\n";
    if (!inikey.empty())
        out << "    ProductCode: " << YamlText(inikey) << "\n";
    out << "Installers:\n"
        << "  - Architecture: " << Architecture(options.Bundle) << "\n"
        << "    InstallerUrl: " << YamlText(options.Url) << "\n"
        << "    InstallerSha256: " << YamlText(sha) << "\n"
        << "ManifestType: installer\n"
        << "ManifestVersion: 1.10.0\n";
    return true;
}

} // namespace setuppack
