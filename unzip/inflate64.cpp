#include "unzip/decoders.h"

#include <memory>
#include <new>

namespace orvik::unzip {
namespace {

// Deflate64 ("enhanced deflating", method 9): deflate's bit stream with a 64 KiB window, length code 285
// carrying 16 extra bits (lengths 3 to 65,538) and the distance codes 30 and 31 (up to 65,536 back).
// zlib has no Deflate64, so the engine decodes it itself; the window is the shared OutputWindow.

constexpr int kMaxCodeLength = 15;

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
const uint32_t kDistanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
const uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// Order in which the code-length code lengths are sent.
const uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code. Codes up to kPrimaryBits long decode through one table indexed by the next
// kPrimaryBits input bits (bit order reversed, as deflate sends codes most significant bit first into an
// LSB-first stream); an entry holds symbol << 4 | length, 0 sends the decoder to the canonical walk over
// the longer codes (or finds no code). Building costs a few hundred steps, whatever the code lengths.
class HuffmanCode {
public:
    static constexpr int kPrimaryBits = 9;

    // False for an over-subscribed set, or an incomplete one other than a single one-bit code (which
    // deflate permits). A set without any code rejects every input.
    bool Build(const uint8_t* lengths, int count) {
        for (int& c : perLength_)
            c = 0;
        for (int i = 0; i < count; ++i)
            ++perLength_[lengths[i]];
        perLength_[0] = 0;
        maxLength_ = 0;
        int left = 1;
        for (int len = 1; len <= kMaxCodeLength; ++len) {
            if (perLength_[len])
                maxLength_ = len;
            left = (left << 1) - perLength_[len];
            if (left < 0)
                return false;
        }
        if (left > 0 && maxLength_ > 1)
            return false;
        // Symbols ordered by code length, then by value: the canonical order.
        int offsets[kMaxCodeLength + 2] = {};
        for (int len = 1; len <= kMaxCodeLength; ++len)
            offsets[len + 1] = offsets[len] + perLength_[len];
        for (int symbol = 0; symbol < count; ++symbol)
            if (lengths[symbol])
                sorted_[offsets[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
        primaryBits_ = maxLength_ < kPrimaryBits ? (maxLength_ > 0 ? maxLength_ : 1) : kPrimaryBits;
        const uint32_t size = 1u << primaryBits_;
        for (uint32_t i = 0; i < size; ++i)
            primary_[i] = 0;
        uint32_t code = 0;
        int index = 0;
        for (int len = 1; len <= primaryBits_; ++len) {
            for (int n = 0; n < perLength_[len]; ++n, ++code, ++index) {
                uint32_t reversed = 0;
                for (int b = 0; b < len; ++b)
                    reversed |= ((code >> b) & 1u) << (len - 1 - b);
                const uint16_t entry = static_cast<uint16_t>((sorted_[index] << 4) | len);
                for (uint32_t k = reversed; k < size; k += 1u << len)
                    primary_[k] = entry;
            }
            code <<= 1;
        }
        return true;
    }

    // Next symbol, or -1 for a pattern no code covers.
    int Decode(BitReader& bits) const {
        const uint16_t entry = primary_[bits.Peek(primaryBits_)];
        if (entry != 0) {
            bits.Skip(entry & 15);
            return entry >> 4;
        }
        return DecodeLong(bits);
    }

private:
    // The canonical walk: at each length, the codes of that length are the `count` values from `first`.
    int DecodeLong(BitReader& bits) const {
        const uint32_t peeked = bits.Peek(kMaxCodeLength);
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= maxLength_; ++len) {
            code |= static_cast<int>((peeked >> (len - 1)) & 1u);
            const int count = perLength_[len];
            if (code - first < count) {
                bits.Skip(len);
                return sorted_[index + code - first];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

    uint16_t primary_[1u << kPrimaryBits];
    uint16_t sorted_[288];
    int perLength_[kMaxCodeLength + 1];
    int maxLength_ = 0;
    int primaryBits_ = 1;
};

struct Codes {
    HuffmanCode literals;
    HuffmanCode distances;
    HuffmanCode codeLengths;
};

bool BuildFixedCodes(Codes& codes) {
    uint8_t lengths[288];
    for (int i = 0; i < 144; ++i)
        lengths[i] = 8;
    for (int i = 144; i < 256; ++i)
        lengths[i] = 9;
    for (int i = 256; i < 280; ++i)
        lengths[i] = 7;
    for (int i = 280; i < 288; ++i)
        lengths[i] = 8;
    uint8_t distances[32];
    for (uint8_t& d : distances)
        d = 5;
    return codes.literals.Build(lengths, 288) && codes.distances.Build(distances, 32);
}

bool ReadDynamicCodes(BitReader& bits, Codes& codes) {
    const int literalCount = static_cast<int>(bits.Read(5)) + 257;
    const int distanceCount = static_cast<int>(bits.Read(5)) + 1;
    const int codeLengthCount = static_cast<int>(bits.Read(4)) + 4;
    if (literalCount > 286)
        return false;
    uint8_t codeLengthLengths[19] = {};
    for (int i = 0; i < codeLengthCount; ++i)
        codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(bits.Read(3));
    if (!codes.codeLengths.Build(codeLengthLengths, 19))
        return false;
    uint8_t lengths[286 + 32] = {};
    const int total = literalCount + distanceCount;
    for (int i = 0; i < total;) {
        const int symbol = codes.codeLengths.Decode(bits);
        if (symbol < 0 || bits.PastEnd())
            return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        uint8_t value = 0;
        int repeat;
        if (symbol == 16) {
            if (i == 0)
                return false;
            value = lengths[i - 1];
            repeat = 3 + static_cast<int>(bits.Read(2));
        } else if (symbol == 17) {
            repeat = 3 + static_cast<int>(bits.Read(3));
        } else {
            repeat = 11 + static_cast<int>(bits.Read(7));
        }
        if (i + repeat > total)
            return false;
        while (repeat-- > 0)
            lengths[i++] = value;
    }
    // A block without an end-of-block code could never end.
    if (lengths[256] == 0)
        return false;
    return codes.literals.Build(lengths, literalCount) &&
           codes.distances.Build(lengths + literalCount, distanceCount) && !bits.PastEnd();
}

enum class BlockEnd { Ok, BadData, WriteFailed };

BlockEnd CopyStoredBlock(BitReader& bits, OutputWindow& window) {
    bits.Skip(bits.BitsToByteBoundary());
    const uint32_t length = bits.Read(16);
    const uint32_t complement = bits.Read(16);
    if ((length ^ 0xFFFFu) != complement || bits.PastEnd())
        return BlockEnd::BadData;
    uint8_t buffer[4096];
    for (uint32_t left = length; left > 0;) {
        const size_t want = left < sizeof buffer ? left : sizeof buffer;
        const size_t got = bits.ReadAlignedBytes(buffer, want);
        if (got < want || bits.PastEnd())
            return BlockEnd::BadData;
        if (!window.Append(buffer, got))
            return BlockEnd::WriteFailed;
        left -= static_cast<uint32_t>(got);
    }
    return BlockEnd::Ok;
}

BlockEnd DecodeBlock(BitReader& bits, OutputWindow& window, const Codes& codes) {
    for (;;) {
        const int symbol = codes.literals.Decode(bits);
        if (symbol < 256) {
            if (symbol < 0 || bits.PastEnd())
                return BlockEnd::BadData;
            if (!window.Put(static_cast<uint8_t>(symbol)))
                return BlockEnd::WriteFailed;
            continue;
        }
        if (symbol == 256)
            return bits.PastEnd() ? BlockEnd::BadData : BlockEnd::Ok;
        const int lengthCode = symbol - 257;
        if (lengthCode >= 29)
            return BlockEnd::BadData;
        const size_t length = kLengthBase[lengthCode] + bits.Read(kLengthExtra[lengthCode]);
        const int distanceCode = codes.distances.Decode(bits);
        if (distanceCode < 0)
            return BlockEnd::BadData;
        const uint64_t distance = kDistanceBase[distanceCode] + bits.Read(kDistanceExtra[distanceCode]);
        if (bits.PastEnd() || distance > window.Total())
            return BlockEnd::BadData;
        if (!window.Copy(static_cast<size_t>(distance), length))
            return BlockEnd::WriteFailed;
    }
}

} // namespace

DecodeResult Inflate64(ByteSource& in, OutputSink& out) {
    DecodeResult result;
    BitReader bits(in);
    std::unique_ptr<Codes> codes(new (std::nothrow) Codes);
    std::unique_ptr<OutputWindow> window;
    try {
        window.reset(new OutputWindow(out));
    } catch (const std::bad_alloc&) {
        window.reset();
    }
    if (!codes || !window) {
        result.status = DecodeStatus::NoMemory;
        return result;
    }
    auto finish = [&](DecodeStatus status) {
        result.status = status;
        result.bytesConsumed = bits.BytesConsumed();
        return result;
    };
    bool last = false;
    while (!last) {
        last = bits.Read(1) != 0;
        const uint32_t type = bits.Read(2);
        BlockEnd end;
        if (type == 0) {
            end = CopyStoredBlock(bits, *window);
        } else if (type == 1) {
            if (!BuildFixedCodes(*codes))
                return finish(DecodeStatus::BadData);
            end = DecodeBlock(bits, *window, *codes);
        } else if (type == 2) {
            end = ReadDynamicCodes(bits, *codes) ? DecodeBlock(bits, *window, *codes) : BlockEnd::BadData;
        } else {
            end = BlockEnd::BadData;
        }
        if (end == BlockEnd::BadData)
            return finish(DecodeStatus::BadData);
        if (end == BlockEnd::WriteFailed)
            return finish(DecodeStatus::WriteFailed);
    }
    if (!window->Flush())
        return finish(DecodeStatus::WriteFailed);
    return finish(DecodeStatus::Ok);
}

} // namespace orvik::unzip
