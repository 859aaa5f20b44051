#include "tests/unzip/unzip_test_support.h"

#include "lib/sha256.h"
#include "unzip/unziprun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
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

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = std::filesystem::temp_directory_path() /
           ("orvik-unzip-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    // Read-only files would stop the removal on Windows.
    for (auto it = std::filesystem::recursive_directory_iterator(dir_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
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
    std::istringstream lines(ReadFile(path));
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
