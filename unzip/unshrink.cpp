#include "unzip/decoders.h"

#include <algorithm>
#include <memory>
#include <new>

namespace orvik::unzip {
namespace {

// The LZW code table of the Shrinking method: 8,192 codes, 0-255 the bytes themselves, 256 the control
// code, 257 and up entries made of a prefix code and one appended byte.
class ShrinkTable {
public:
    static constexpr int kCodes = 8192;
    static constexpr int kFirstFree = 257;
    static constexpr int16_t kUnused = -1;

    ShrinkTable() {
        for (int c = 0; c < kCodes; ++c)
            prefix_[c] = kUnused;
    }

    bool IsDefined(int code) const { return code < 256 || (code >= kFirstFree && prefix_[code] != kUnused); }

    // Lowest unused code, or -1 when the table is full; free codes are reused lowest first.
    int NextFree() {
        while (nextFree_ < kCodes && prefix_[nextFree_] != kUnused)
            ++nextFree_;
        return nextFree_ < kCodes ? nextFree_ : -1;
    }

    void Add(int code, int prefix, uint8_t last) {
        prefix_[code] = static_cast<int16_t>(prefix);
        last_[code] = last;
    }

    // Frees every entry that is not the prefix of another entry.
    void ClearLeaves() {
        bool* isPrefix = isPrefix_;
        std::fill(isPrefix, isPrefix + kCodes, false);
        for (int c = kFirstFree; c < kCodes; ++c)
            if (prefix_[c] != kUnused)
                isPrefix[prefix_[c]] = true;
        for (int c = kFirstFree; c < kCodes; ++c)
            if (!isPrefix[c])
                prefix_[c] = kUnused;
        nextFree_ = kFirstFree;
    }

    // Writes the string of `code` into `stack` backwards, ending at stack + kCodes; returns its start,
    // or nullptr if the chain is broken or loops (only hostile data does that).
    uint8_t* Expand(int code, uint8_t* stack) const {
        uint8_t* p = stack + kCodes;
        while (code >= 256) {
            if (code < kFirstFree || prefix_[code] == kUnused || p == stack)
                return nullptr;
            *--p = last_[code];
            code = prefix_[code];
        }
        if (p == stack)
            return nullptr;
        *--p = static_cast<uint8_t>(code);
        return p;
    }

private:
    int16_t prefix_[kCodes];
    uint8_t last_[kCodes] = {};
    bool isPrefix_[kCodes]; // scratch of ClearLeaves, here rather than on the caller's small stack
    int nextFree_ = kFirstFree;
};

} // namespace

DecodeResult Unshrink(ByteSource& in, OutputSink& out, uint64_t size) {
    DecodeResult result;
    std::unique_ptr<ShrinkTable> table(new (std::nothrow) ShrinkTable);
    std::unique_ptr<uint8_t[]> stack(new (std::nothrow) uint8_t[ShrinkTable::kCodes + 1]);
    if (!table || !stack) {
        result.status = DecodeStatus::NoMemory;
        return result;
    }
    BitReader bits(in);
    int codeSize = 9;
    int previous = -1;
    uint64_t written = 0;

    auto fail = [&](DecodeStatus status) {
        result.status = status;
        result.bytesConsumed = bits.BytesConsumed();
        return result;
    };

    while (written < size) {
        int code = static_cast<int>(bits.Read(codeSize));
        if (bits.PastEnd())
            return fail(DecodeStatus::BadData);
        if (code == 256) {
            int control = static_cast<int>(bits.Read(codeSize));
            if (control == 1 && codeSize < 13)
                ++codeSize;
            else if (control == 2)
                table->ClearLeaves();
            else
                return fail(DecodeStatus::BadData);
            continue;
        }
        uint8_t* string = nullptr;
        if (previous < 0) {
            if (code > 255)
                return fail(DecodeStatus::BadData);
            string = table->Expand(code, stack.get());
        } else {
            int fresh = table->NextFree();
            if (table->IsDefined(code)) {
                string = table->Expand(code, stack.get());
                if (string && fresh >= 0)
                    table->Add(fresh, previous, *string);
            } else if (code == fresh) {
                // The code being defined right now: the previous string plus its own first byte.
                uint8_t* before = table->Expand(previous, stack.get());
                if (before)
                    table->Add(fresh, previous, *before);
                string = before ? table->Expand(code, stack.get()) : nullptr;
            }
        }
        if (!string)
            return fail(DecodeStatus::BadData);
        size_t length = static_cast<size_t>(stack.get() + ShrinkTable::kCodes - string);
        if (length > size - written)
            length = static_cast<size_t>(size - written);
        if (!out.Write(string, length))
            return fail(DecodeStatus::WriteFailed);
        written += length;
        previous = code;
    }
    result.bytesConsumed = bits.BytesConsumed();
    return result;
}

} // namespace orvik::unzip
