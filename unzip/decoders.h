#pragma once
// The decompressors of every method of the format's generation, and Deflate64. Each reads one member's compressed bytes
// from a ByteSource and writes exactly the decoded bytes to an OutputSink. None of them allocates more than
// a fixed amount of memory, whatever sizes the archive declares.
#include "unzip/streams.h"

#include <cstdint>

namespace orvik::unzip {

enum class DecodeStatus {
    Ok,
    BadData,     // the compressed stream is invalid or ends too early
    NoMemory,    // the decoder's tables could not be allocated
    WriteFailed, // the sink refused output (write error or more output than declared)
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Ok;
    uint64_t bytesConsumed = 0; // compressed bytes the decoder used
};

// Method 0: the data as it stands.
DecodeResult Unstore(ByteSource& in, OutputSink& out);

// Method 1: dynamic LZW, 9- to 13-bit codes, with partial clearing. Stops at `size` output bytes.
DecodeResult Unshrink(ByteSource& in, OutputSink& out, uint64_t size);

// Methods 2-5: follower-set expansion then run-length/back-reference expansion, factor 1-4.
DecodeResult Unreduce(ByteSource& in, OutputSink& out, uint64_t size, int factor);

// Method 6: sliding dictionary (4 KiB or 8 KiB) with Shannon-Fano coded lengths, distances and,
// optionally, literals.
DecodeResult Explode(ByteSource& in, OutputSink& out, uint64_t size, bool dictionary8k, bool literalTree);

// Method 8: raw deflate through zlib.
DecodeResult Inflate(ByteSource& in, OutputSink& out);

// Method 9: Deflate64 (deflate with a 64 KiB window, lengths to 65,538 and distances to 65,536), the
// engine's own decoder.
DecodeResult Inflate64(ByteSource& in, OutputSink& out);

// True for the methods above: 0-6, 8 and 9.
bool IsSupportedMethod(unsigned method);

// The decoder of `method` with its parameters: `size` the declared output size, `flags` the member's
// general-purpose flags (bits 1 and 2 choose the implode variant). BadData for an unsupported method.
DecodeResult DecodeMethod(unsigned method, unsigned flags, ByteSource& in, OutputSink& out, uint64_t size);

} // namespace orvik::unzip
