#include "tools/setuppack/bundle.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "lib/strings.h"
#include "lib/textcodec.h"
#include "setup/config.h"
#include "setup/record/installrecord.h"
#include "tools/setuppack/configfile.h"
#include "tools/setuppack/packbuild.h"
#include "tools/setuppack/peresources.h"
#include "unzip/engine.h"

namespace setuppack {

namespace fs = std::filesystem;

namespace {

using namespace orvik::unzip;

class BYTESINK : public OutputSink {
public:
    bool Write(const uint8_t* data, size_t length) override {
        Bytes.insert(Bytes.end(), data, data + length);
        return true;
    }
    std::vector<uint8_t> Bytes;
};

bool ReadWhole(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Value(const HASH& table, const char* key) {
    const STRING value = CONFIGREADER(table).Text(key);
    return value.NotNull() ? TEXTCODEC::MakerText(value.Text()) : "";
}

// The product's name, version and icon from setup.cfg, as the bundle's resources.
bool ProductResources(const std::string& package, const std::string& out, std::vector<RESOURCE>& resources,
                      REPORT& report, std::ostream& summary) {
    CONFIGFILE config;
    if (!config.Read(package, "setup.cfg", report))
        return false;
    const HASH table = config.Resolved("");
    VERSIONTEXTS texts;
    texts.ProductName = Value(table, "AppName");
    texts.ProductVersion = Value(table, "AppVersion");
    texts.FileDescription = texts.ProductName + " " + texts.ProductVersion + " Setup";
    texts.CompanyName = UNINSTALL_PUBLISHER; // as the uninstall entry names the publisher
    texts.OriginalFilename = fs::path(out).filename().string();
    if (texts.ProductName.empty())
        report.Add("setup.cfg", config.LineOf("AppName", ""),
                   "AppName is empty: the bundle names no product");

    std::vector<RESOURCE> icons;
    const std::string iconName = Value(table, "UninstallIcon");
    if (!iconName.empty()) {
        std::string error;
        const std::vector<uint8_t> file = PackageFile(package, iconName);
        if (file.empty())
            report.Add("setup.cfg", config.LineOf("UninstallIcon", ""),
                       "the icon \"" + iconName + "\" is neither in the package nor in setup.fil");
        else if (!IconResources(file, icons, error))
            report.Add("setup.cfg", config.LineOf("UninstallIcon", ""),
                       "no icon taken from \"" + iconName + "\": " + error);
        else
            summary << "bundle icon: " << iconName << "\n";
    }
    resources = WithProductIdentity(resources, icons, VersionResource(texts));
    return true;
}

} // namespace

std::vector<uint8_t> PackageFile(const std::string& package, const std::string& name) {
    std::string member = name;
    std::replace(member.begin(), member.end(), '\\', '/');
    std::vector<uint8_t> bytes;
    std::error_code error;
    const fs::path plain = fs::path(package) / member;
    if (fs::is_regular_file(plain, error) && ReadWhole(plain, bytes))
        return bytes;
    return ArchiveMember((fs::path(package) / "setup.fil").string(), member);
}

std::vector<uint8_t> ArchiveMember(const std::string& path, const std::string& name) {
    CollectedMessages messages;
    ZipArchive archive(messages);
    archive.Open(path, 2);
    if (!archive.IsUsable())
        return {};
    const std::vector<ZipEntry>& entries = archive.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Lower(entries[i].name) != Lower(name))
            continue;
        BYTESINK sink;
        if (archive.Test(i, sink) == kOk)
            return sink.Bytes;
    }
    return {};
}

bool MakeBundle(const std::string& package, const std::string& out, const std::string& stub, REPORT& report,
                std::ostream& summary) {
    std::error_code error;
    if (!fs::is_regular_file(fs::path(package) / "setup.exe", error)) {
        report.Add(package, 0, "holds no setup.exe: a bundle without it cannot install");
        return false;
    }
    // The bundle would pack itself, half written.
    const fs::path outFolder = fs::weakly_canonical(fs::absolute(out).parent_path(), error);
    if (outFolder == fs::weakly_canonical(fs::absolute(package), error)) {
        report.Add(out, 0, "lies in the package folder: write the bundle elsewhere");
        return false;
    }
    std::vector<uint8_t> image;
    if (!ReadWhole(stub, image) || image.empty()) {
        report.Add(stub, 0, "cannot be read: the bundle program is missing (give it with --stub)");
        return false;
    }
    std::vector<RESOURCE> resources;
    std::string problem;
    if (!ReadResources(image, resources, problem)) {
        report.Add(stub, 0, "is not a bundle program: " + problem);
        return false;
    }
    if (!ProductResources(package, out, resources, report, summary))
        return false;
    if (!ReplaceResources(image, resources, problem)) {
        report.Add(stub, 0, "its resources cannot be written: " + problem);
        return false;
    }
    if (!PackFolder(package, out, report, summary, image))
        return false;
    // The checksum covers the archive too, now that it is there; it lies in the headers.
    std::vector<uint8_t> bundle;
    if (!ReadWhole(out, bundle) || !UpdateImageChecksum(bundle) ||
        !std::ofstream(out, std::ios::binary | std::ios::in | std::ios::out)
             .write(reinterpret_cast<const char*>(bundle.data()),
                    static_cast<std::streamsize>(std::min<size_t>(bundle.size(), 4096)))) {
        report.Add(out, 0, "its checksum cannot be written");
        return false;
    }
    summary << "bundle " << out << ": " << fs::file_size(out, error) << " bytes\n";
    return true;
}

} // namespace setuppack
