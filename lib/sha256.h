// SHA-256 (FIPS 180-4): the checksum a software catalogue records of a bundle, and the tests' digests of
// the sample archives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvik {

class SHA256 {
public:
    SHA256();
    void Update(const uint8_t* data, size_t length);
    // The digest as 64 upper-case hexadecimal digits; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const uint8_t* block);

    uint32_t State[8];
    uint8_t Buffer[64];
    size_t Buffered = 0;
    uint64_t Length = 0; // bytes so far
};

// The digest of a whole file; empty when it cannot be read.
std::string FileSha256(const std::string& path);

} // namespace orvik
