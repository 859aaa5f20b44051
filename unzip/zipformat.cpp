#include "unzip/zipformat.h"

#include "unzip/fs.h"
#include "unzip/names.h"

#include <algorithm>
#include <cstdio>
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
        record.directoryEnd = record.position;
        return true;
    }
    return false;
}

namespace {

std::string Printed(const char* format, unsigned long long a, unsigned long long b = 0,
                    unsigned long long c = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

} // namespace

Zip64End ReadZip64End(const fs::InputFile& file, EndRecord& record, std::string& problem) {
    if (record.position < kZip64LocatorSize)
        return Zip64End::Absent;
    const uint64_t locatorPosition = record.position - kZip64LocatorSize;
    uint8_t locator[kZip64LocatorSize];
    if (file.ReadAt(locatorPosition, locator, sizeof locator) != sizeof locator ||
        Get32(locator) != kZip64LocatorSignature)
        return Zip64End::Absent;
    const uint32_t recordDisk = Get32(locator + 4);
    const uint64_t statedOffset = Get64(locator + 8);
    const uint32_t disks = Get32(locator + 16);
    if (recordDisk != 0 || disks > 1)
        return Zip64End::MultiDisk;

    // The record, its extensible data included, ends where the locator begins.
    uint8_t r[kZip64EndRecordSize];
    auto recordAt = [&](uint64_t at) {
        return locatorPosition >= kZip64EndRecordSize && at <= locatorPosition - kZip64EndRecordSize &&
               file.ReadAt(at, r, sizeof r) == sizeof r && Get32(r) == kZip64EndRecordSignature;
    };
    uint64_t at = statedOffset;
    if (!recordAt(at)) {
        // Bytes before the archive proper (a self-extractor stub) move the record as they move everything
        // else; without extensible data it then lies right before the locator.
        at = locatorPosition - kZip64EndRecordSize;
        if (locatorPosition < kZip64EndRecordSize || !recordAt(at)) {
            problem = Printed("ZIP64 end-of-central-directory record not found\n"
                              "  (the ZIP64 locator points to offset %llu)",
                              statedOffset);
            return Zip64End::Bad;
        }
    }
    const uint64_t recordSize = Get64(r + 4);
    if (recordSize < kZip64EndRecordSize - 12 || recordSize - (kZip64EndRecordSize - 12) >
                                                     locatorPosition - (at + kZip64EndRecordSize)) {
        problem = Printed("ZIP64 end-of-central-directory record at offset %llu claims %llu bytes",
                          at, recordSize);
        return Zip64End::Bad;
    }
    const uint32_t thisDisk = Get32(r + 16);
    const uint32_t directoryDisk = Get32(r + 20);
    const uint64_t entriesOnDisk = Get64(r + 24);
    const uint64_t totalEntries = Get64(r + 32);
    const uint64_t directorySize = Get64(r + 40);
    const uint64_t directoryOffset = Get64(r + 48);

    // A classic field either overflowed (all ones) or holds the low bits of the ZIP64 value.
    auto agrees16 = [](uint64_t classic, uint64_t value) {
        return classic == 0xFFFF || classic == (value & 0xFFFF);
    };
    auto agrees32 = [](uint64_t classic, uint64_t value) {
        return classic == 0xFFFFFFFF || classic == (value & 0xFFFFFFFF);
    };
    if (!agrees16(record.totalEntries, totalEntries) || !agrees16(record.entriesOnDisk, entriesOnDisk) ||
        entriesOnDisk != totalEntries) {
        problem = Printed("the ZIP64 end record counts %llu entries (%llu on this disk), the end record %llu",
                          totalEntries, entriesOnDisk, record.totalEntries);
        return Zip64End::Bad;
    }
    if (!agrees32(record.directorySize, directorySize) || !agrees32(record.directoryOffset, directoryOffset) ||
        !agrees16(record.thisDisk, thisDisk) || !agrees16(record.directoryDisk, directoryDisk)) {
        problem = Printed("the ZIP64 end record places the central directory (%llu bytes at offset %llu)\n"
                          "  elsewhere than the end record does",
                          directorySize, directoryOffset);
        return Zip64End::Bad;
    }
    if (directoryOffset > at || directorySize > at - directoryOffset) {
        problem = Printed("the central directory of %llu bytes at offset %llu runs past its end at %llu",
                          directorySize, directoryOffset, at);
        return Zip64End::Bad;
    }
    if (totalEntries > directorySize / kCentralHeaderSize) {
        problem = Printed("%llu entries cannot fit in a central directory of %llu bytes", totalEntries,
                          directorySize);
        return Zip64End::Bad;
    }
    record.thisDisk = thisDisk;
    record.directoryDisk = directoryDisk;
    record.entriesOnDisk = entriesOnDisk;
    record.totalEntries = totalEntries;
    record.directorySize = directorySize;
    record.directoryOffset = directoryOffset;
    record.zip64 = true;
    record.directoryEnd = at;
    return Zip64End::Found;
}

bool ApplyZip64Extra(const uint8_t* extra, size_t length, uint64_t* uncompressedSize, uint64_t* compressedSize,
                     uint64_t* localHeaderOffset, uint32_t* disk) {
    size_t i = 0;
    while (length - i >= 4) {
        const uint16_t id = Get16(extra + i);
        const size_t size = Get16(extra + i + 2);
        const uint8_t* data = extra + i + 4;
        const size_t available = std::min(size, length - i - 4);
        i += 4 + available;
        if (id != kZip64ExtraId)
            continue;
        size_t at = 0;
        for (uint64_t* field : {uncompressedSize, compressedSize, localHeaderOffset}) {
            if (field && available - at >= 8) {
                *field = Get64(data + at);
                at += 8;
            }
        }
        if (disk && available - at >= 4)
            *disk = Get32(data + at);
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
