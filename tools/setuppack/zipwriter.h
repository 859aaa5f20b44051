// Writes a ZIP archive member by member: local header, data (deflated through zlib, or stored when deflate
// would not make it smaller), and at the end the central directory and the end record. ZIP64 records are
// written only where a size, an offset or the number of members does not fit the classic fields.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace setuppack {

// A moment as the archive keeps it: MS-DOS date and time in local time, two-second steps.
struct DOSTIME {
    uint16_t Date = 0;
    uint16_t Time = 0;
};
// The local time of when (seconds since 1970), clamped to the years MS-DOS can hold (1980-2107).
DOSTIME DosTimeOf(int64_t when);

class ZIPWRITER {
public:
    // Creates (or truncates) the archive file. A prefix (the program of a self-extracting file) goes first;
    // the archive's offsets count from the start of the file, so that it reads without a shift.
    bool Open(const std::string& path, const std::vector<uint8_t>& prefix = {});
    // Names are UTF-8; one that is not pure ASCII carries the UTF-8 flag (general-purpose bit 11), since
    // readers take an unflagged name for code page 437.
    // A directory member: name ends in "/".
    bool AddDirectory(const std::string& name, DOSTIME time);
    // A file member with the bytes of source.
    bool AddFile(const std::string& name, const std::string& source, DOSTIME time);
    // Writes the central directory and the end record and closes the file.
    bool Finish();
    // Why the last operation failed.
    const std::string& Error() const { return Problem; }

private:
    struct ENTRY {
        std::string Name;
        uint16_t Flags = 0; // general-purpose flags: bit 11 for a name in UTF-8
        uint16_t Method = 0;
        uint16_t Needed = 20;
        DOSTIME Time;
        uint32_t Crc = 0;
        uint64_t Compressed = 0;
        uint64_t Size = 0;
        uint64_t Offset = 0;
        uint32_t Attributes = 0;
    };

    bool WriteLocalHeader(const ENTRY& entry, bool zip64);
    bool PatchLocalHeader(const ENTRY& entry, bool zip64);
    // Deflates the source behind the local header; false in deflated when the result would not be smaller.
    bool Deflate(std::ifstream& input, ENTRY& entry, bool& deflated);
    bool Store(std::ifstream& input, ENTRY& entry);
    bool WriteCentralDirectory();
    bool Put(const std::vector<uint8_t>& bytes);
    bool Fail(const std::string& problem);

    std::fstream Out;
    std::string Path;
    std::vector<ENTRY> Entries;
    uint64_t Position = 0; // where the next byte goes
    uint64_t End = 0;      // the longest the file has been: stored data may end before it
    std::string Problem;
};

} // namespace setuppack
