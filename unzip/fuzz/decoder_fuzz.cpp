// libFuzzer target of one decoder family, in memory through the engine's seams: the input is a raw
// compressed stream behind a 5-byte header that takes the place of the central directory's fields.
//   byte 0     variant: reduce factor - 1 (bits 0-1); implode flags as in the archive (bit 1 8 KiB
//              dictionary, bit 2 literal tree)
//   bytes 1-3  declared uncompressed size, little-endian, modulo 80 KiB (enough to wrap the 64 KiB output
//              window and reach Deflate64's farthest distance; small enough for thousands of runs a second,
//              as shrink and reduce decode garbage up to the declared size)
//   byte 4     chunk length of the source (0: the whole stream in one chunk), so that refills at every
//              boundary are exercised
// FUZZ_METHOD (1 shrink, 2 reduce, 6 implode, 8 deflate, 9 Deflate64) chooses the decoder at build time.
// A crash, sanitizer report, leak, hang or more output than declared is a finding.
#include "unzip/decoders.h"

#include <cstdint>
#include <cstdlib>

#ifndef FUZZ_METHOD
#error "FUZZ_METHOD must name the decoder"
#endif

namespace {

using namespace orvik::unzip;

class ChunkedSource : public ByteSource {
public:
    ChunkedSource(const uint8_t* data, size_t length, size_t chunk)
        : data_(data), left_(length), chunk_(chunk ? chunk : length) {}
    size_t NextChunk(const uint8_t*& data) override {
        size_t n = left_ < chunk_ ? left_ : chunk_;
        data = data_;
        data_ += n;
        left_ -= n;
        return n;
    }

private:
    const uint8_t* data_;
    size_t left_;
    size_t chunk_;
};

// Counts the output and refuses more than the declared size, as the engine's member sink does.
class LimitSink : public OutputSink {
public:
    explicit LimitSink(uint64_t limit) : limit_(limit) {}
    bool Write(const uint8_t* data, size_t length) override {
        if (length > limit_ - written_)
            return false;
        // Touch the bytes, so that the sanitizers see every read of the decoder's buffers.
        for (size_t i = 0; i < length; i += 997)
            checksum_ += data[i];
        written_ += length;
        return true;
    }
    uint64_t Written() const { return written_; }

private:
    uint64_t limit_;
    uint64_t written_ = 0;
    unsigned checksum_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5)
        return 0;
    const unsigned variant = data[0];
    const uint64_t declared = (uint64_t(data[1]) | (uint64_t(data[2]) << 8) | (uint64_t(data[3]) << 16)) % (80u << 10);
    ChunkedSource source(data + 5, size - 5, data[4]);
    LimitSink sink(declared);
    const unsigned method = FUZZ_METHOD == 2 ? 2 + (variant & 3) : FUZZ_METHOD;
    DecodeResult result = DecodeMethod(method, variant & 6, source, sink, declared);
    if (sink.Written() > declared)
        std::abort();
    // The size-driven decoders that report success have produced exactly the declared size.
    if (result.status == DecodeStatus::Ok && (method == 6) && sink.Written() != declared)
        std::abort();
    return 0;
}
