#include "tests/unzip/unzip_test_support.h"

#include "unzip/unziprun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

namespace {

// FIPS 180-4 SHA-256, only to check extracted files against the published digests.
class Sha256 {
public:
    void Update(const uint8_t* data, size_t length) {
        for (size_t i = 0; i < length; ++i) {
            block_[used_++] = data[i];
            if (used_ == 64) {
                Compress();
                used_ = 0;
            }
        }
        bits_ += uint64_t(length) * 8;
    }
    std::string HexDigest() {
        uint64_t bits = bits_;
        uint8_t pad = 0x80;
        Update(&pad, 1);
        uint8_t zero = 0;
        while (used_ != 56)
            Update(&zero, 1);
        for (int i = 7; i >= 0; --i) {
            uint8_t b = static_cast<uint8_t>(bits >> (i * 8));
            Update(&b, 1);
        }
        static const char hex[] = "0123456789abcdef";
        std::string out;
        for (uint32_t v : h_)
            for (int i = 28; i >= 0; i -= 4)
                out += hex[(v >> i) & 15];
        return out;
    }

private:
    static uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
    void Compress() {
        static const uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = (uint32_t(block_[i * 4]) << 24) | (uint32_t(block_[i * 4 + 1]) << 16) |
                   (uint32_t(block_[i * 4 + 2]) << 8) | block_[i * 4 + 3];
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h_[0] += a;
        h_[1] += b;
        h_[2] += c;
        h_[3] += d;
        h_[4] += e;
        h_[5] += f;
        h_[6] += g;
        h_[7] += h;
    }

    uint32_t h_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint8_t block_[64] = {};
    size_t used_ = 0;
    uint64_t bits_ = 0;
};

} // namespace

std::string Sha256Hex(const std::string& data) {
    Sha256 sha;
    sha.Update(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return sha.HexDigest();
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
