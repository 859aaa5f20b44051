#include "unzip/crc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ORVIK_CRC_CLMUL 1
#endif

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

uint32_t UpdateTable(uint32_t c, const unsigned char* p, size_t length) {
    const CrcTables& t = Tables();
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
    return c;
}

#if ORVIK_CRC_CLMUL
// Carry-less multiplication folding: four 128-bit lanes are each multiplied forward by x^512 modulo the
// polynomial and combined with the next 64 bytes, then folded into one lane. Folding keeps the CRC of
// what was read, so the final 16 bytes go through the table code like any other message. The constants
// are x^(512+32), x^(512-32), x^(128+32) and x^(128-32) modulo the polynomial, bit-reflected.
#define ORVIK_CLMUL_TARGET __attribute__((target("pclmul,sse2")))

ORVIK_CLMUL_TARGET inline __m128i load(const unsigned char* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

ORVIK_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

ORVIK_CLMUL_TARGET uint32_t UpdateClmul(uint32_t c, const unsigned char* p, size_t length) {
    const __m128i fold512 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    const __m128i fold128 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
    p += 64;
    length -= 64;
    while (length >= 64) {
        x0 = _mm_xor_si128(fold(x0, fold512), load(p));
        x1 = _mm_xor_si128(fold(x1, fold512), load(p + 16));
        x2 = _mm_xor_si128(fold(x2, fold512), load(p + 32));
        x3 = _mm_xor_si128(fold(x3, fold512), load(p + 48));
        p += 64;
        length -= 64;
    }
    __m128i x = _mm_xor_si128(fold(x0, fold128), x1);
    x = _mm_xor_si128(fold(x, fold128), x2);
    x = _mm_xor_si128(fold(x, fold128), x3);
    while (length >= 16) {
        x = _mm_xor_si128(fold(x, fold128), load(p));
        p += 16;
        length -= 16;
    }
    unsigned char rest[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), x);
    c = UpdateTable(0, rest, sizeof rest);
    return UpdateTable(c, p, length);
}

bool HasClmul() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return has;
}
#endif

} // namespace

void Crc32::Update(const void* data, size_t length) {
    const auto* p = static_cast<const unsigned char*>(data);
#if ORVIK_CRC_CLMUL
    if (length >= 64 && HasClmul()) {
        state_ = UpdateClmul(state_, p, length);
        return;
    }
#endif
    state_ = UpdateTable(state_, p, length);
}

} // namespace orvik::unzip
