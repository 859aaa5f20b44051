#include "unzip/decoders.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace orvik::unzip {
namespace {

// A Shannon-Fano code read from its compressed description and decoded through one lookup table indexed
// by the next (up to 16) input bits.
class ShannonFanoCode {
public:
    // Reads the description: a byte count - 1, then bytes of (values - 1) << 4 | (bit length - 1).
    bool Read(BitReader& bits, int symbols) {
        std::vector<uint8_t> lengths;
        int bytes = static_cast<int>(bits.Read(8)) + 1;
        for (int i = 0; i < bytes; ++i) {
            uint32_t b = bits.Read(8);
            int count = static_cast<int>(b >> 4) + 1;
            int length = static_cast<int>(b & 15) + 1;
            if (static_cast<int>(lengths.size()) + count > symbols)
                return false;
            lengths.insert(lengths.end(), static_cast<size_t>(count), static_cast<uint8_t>(length));
        }
        if (bits.PastEnd() || static_cast<int>(lengths.size()) != symbols)
            return false;
        return Build(lengths);
    }

    // Next symbol, or -1 for a bit pattern that no code covers.
    int Decode(BitReader& bits) const {
        uint16_t entry = table_[bits.Peek(maxLength_)];
        if (entry == kNoCode)
            return -1;
        bits.Skip(entry >> 8);
        return entry & 0xFF;
    }

private:
    static constexpr uint16_t kNoCode = 0xFFFF;

    // Codes are handed out from the longest length upwards, as 16-bit left-aligned values, then read from
    // the stream with their bit order reversed.
    bool Build(const std::vector<uint8_t>& lengths) {
        const int n = static_cast<int>(lengths.size());
        std::vector<int> order(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            order[static_cast<size_t>(i)] = i;
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lengths[a] < lengths[b]; });
        maxLength_ = lengths[static_cast<size_t>(order.back())];
        table_.assign(size_t(1) << maxLength_, kNoCode);

        uint32_t code = 0, increment = 0;
        int lastLength = 0;
        for (int i = n - 1; i >= 0; --i) {
            int symbol = order[static_cast<size_t>(i)];
            int length = lengths[static_cast<size_t>(symbol)];
            code += increment;
            if (length != lastLength) {
                lastLength = length;
                increment = 1u << (16 - length);
            }
            // An over-full code set would give codes overlapping each other.
            if (code + increment > 0x10000u || (code & (increment - 1)) != 0)
                return false;
            uint32_t reversed = 0;
            for (int b = 0; b < length; ++b)
                reversed |= ((code >> (15 - b)) & 1u) << b;
            uint16_t entry = static_cast<uint16_t>((length << 8) | symbol);
            for (uint32_t k = reversed; k < table_.size(); k += 1u << length)
                table_[k] = entry;
        }
        return true;
    }

    std::vector<uint16_t> table_;
    int maxLength_ = 0;
};

} // namespace

DecodeResult Explode(ByteSource& in, OutputSink& out, uint64_t size, bool dictionary8k, bool literalTree) {
    DecodeResult result;
    BitReader bits(in);
    std::unique_ptr<ShannonFanoCode> literals, lengths, distances;
    std::unique_ptr<OutputWindow> window;
    try {
        literals.reset(new ShannonFanoCode);
        lengths.reset(new ShannonFanoCode);
        distances.reset(new ShannonFanoCode);
        window.reset(new OutputWindow(out));
    } catch (const std::bad_alloc&) {
        result.status = DecodeStatus::NoMemory;
        return result;
    }
    auto finish = [&](DecodeStatus status) {
        result.status = status;
        result.bytesConsumed = bits.BytesConsumed();
        return result;
    };
    if ((literalTree && !literals->Read(bits, 256)) || !lengths->Read(bits, 64) || !distances->Read(bits, 64))
        return finish(DecodeStatus::BadData);

    const int lowDistanceBits = dictionary8k ? 7 : 6;
    const unsigned minimumMatch = literalTree ? 3 : 2;
    while (window->Total() < size) {
        bool ok;
        if (bits.Read(1)) {
            int c = literalTree ? literals->Decode(bits) : static_cast<int>(bits.Read(8));
            if (c < 0)
                return finish(DecodeStatus::BadData);
            ok = window->Put(static_cast<uint8_t>(c));
        } else {
            unsigned low = bits.Read(lowDistanceBits);
            int high = distances->Decode(bits);
            int lengthCode = high < 0 ? -1 : lengths->Decode(bits);
            if (lengthCode < 0)
                return finish(DecodeStatus::BadData);
            size_t distance = ((static_cast<size_t>(high) << lowDistanceBits) | low) + 1;
            size_t length = static_cast<size_t>(lengthCode) + minimumMatch;
            if (lengthCode == 63)
                length += bits.Read(8);
            uint64_t left = size - window->Total();
            ok = window->Copy(distance, length > left ? static_cast<size_t>(left) : length);
        }
        if (bits.PastEnd())
            return finish(DecodeStatus::BadData);
        if (!ok)
            return finish(DecodeStatus::WriteFailed);
    }
    if (!window->Flush())
        return finish(DecodeStatus::WriteFailed);
    return finish(DecodeStatus::Ok);
}

} // namespace orvik::unzip
