#include "unzip/streams.h"

#include "unzip/fs.h"

#include <algorithm>
#include <cstring>

namespace orvik::unzip {

FileRangeSource::FileRangeSource(const fs::InputFile& file, uint64_t offset, uint64_t length,
                                 std::vector<uint8_t>& buffer)
    : file_(file), offset_(offset), remaining_(length), buffer_(buffer) {}

size_t FileRangeSource::NextChunk(const uint8_t*& data) {
    if (remaining_ == 0 || truncated_)
        return 0;
    size_t want = static_cast<size_t>(std::min<uint64_t>(remaining_, buffer_.size()));
    size_t got = file_.ReadAt(offset_, buffer_.data(), want);
    if (got < want)
        truncated_ = true;
    offset_ += got;
    remaining_ -= got;
    data = buffer_.data();
    return got;
}

void BitReader::Refill() {
    while (available_ <= 56) {
        if (next_ == end_) {
            const uint8_t* chunk = nullptr;
            size_t n = source_.NextChunk(chunk);
            if (n == 0) {
                // Zero padding keeps the decoders simple; PastEnd() tells them it happened.
                ++paddingBytes_;
                available_ += 8;
                continue;
            }
            next_ = chunk;
            end_ = chunk + n;
        }
        bits_ |= uint64_t(*next_++) << available_;
        available_ += 8;
        ++loadedBytes_;
    }
}

size_t BitReader::ReadAlignedBytes(uint8_t* out, size_t length) {
    size_t done = 0;
    while (done < length && available_ >= 8) {
        out[done++] = static_cast<uint8_t>(bits_);
        bits_ >>= 8;
        available_ -= 8;
    }
    while (done < length) {
        if (next_ == end_) {
            const uint8_t* chunk = nullptr;
            size_t n = source_.NextChunk(chunk);
            if (n == 0)
                break;
            next_ = chunk;
            end_ = chunk + n;
        }
        size_t n = std::min(length - done, static_cast<size_t>(end_ - next_));
        std::memcpy(out + done, next_, n);
        next_ += n;
        done += n;
        loadedBytes_ += n;
    }
    return done;
}

bool OutputWindow::Append(const uint8_t* data, size_t length) {
    while (length > 0) {
        size_t run = std::min(length, kSize - position_);
        std::memcpy(buffer_.get() + position_, data, run);
        position_ += run;
        total_ += run;
        data += run;
        length -= run;
        if (position_ == kSize && !Flush())
            return false;
    }
    return true;
}

bool OutputWindow::Copy(size_t distance, size_t length) {
    while (length > 0) {
        size_t from = (position_ - distance) & kMask;
        // Copy in runs that neither wrap the window nor overtake the write position.
        size_t run = std::min({length, kSize - position_, kSize - from});
        if (distance >= run) {
            // Every source byte predates this run: a block move is exact.
            std::memmove(buffer_.get() + position_, buffer_.get() + from, run);
        } else {
            for (size_t i = 0; i < run; ++i)
                buffer_[position_ + i] = buffer_[(from + i) & kMask];
        }
        position_ += run;
        total_ += run;
        length -= run;
        if (position_ == kSize && !Flush())
            return false;
    }
    return true;
}

bool OutputWindow::Flush() {
    if (position_ > flushed_ && !sink_.Write(buffer_.get() + flushed_, position_ - flushed_))
        return false;
    flushed_ = position_;
    if (position_ == kSize)
        position_ = flushed_ = 0;
    return true;
}

} // namespace orvik::unzip
