#pragma once
// The on-disk records of the archive format: end of central directory, central and local headers.
#include <cstdint>
#include <string>
#include <vector>

namespace orvik::unzip {

namespace fs {
class InputFile;
}

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;    // "PK\3\4"
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;  // "PK\1\2"
constexpr uint32_t kEndRecordSignature = 0x06054B50;      // "PK\5\6"
constexpr uint32_t kZip64EndRecordSignature = 0x06064B50; // "PK\6\6"
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;   // "PK\6\7"

constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kZip64EndRecordSize = 56; // without its extensible data
constexpr size_t kZip64LocatorSize = 20;
constexpr uint16_t kZip64ExtraId = 0x0001;

inline uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) {
    return uint64_t(Get32(p)) | (uint64_t(Get32(p + 4)) << 32);
}

// The end of central directory record; with ZIP64 the values of its ZIP64 record.
struct EndRecord {
    uint64_t position = 0; // where the record starts in the file
    uint32_t thisDisk = 0;
    uint32_t directoryDisk = 0;
    uint64_t entriesOnDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0;
    uint16_t commentLength = 0;
    bool zip64 = false;
    // Where the central directory ends when nothing is missing: the ZIP64 record, else this record.
    uint64_t directoryEnd = 0;
};

// Finds the last end record in the final 66,000 bytes of the file. False if there is none.
bool FindEndRecord(const fs::InputFile& file, EndRecord& record);

// Looks for the ZIP64 locator right before the end record and, when there is one, reads the ZIP64 end
// record it points to into `record`. Absent: no locator, `record` untouched. Bad: `problem` says why
// (no record where the locator points, values that contradict the classic record, a directory that
// cannot lie within the file); such an archive is not to be read. MultiDisk: the locator counts more
// than one disk.
enum class Zip64End { Absent, Found, Bad, MultiDisk };
Zip64End ReadZip64End(const fs::InputFile& file, EndRecord& record, std::string& problem);

// Reads the ZIP64 extended-information field (ID 0x0001) of an extra-field block into the values that
// the fixed header marked with all ones, in the format's order: uncompressed size, compressed size,
// local header offset, disk number. Fields the block lacks keep their value. True when the field was
// there.
bool ApplyZip64Extra(const uint8_t* extra, size_t length, uint64_t* uncompressedSize,
                     uint64_t* compressedSize, uint64_t* localHeaderOffset, uint32_t* disk);

// One central directory entry, as the engine keeps it for the whole session.
struct ZipEntry {
    std::string
        name; // normalised: "/" separators, lower case for DOS-era upper-case names, control bytes as "?"
    // The bytes the central directory stores, for the comparison with the local header; empty when they are
    // the name itself (most names), to keep the directory of a large archive small.
    std::string rawName;
    // Why the member must not be extracted although the directory could be read; null when sound.
    const char* damage = nullptr;
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint32_t externalAttributes = 0;
    uint64_t localHeaderOffset = 0;
    uint32_t disk = 0;

    unsigned Host() const {
        unsigned host = versionMadeBy >> 8;
        return host > 11 ? 12 : host;
    }
    bool IgnoresCase() const;
    bool IsDirectory() const { return !name.empty() && name.back() == '/'; }
    bool IsEncrypted() const { return flags & 0x0001; }
    bool HasDataDescriptor() const { return flags & 0x0008; }
    // General-purpose bit 11: the name (and comment) is UTF-8 rather than code page 437.
    bool HasUtf8Name() const { return flags & 0x0800; }
    const std::string& StoredName() const { return rawName.empty() ? name : rawName; }
};

// Sequential reads through a buffer, for walking the central directory.
class SequentialReader {
public:
    SequentialReader(const fs::InputFile& file, uint64_t offset);
    bool Read(void* destination, size_t length);
    bool Skip(size_t length);

private:
    bool Fill();

    const fs::InputFile& file_;
    uint64_t fileOffset_;
    std::vector<uint8_t> buffer_;
    size_t position_ = 0;
    size_t end_ = 0;
};

} // namespace orvik::unzip
