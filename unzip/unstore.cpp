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
