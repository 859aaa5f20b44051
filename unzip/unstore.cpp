#include "unzip/decoders.h"

namespace orvik::unzip {

DecodeResult Unstore(ByteSource& in, OutputSink& out) {
    DecodeResult result;
    const uint8_t* chunk = nullptr;
    while (size_t n = in.NextChunk(chunk)) {
        result.bytesConsumed += n;
        if (!out.Write(chunk, n)) {
            result.status = DecodeStatus::WriteFailed;
            break;
        }
    }
    return result;
}

} // namespace orvik::unzip

namespace orvik::unzip {

bool IsSupportedMethod(unsigned method) {
    return method <= 6 || method == 8 || method == 9;
}

DecodeResult DecodeMethod(unsigned method, unsigned flags, ByteSource& in, OutputSink& out, uint64_t size) {
    switch (method) {
    case 0:
        return Unstore(in, out);
    case 1:
        return Unshrink(in, out, size);
    case 2:
    case 3:
    case 4:
    case 5:
        return Unreduce(in, out, size, static_cast<int>(method) - 1);
    case 6:
        return Explode(in, out, size, flags & 0x02, flags & 0x04);
    case 8:
        return Inflate(in, out);
    case 9:
        return Inflate64(in, out);
    default: {
        DecodeResult result;
        result.status = DecodeStatus::BadData;
        return result;
    }
    }
}

} // namespace orvik::unzip
