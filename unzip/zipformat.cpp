#include "unzip/zipformat.h"

#include "unzip/fs.h"
#include "unzip/names.h"

#include <algorithm>
#include <cstring>

namespace orvik::unzip {

bool ZipEntry::IgnoresCase() const {
    return HostIgnoresCase(Host());
}

bool FindEndRecord(const fs::InputFile& file, EndRecord& record) {
    // The record is 22 bytes plus a comment of at most 65,535: it lies within the last 66,000 bytes.
    constexpr uint64_t kSearchSpan = 66000;
    const uint64_t size = file.Size();
    if (size < kEndRecordSize)
        return false;
    const uint64_t spanStart = size > kSearchSpan ? size - kSearchSpan : 0;
    std::vector<uint8_t> tail(static_cast<size_t>(size - spanStart));
    if (file.ReadAt(spanStart, tail.data(), tail.size()) != tail.size())
        return false;
    // Scan backwards from the last position a whole record fits, so the last record wins.
    for (size_t i = tail.size() - kEndRecordSize + 1; i-- > 0;) {
        const uint8_t* p = tail.data() + i;
        if (p[0] != 'P' || Get32(p) != kEndRecordSignature)
            continue;
        record.position = spanStart + i;
        record.thisDisk = Get16(p + 4);
        record.directoryDisk = Get16(p + 6);
        record.entriesOnDisk = Get16(p + 8);
        record.totalEntries = Get16(p + 10);
        record.directorySize = Get32(p + 12);
        record.directoryOffset = Get32(p + 16);
        record.commentLength = Get16(p + 20);
        return true;
    }
    return false;
}

SequentialReader::SequentialReader(const fs::InputFile& file, uint64_t offset)
    : file_(file), fileOffset_(offset), buffer_(64 * 1024) {}

bool SequentialReader::Fill() {
    if (position_ < end_)
        return true;
    end_ = file_.ReadAt(fileOffset_, buffer_.data(), buffer_.size());
    fileOffset_ += end_;
    position_ = 0;
    return end_ > 0;
}

bool SequentialReader::Read(void* destination, size_t length) {
    auto* out = static_cast<uint8_t*>(destination);
    while (length > 0) {
        if (!Fill())
            return false;
        size_t n = std::min(length, end_ - position_);
        std::memcpy(out, buffer_.data() + position_, n);
        out += n;
        position_ += n;
        length -= n;
    }
    return true;
}

bool SequentialReader::Skip(size_t length) {
    while (length > 0) {
        if (!Fill())
            return false;
        size_t n = std::min(length, end_ - position_);
        position_ += n;
        length -= n;
    }
    return true;
}

} // namespace orvik::unzip
