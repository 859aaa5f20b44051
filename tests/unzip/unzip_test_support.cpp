#include "tests/unzip/unzip_test_support.h"

#include "lib/sha256.h"
#include "unzip/unziprun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace unziptest {

std::string ZipData(const std::string& relative) {
    const char* root = std::getenv("ORVIK_TEST_DATA");
    if (!root) {
        ADD_FAILURE() << "ORVIK_TEST_DATA is not set (ctest sets it)";
        return relative;
    }
    return std::string(root) + "/zip/" + relative;
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<std::string> FilesBelow(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files.push_back(entry.path().lexically_relative(root).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Sha256Hex(const std::string& data) {
    orvik::SHA256 sha;
    sha.Update(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    std::string hex = sha.HexDigest();
    for (char& c : hex) // as SHA256SUMS files write it
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
}

std::vector<Checksum> ReadChecksums(const std::string& path) {
    std::vector<Checksum> sums;
    std::istringstream lines(ReadWholeFile(path));
    Checksum c;
    while (lines >> c.digest >> c.size >> c.archive >> c.member)
        sums.push_back(c);
    return sums;
}

RunResult Unzip(std::vector<std::string> args, std::function<bool(const std::string&)> vms) {
    using namespace orvik::unzip;
    args.insert(args.begin(), "unzip");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    CollectedMessages messages;
    RunEnvironment environment;
    environment.messages = &messages;
    environment.confirmVmsMember = vms ? vms : [](const std::string&) { return false; };
    RunResult run;
    run.code = UnzipRun(static_cast<int>(argv.size()), argv.data(), &run.listing, environment);
    run.messages = messages.Text();
    return run;
}

} // namespace unziptest
