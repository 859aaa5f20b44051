// setuppack: the package tool of product makers.
//   setuppack check DIR        reads the package folder DIR as setup.exe would and reports every problem
//   setuppack build SRC DEST   makes the package DEST from SRC (see packbuild.h) and checks it
//   setuppack bundle DIR OUT   one program file that carries the package DIR (see bundle.h)
//   setuppack sign FILE        signs a program file or library (see signing.h)
//   setuppack manifest BUNDLE  writes the catalogue's installer manifest of a bundle (see catalogue.h)
// Exit codes: 0 no problem, 1 problems reported, 2 wrong command line, 3 the package could not be written.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "tools/setuppack/bundle.h"
#include "tools/setuppack/catalogue.h"
#include "tools/setuppack/packagecheck.h"
#include "tools/setuppack/packbuild.h"
#include "tools/setuppack/signing.h"

namespace {

namespace fs = std::filesystem;

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_PROBLEMS = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_NOT_WRITTEN = 3;

int Usage() {
    std::cerr
        << "usage: setuppack check DIR\n"
           "       setuppack build SRC DEST\n"
           "       setuppack bundle DIR OUT.exe [--stub FILE] [--sign --cert CERT --key KEY [--timestamp "
           "URL]]\n"
           "       setuppack sign FILE --cert CERT --key KEY [--timestamp URL]\n"
           "       setuppack manifest BUNDLE --url URL [--identifier Vendor.Product] [--out FILE]\n"
           "SRC holds the package's files; its folders setup.fil/ and custom.fil/ become the archives.\n";
    return EXIT_USAGE;
}

int Finish(const setuppack::REPORT& report, const std::string& folder) {
    if (report.Clean()) {
        std::cout << folder << ": no problems\n";
        return EXIT_CLEAN;
    }
    report.Print(std::cerr);
    std::cerr << folder << ": " << report.All().size() << " problem" << (report.All().size() == 1 ? "" : "s")
              << "\n";
    return EXIT_PROBLEMS;
}

// The command's words after its positional arguments: "--name value" pairs and bare "--flag"s.
struct OPTIONS {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Named;
    bool Valid = true;

    OPTIONS(int argc, char** argv, std::initializer_list<const char*> flags) {
        for (int i = 2; i < argc; ++i) {
            const std::string word = argv[i];
            if (word.rfind("--", 0) != 0) {
                Positional.push_back(word);
                continue;
            }
            const bool flag =
                std::any_of(flags.begin(), flags.end(), [&](const char* f) { return word == f; });
            if (flag)
                Named[word] = "1";
            else if (i + 1 < argc)
                Named[word] = argv[++i];
            else
                Valid = false;
        }
    }
    std::string operator[](const std::string& name) const {
        const auto found = Named.find(name);
        return found == Named.end() ? "" : found->second;
    }
    bool Has(const std::string& name) const { return Named.count(name) > 0; }
};

bool IsProgramFile(const fs::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".exe" || extension == ".dll";
}

// Warnings, not problems: an unsigned package installs, but Windows warns whoever downloads it.
void WarnUnsigned(const std::string& folder) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file() && IsProgramFile(entry.path()) &&
            !setuppack::HasSignature(entry.path().string()))
            std::cerr << entry.path().filename().string()
                      << ": warning: not signed (Windows names no publisher for it; see setuppack sign)\n";
}

bool SignOptions(const OPTIONS& options, setuppack::SIGNOPTIONS& sign) {
    sign.Certificate = options["--cert"];
    sign.Key = options["--key"];
    sign.Timestamp = options["--timestamp"];
    return !sign.Certificate.empty() && !sign.Key.empty();
}

int Bundle(const OPTIONS& options, const char* program) {
    if (options.Positional.size() != 2 || !options.Valid)
        return Usage();
    const std::string package = options.Positional[0];
    const std::string out = options.Positional[1];
    std::string stub = options["--stub"];
    if (stub.empty())
        stub = (fs::path(program).parent_path() / setuppack::BUNDLE_STUB_NAME).string();
    setuppack::REPORT report;
    setuppack::SIGNOPTIONS sign;
    const bool signing = options.Has("--sign");
    if (signing && !SignOptions(options, sign))
        return Usage();
    if (signing) {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(package, error))
            if (entry.is_regular_file() && IsProgramFile(entry.path()) &&
                !setuppack::SignFile(sign, entry.path().string(), report, std::cout)) {
                report.Print(std::cerr);
                return EXIT_NOT_WRITTEN;
            }
    }
    // Checked first: a bundle of a package that setup trips over helps nobody.
    setuppack::CheckPackage(package, report, std::cout);
    if (!setuppack::MakeBundle(package, out, stub, report, std::cout) ||
        (signing && !setuppack::SignFile(sign, out, report, std::cout))) {
        report.Print(std::cerr);
        return EXIT_NOT_WRITTEN;
    }
    if (!signing)
        WarnUnsigned(package);
    return Finish(report, out);
}

int Manifest(const OPTIONS& options) {
    if (options.Positional.size() != 1 || !options.Valid || options["--url"].empty())
        return Usage();
    setuppack::CATALOGUEOPTIONS catalogue{options.Positional[0], options["--url"], options["--identifier"]};
    setuppack::REPORT report;
    const std::string path = options["--out"];
    std::ofstream file;
    if (!path.empty())
        file.open(path, std::ios::binary);
    std::ostream& out = path.empty() ? std::cout : file;
    if (!setuppack::WriteCatalogueManifest(catalogue, out, report) || !out.good()) {
        report.Print(std::cerr);
        return EXIT_NOT_WRITTEN;
    }
    if (!report.Clean()) {
        report.Print(std::cerr);
        return EXIT_PROBLEMS;
    }
    return EXIT_CLEAN;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    setuppack::REPORT report;
    if (command == "check" && argc == 3) {
        setuppack::CheckPackage(argv[2], report, std::cout);
        WarnUnsigned(argv[2]);
        return Finish(report, argv[2]);
    }
    if (command == "build" && argc == 4) {
        if (!setuppack::BuildPackage(argv[2], argv[3], report, std::cout)) {
            report.Print(std::cerr);
            return EXIT_NOT_WRITTEN;
        }
        setuppack::CheckPackage(argv[3], report, std::cout);
        return Finish(report, argv[3]);
    }
    if (command == "bundle")
        return Bundle(OPTIONS(argc, argv, {"--sign"}), argv[0]);
    if (command == "sign") {
        const OPTIONS options(argc, argv, {});
        setuppack::SIGNOPTIONS sign;
        if (options.Positional.size() != 1 || !options.Valid || !SignOptions(options, sign))
            return Usage();
        if (!setuppack::SignFile(sign, options.Positional[0], report, std::cout)) {
            report.Print(std::cerr);
            return EXIT_NOT_WRITTEN;
        }
        return EXIT_CLEAN;
    }
    if (command == "manifest")
        return Manifest(OPTIONS(argc, argv, {}));
    return Usage();
}
