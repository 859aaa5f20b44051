#include "unzip/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using orvik::unzip::Crc32;

namespace {

// Bit-at-a-time CRC-32, independent of the table-driven code under test.
uint32_t BitwiseCrc(const std::vector<uint8_t>& data) {
    uint32_t c = 0xFFFFFFFFu;
    for (uint8_t byte : data) {
        c ^= byte;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}

} // namespace

TEST(Crc32, KnownCheckValues) {
    EXPECT_EQ(Crc32::Of("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32::Of("", 0), 0u);
    EXPECT_EQ(Crc32::Of("The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
}

TEST(Crc32, MatchesBitwiseDefinitionForEveryLengthAndAlignment) {
    std::vector<uint8_t> data = RandomBytes(300, 7);
    for (size_t start = 0; start < 9; ++start) {
        for (size_t length = 0; start + length <= data.size(); length += 13) {
            std::vector<uint8_t> part(data.begin() + start, data.begin() + start + length);
            ASSERT_EQ(Crc32::Of(part.data(), part.size()), BitwiseCrc(part)) << start << "+" << length;
        }
    }
}

TEST(Crc32, PiecewiseUpdatesEqualOneUpdate) {
    std::vector<uint8_t> data = RandomBytes(10000, 11);
    uint32_t whole = Crc32::Of(data.data(), data.size());
    for (size_t piece : {1u, 3u, 7u, 8u, 9u, 4096u}) {
        Crc32 crc;
        for (size_t at = 0; at < data.size(); at += piece)
            crc.Update(data.data() + at, std::min(piece, data.size() - at));
        EXPECT_EQ(crc.Value(), whole) << "pieces of " << piece;
    }
}
