#pragma once
// Byte streams between the archive and the decompressors: a source of compressed bytes, a sink for the
// decompressed ones, an LSB-first bit reader and the sliding output window of the LZ-style methods.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orvik::unzip {

namespace fs {
class InputFile;
}

// The compressed bytes of one member, delivered in chunks.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Points `data` at the next chunk and returns its length; 0 when the member's data is exhausted.
    virtual size_t NextChunk(const uint8_t*& data) = 0;
};

// Reads `length` bytes at `offset` of an archive through one reusable buffer.
class FileRangeSource : public ByteSource {
public:
    FileRangeSource(const fs::InputFile& file, uint64_t offset, uint64_t length,
                    std::vector<uint8_t>& buffer);
    size_t NextChunk(const uint8_t*& data) override;
    // True when the archive ended before the member's declared data did.
    bool Truncated() const { return truncated_; }

private:
    const fs::InputFile& file_;
    uint64_t offset_;
    uint64_t remaining_;
    std::vector<uint8_t>& buffer_;
    bool truncated_ = false;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    size_t NextChunk(const uint8_t*& data) override {
        data = data_;
        size_t n = length_;
        length_ = 0;
        return n;
    }

private:
    const uint8_t* data_;
    size_t length_;
};

// Receives decompressed output. Returning false stops the decompressor (write failure or size limit).
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual bool Write(const uint8_t* data, size_t length) = 0;
};

// Least-significant-bit-first reader, as every ZIP method of this generation packs its codes.
// Past the end of the source it delivers zero bits and remembers that it did.
class BitReader {
public:
    explicit BitReader(ByteSource& source) : source_(source) {}

    // Up to 32 bits, without consuming them.
    uint32_t Peek(int count) {
        if (available_ < count)
            Refill();
        return static_cast<uint32_t>(bits_ & ((uint64_t(1) << count) - 1));
    }
    void Skip(int count) {
        bits_ >>= count;
        available_ -= count;
    }
    uint32_t Read(int count) {
        uint32_t v = Peek(count);
        Skip(count);
        return v;
    }
    // Bits left before the next byte boundary of the stream (deflate's stored blocks start there).
    int BitsToByteBoundary() const { return available_ % 8; }
    // At a byte boundary: copies up to `length` whole bytes, those already loaded first, then straight
    // from the source. Returns the number copied, short when the source ends.
    size_t ReadAlignedBytes(uint8_t* out, size_t length);
    // Bytes of the source touched by the bits consumed so far, including a partly used last byte.
    uint64_t BytesConsumed() const { return ((loadedBytes_ + paddingBytes_) * 8 - available_ + 7) / 8; }
    // True once bits beyond the end of the source have been consumed.
    bool PastEnd() const { return BytesConsumed() > loadedBytes_; }

private:
    void Refill();

    ByteSource& source_;
    const uint8_t* next_ = nullptr;
    const uint8_t* end_ = nullptr;
    uint64_t bits_ = 0;
    int available_ = 0;
    uint64_t loadedBytes_ = 0;
    uint64_t paddingBytes_ = 0;
};

// The last 64 KiB of output, zero before the first byte, flushed to the sink whenever it fills up.
// Back-references of shrink, reduce and implode reach at most 8 KiB, so the window always holds them.
class OutputWindow {
public:
    static constexpr size_t kSize = 64 * 1024;
    static constexpr size_t kMask = kSize - 1;

    explicit OutputWindow(OutputSink& sink) : sink_(sink), buffer_(new uint8_t[kSize]()) {}

    // Appends `length` bytes as they stand.
    bool Append(const uint8_t* data, size_t length);
    bool Put(uint8_t byte) {
        buffer_[position_++] = byte;
        ++total_;
        return position_ == kSize ? Flush() : true;
    }
    // Copies `length` bytes from `distance` bytes back (distance >= 1).
    bool Copy(size_t distance, size_t length);
    bool Flush();
    uint64_t Total() const { return total_; }

private:
    OutputSink& sink_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t position_ = 0;
    size_t flushed_ = 0;
    uint64_t total_ = 0;
};

} // namespace orvik::unzip
