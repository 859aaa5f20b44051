#include "tests/common/ziparchive.h"

#include <cstdint>
#include <fstream>

namespace testzip {

namespace {

constexpr uint16_t VERSION_MADE_BY = 20;
constexpr uint16_t DOS_TIME = (12 << 11) | (30 << 5);               // 12:30:00
constexpr uint16_t DOS_DATE = ((2021 - 1980) << 9) | (6 << 5) | 15; // 2021-06-15
constexpr uint32_t ATTRIBUTE_FOLDER = 0x10;
constexpr uint32_t ATTRIBUTE_ARCHIVE = 0x20;

uint32_t Crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

class LEWRITER {
public:
    void U16(uint32_t value) { Bytes(value, 2); }
    void U32(uint32_t value) { Bytes(value, 4); }
    void Text(const std::string& text) { Out += text; }
    size_t Size() const { return Out.size(); }
    const std::string& Result() const { return Out; }

private:
    void Bytes(uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            Out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    std::string Out;
};

// The fields local and central headers share, from "version needed" to the name length.
void CommonFields(LEWRITER& out, const MEMBER& member) {
    const uint32_t size = static_cast<uint32_t>(member.Data.size());
    out.U16(member.VersionNeeded);
    out.U16(member.Flags);
    out.U16(member.Method);
    out.U16(DOS_TIME);
    out.U16(DOS_DATE);
    out.U32(Crc32(member.Data));
    out.U32(size);
    out.U32(size);
    out.U16(static_cast<uint32_t>(member.Name.size()));
    out.U16(0); // extra field
}

} // namespace

bool WriteZip(const std::string& path, const std::vector<MEMBER>& members) {
    LEWRITER archive;
    LEWRITER directory;
    for (const MEMBER& member : members) {
        const uint32_t offset = static_cast<uint32_t>(archive.Size());
        archive.U32(0x04034b50);
        CommonFields(archive, member);
        archive.Text(member.Name);
        archive.Text(member.Data);

        const bool folder = !member.Name.empty() && member.Name.back() == '/';
        directory.U32(0x02014b50);
        directory.U16(static_cast<uint32_t>(member.Host << 8) | VERSION_MADE_BY);
        CommonFields(directory, member);
        directory.U16(0); // comment
        directory.U16(0); // disk
        directory.U16(0); // internal attributes
        directory.U32(member.Attributes ? member.Attributes : folder ? ATTRIBUTE_FOLDER : ATTRIBUTE_ARCHIVE);
        directory.U32(offset);
        directory.Text(member.Name);
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(archive.Size());
    archive.Text(directory.Result());
    archive.U32(0x06054b50);
    archive.U16(0);
    archive.U16(0);
    archive.U16(static_cast<uint32_t>(members.size()));
    archive.U16(static_cast<uint32_t>(members.size()));
    archive.U32(static_cast<uint32_t>(directory.Size()));
    archive.U32(directoryOffset);
    archive.U16(0);

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << archive.Result();
    return static_cast<bool>(file);
}

} // namespace testzip
