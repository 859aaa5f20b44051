#include "unzip/crc32.h"

#include <array>
#include <cstring>

namespace orvik::unzip {
namespace {

// Slicing-by-8: eight tables let the loop fold eight input bytes per step instead of one.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

CrcTables BuildTables() {
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int s = 1; s < 8; ++s)
            t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    return t;
}

const CrcTables& Tables() {
    static const CrcTables tables = BuildTables();
    return tables;
}

} // namespace

void Crc32::Update(const void* data, size_t length) {
    const CrcTables& t = Tables();
    const auto* p = static_cast<const unsigned char*>(data);
    uint32_t c = state_;
    while (length >= 8) {
        uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        // The engine only targets little-endian machines (x86-64 natively and for Windows).
        lo ^= c;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        length -= 8;
    }
    while (length--)
        c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
    state_ = c;
}

} // namespace orvik::unzip
