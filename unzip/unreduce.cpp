#include "unzip/decoders.h"

#include <memory>
#include <new>

namespace orvik::unzip {
namespace {

constexpr uint8_t kDle = 144;

// The follower sets: for each byte value, up to 32 bytes that often follow it, coded by their index.
struct FollowerSets {
    uint8_t count[256] = {};
    uint8_t members[256][32] = {};
    uint8_t indexBits[256] = {};
};

// Bits needed to code an index into a set of n members (the minimal width for n-1, at least 1).
uint8_t IndexBits(int n) {
    uint8_t bits = 1;
    while ((1 << bits) < n)
        ++bits;
    return bits;
}

bool ReadFollowerSets(BitReader& bits, FollowerSets& sets) {
    for (int j = 255; j >= 0; --j) {
        int n = static_cast<int>(bits.Read(6));
        if (n > 32)
            return false;
        sets.count[j] = static_cast<uint8_t>(n);
        sets.indexBits[j] = IndexBits(n);
        for (int i = 0; i < n; ++i)
            sets.members[j][i] = static_cast<uint8_t>(bits.Read(8));
    }
    return !bits.PastEnd();
}

} // namespace

DecodeResult Unreduce(ByteSource& in, OutputSink& out, uint64_t size, int factor) {
    DecodeResult result;
    BitReader bits(in);
    // On the heap: the installer extracts on a worker thread with a 32 KB stack.
    std::unique_ptr<FollowerSets> setsOwner(new (std::nothrow) FollowerSets);
    if (!setsOwner) {
        result.status = DecodeStatus::NoMemory;
        return result;
    }
    FollowerSets& sets = *setsOwner;
    OutputWindow window(out);
    auto finish = [&](DecodeStatus status) {
        result.status = status;
        result.bytesConsumed = bits.BytesConsumed();
        return result;
    };
    if (!ReadFollowerSets(bits, sets))
        return finish(DecodeStatus::BadData);

    const unsigned lengthMask = 0x7Fu >> (factor - 1);
    enum { Literal, AfterDle, ExtraLength, Distance } state = Literal;
    unsigned lengthByte = 0;
    unsigned length = 0;
    uint8_t last = 0;

    while (window.Total() < size) {
        // First stage: the probabilistic byte coding.
        uint8_t c;
        if (sets.count[last] == 0 || bits.Read(1)) {
            c = static_cast<uint8_t>(bits.Read(8));
        } else {
            unsigned index = bits.Read(sets.indexBits[last]);
            c = sets.members[last][index & 31];
        }
        last = c;
        if (bits.PastEnd())
            return finish(DecodeStatus::BadData);

        // Second stage: DLE-introduced back-references.
        bool ok = true;
        switch (state) {
        case Literal:
            if (c == kDle)
                state = AfterDle;
            else
                ok = window.Put(c);
            break;
        case AfterDle:
            if (c == 0) {
                ok = window.Put(kDle);
                state = Literal;
            } else {
                lengthByte = c;
                length = c & lengthMask;
                state = length == lengthMask ? ExtraLength : Distance;
            }
            break;
        case ExtraLength:
            length += c;
            state = Distance;
            break;
        case Distance: {
            size_t distance = ((lengthByte >> (8 - factor)) << 8) + c + 1;
            uint64_t left = size - window.Total();
            size_t count = length + 3 > left ? static_cast<size_t>(left) : length + 3;
            ok = window.Copy(distance, count);
            state = Literal;
            break;
        }
        }
        if (!ok)
            return finish(DecodeStatus::WriteFailed);
    }
    if (!window.Flush())
        return finish(DecodeStatus::WriteFailed);
    return finish(DecodeStatus::Ok);
}

} // namespace orvik::unzip
