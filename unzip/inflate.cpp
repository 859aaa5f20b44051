#include "unzip/decoders.h"

#include <memory>
#include <zlib.h>

namespace orvik::unzip {
namespace {

// Owns a zlib inflate stream for exactly its lifetime.
class RawInflater {
public:
    RawInflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~RawInflater() {
        if (ok_)
            inflateEnd(&stream_);
    }
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;

    bool Ok() const { return ok_; }
    z_stream& Stream() { return stream_; }

private:
    z_stream stream_ = {};
    bool ok_ = false;
};

} // namespace

DecodeResult Inflate(ByteSource& in, OutputSink& out) {
    DecodeResult result;
    RawInflater inflater;
    if (!inflater.Ok()) {
        result.status = DecodeStatus::NoMemory;
        return result;
    }
    z_stream& z = inflater.Stream();
    constexpr size_t kOutputSize = 64 * 1024;
    std::unique_ptr<uint8_t[]> output(new uint8_t[kOutputSize]);

    // zlib may hold output that did not fit into the buffer even when it has consumed all its input, so
    // it is called again while it makes progress; more input is asked for only when it made none, and
    // the data ended early only when there is no more to give.
    bool progressed = true;
    for (;;) {
        if (z.avail_in == 0 && !progressed) {
            const uint8_t* chunk = nullptr;
            size_t n = in.NextChunk(chunk);
            if (n == 0) {
                // The deflate stream has not ended but the member's data has.
                result.status = DecodeStatus::BadData;
                break;
            }
            z.next_in = const_cast<Bytef*>(chunk);
            z.avail_in = static_cast<uInt>(n);
            result.bytesConsumed += n;
        }
        const uInt inputBefore = z.avail_in;
        z.next_out = output.get();
        z.avail_out = kOutputSize;
        int rc = inflate(&z, Z_NO_FLUSH);
        size_t produced = kOutputSize - z.avail_out;
        progressed = produced > 0 || z.avail_in != inputBefore;
        if (!progressed && z.avail_in != 0) {
            result.status = DecodeStatus::BadData; // stuck with input in hand: never seen from zlib
            break;
        }
        if (produced > 0 && !out.Write(output.get(), produced)) {
            result.status = DecodeStatus::WriteFailed;
            break;
        }
        if (rc == Z_STREAM_END)
            break;
        if (rc == Z_MEM_ERROR) {
            result.status = DecodeStatus::NoMemory;
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            result.status = DecodeStatus::BadData;
            break;
        }
    }
    result.bytesConsumed -= z.avail_in;
    return result;
}

} // namespace orvik::unzip
