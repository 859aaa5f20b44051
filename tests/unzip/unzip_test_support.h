#pragma once
// Helpers of the archive engine tests: test data, the files below a folder, SHA-256 digests and UnzipRun.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/common/scratch_folder.h"
#include "tests/common/test_support.h"
#include "unzip/engine.h"

namespace unziptest {

// <repo>/tests/data/zip/<relative>, through ORVIK_TEST_DATA.
std::string ZipData(const std::string& relative);

bool Exists(const std::string& path);
// Every regular file below `root`, as paths relative to it with "/" separators, sorted.
std::vector<std::string> FilesBelow(const std::string& root);

std::string Sha256Hex(const std::string& data);

// One line of a SHA256SUMS file beside the sample archives: digest, size, archive, member.
struct Checksum {
    std::string digest;
    uint64_t size = 0;
    std::string archive;
    std::string member;
};
std::vector<Checksum> ReadChecksums(const std::string& path);

// UnzipRun with the given arguments after "unzip": its result, messages and listing. vms answers the VMS
// question (unset: no).
struct RunResult {
    int code = -1;
    std::string messages;
    orvik::unzip::Listing listing;
};
RunResult Unzip(std::vector<std::string> args, std::function<bool(const std::string&)> vms = nullptr);

} // namespace unziptest
