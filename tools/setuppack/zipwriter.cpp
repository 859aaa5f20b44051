#include "tools/setuppack/zipwriter.h"

#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>

namespace setuppack {

namespace {

constexpr uint32_t LOCAL_SIGNATURE = 0x04034B50;
constexpr uint32_t CENTRAL_SIGNATURE = 0x02014B50;
constexpr uint32_t END_SIGNATURE = 0x06054B50;
constexpr uint32_t ZIP64_END_SIGNATURE = 0x06064B50;
constexpr uint32_t ZIP64_LOCATOR_SIGNATURE = 0x07064B50;
constexpr uint16_t ZIP64_EXTRA_ID = 0x0001;
constexpr uint16_t METHOD_STORED = 0;
constexpr uint16_t METHOD_DEFLATED = 8;
constexpr uint16_t VERSION_CLASSIC = 20;
constexpr uint16_t VERSION_ZIP64 = 45;
constexpr uint16_t HOST_UNIX =
    3; // names keep their letter case; the mode travels in the high attribute bytes
constexpr uint32_t ALL_ONES = 0xFFFFFFFF;
constexpr uint16_t FLAG_UTF8_NAME = 0x0800;
constexpr size_t CHUNK = 64 * 1024;
// MS-DOS attributes in the low byte, the Unix mode in the high half.
constexpr uint32_t FILE_ATTRIBUTES = (0100644u << 16) | 0x20;
constexpr uint32_t DIRECTORY_ATTRIBUTES = (040755u << 16) | 0x10;

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

void Put64(std::vector<uint8_t>& out, uint64_t value) {
    Put32(out, static_cast<uint32_t>(value));
    Put32(out, static_cast<uint32_t>(value >> 32));
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

bool Overflows(uint64_t value) {
    return value >= ALL_ONES;
}

uint32_t Classic(uint64_t value) {
    return Overflows(value) ? ALL_ONES : static_cast<uint32_t>(value);
}

// ASCII reads the same in UTF-8 and in code page 437: such names stay unflagged, as other archivers
// write them.
uint16_t NameFlags(const std::string& name) {
    const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
    return ascii ? 0 : FLAG_UTF8_NAME;
}

} // namespace

DOSTIME DosTimeOf(int64_t when) {
    const time_t moment = static_cast<time_t>(when);
    struct tm parts {};
    if (const struct tm* local = std::localtime(&moment))
        parts = *local;
    int year = parts.tm_year + 1900;
    if (year < 1980)
        return {static_cast<uint16_t>((0 << 9) | (1 << 5) | 1), 0}; // 1980-01-01 00:00
    if (year > 2107)
        return {static_cast<uint16_t>((127 << 9) | (12 << 5) | 31),
                static_cast<uint16_t>((23 << 11) | (59 << 5) | 29)};
    DOSTIME time;
    time.Date = static_cast<uint16_t>(((year - 1980) << 9) | ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    time.Time = static_cast<uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) | (parts.tm_sec / 2));
    return time;
}

bool ZIPWRITER::Open(const std::string& path, const std::vector<uint8_t>& prefix) {
    Path = path;
    Entries.clear();
    Position = End = 0;
    Out.open(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    if (!Out.is_open())
        return Fail("cannot create " + path);
    End = prefix.size();
    return Put(prefix) || Fail("cannot write " + path);
}

bool ZIPWRITER::Fail(const std::string& problem) {
    Problem = problem;
    return false;
}

bool ZIPWRITER::Put(const std::vector<uint8_t>& bytes) {
    Out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Position += bytes.size();
    if (Position > End)
        End = Position;
    return Out.good() || Fail("cannot write " + Path);
}

bool ZIPWRITER::WriteLocalHeader(const ENTRY& entry, bool zip64) {
    std::vector<uint8_t> header;
    Put32(header, LOCAL_SIGNATURE);
    Put16(header, zip64 ? VERSION_ZIP64 : VERSION_CLASSIC);
    Put16(header, entry.Flags);
    Put16(header, entry.Method);
    Put16(header, entry.Time.Time);
    Put16(header, entry.Time.Date);
    Put32(header, entry.Crc);
    Put32(header, zip64 ? ALL_ONES : static_cast<uint32_t>(entry.Compressed));
    Put32(header, zip64 ? ALL_ONES : static_cast<uint32_t>(entry.Size));
    Put16(header, static_cast<uint16_t>(entry.Name.size()));
    Put16(header, zip64 ? 20 : 0);
    PutText(header, entry.Name);
    if (zip64) {
        Put16(header, ZIP64_EXTRA_ID);
        Put16(header, 16);
        Put64(header, entry.Size);
        Put64(header, entry.Compressed);
    }
    return Put(header);
}

// Writes the method, the CRC and the sizes known only after the data into the local header.
bool ZIPWRITER::PatchLocalHeader(const ENTRY& entry, bool zip64) {
    const uint64_t resume = Position;
    Out.seekp(static_cast<std::streamoff>(entry.Offset));
    Position = entry.Offset;
    if (!WriteLocalHeader(entry, zip64))
        return false;
    Out.seekp(static_cast<std::streamoff>(resume));
    Position = resume;
    return Out.good() || Fail("cannot seek in " + Path);
}

bool ZIPWRITER::AddDirectory(const std::string& name, DOSTIME time) {
    ENTRY entry;
    entry.Name = name;
    entry.Flags = NameFlags(name);
    entry.Time = time;
    entry.Offset = Position;
    entry.Attributes = DIRECTORY_ATTRIBUTES;
    if (!WriteLocalHeader(entry, false))
        return false;
    Entries.push_back(entry);
    return true;
}

bool ZIPWRITER::AddFile(const std::string& name, const std::string& source, DOSTIME time) {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(source, error);
    if (error)
        return Fail("cannot read " + source + ": " + error.message());
    std::ifstream input(source, std::ios::binary);
    if (!input)
        return Fail("cannot open " + source);
    ENTRY entry;
    entry.Name = name;
    entry.Flags = NameFlags(name);
    entry.Time = time;
    entry.Offset = Position;
    entry.Size = size;
    entry.Attributes = FILE_ATTRIBUTES;
    // The sizes decide the header's form before the data is written; stored data is never larger than the
    // file, so the file's size decides it.
    const bool zip64 = Overflows(size);
    entry.Needed = zip64 ? VERSION_ZIP64 : VERSION_CLASSIC;
    if (!WriteLocalHeader(entry, zip64))
        return false;
    const uint64_t dataStart = Position;
    bool deflated = false;
    if (size > 0 && !Deflate(input, entry, deflated))
        return false;
    if (!deflated) {
        input.clear();
        input.seekg(0);
        Out.seekp(static_cast<std::streamoff>(dataStart));
        Position = dataStart;
        if (!Store(input, entry))
            return false;
    }
    if (entry.Size != size)
        return Fail(source + " changed while it was packed");
    if (!PatchLocalHeader(entry, zip64))
        return false;
    Entries.push_back(entry);
    return true;
}

bool ZIPWRITER::Deflate(std::ifstream& input, ENTRY& entry, bool& deflated) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return Fail("zlib cannot start deflating");
    std::unique_ptr<z_stream, int (*)(z_stream*)> owner(&stream, deflateEnd);
    std::vector<uint8_t> in(CHUNK), out(CHUNK);
    const uint64_t limit = entry.Size;
    uint32_t crc = crc32(0, nullptr, 0);
    uint64_t read = 0, written = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        input.read(reinterpret_cast<char*>(in.data()), static_cast<std::streamsize>(in.size()));
        const size_t got = static_cast<size_t>(input.gcount());
        if (input.bad())
            return Fail("cannot read the file of " + entry.Name);
        crc = crc32(crc, in.data(), static_cast<uInt>(got));
        read += got;
        flush = got < in.size() ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = in.data();
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            if (deflate(&stream, flush) == Z_STREAM_ERROR)
                return Fail("zlib failed while deflating " + entry.Name);
            const size_t produced = out.size() - stream.avail_out;
            written += produced;
            // No smaller than the file: storing it is better, and keeps the sizes within the header's form.
            if (written >= limit) {
                if (Position + written > End)
                    End = Position + written;
                deflated = false;
                return true;
            }
            Out.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(produced));
        } while (stream.avail_out == 0);
    }
    Position += written;
    if (Position > End)
        End = Position;
    if (!Out.good())
        return Fail("cannot write " + Path);
    entry.Method = METHOD_DEFLATED;
    entry.Crc = crc;
    entry.Compressed = written;
    entry.Size = read;
    deflated = true;
    return true;
}

bool ZIPWRITER::Store(std::ifstream& input, ENTRY& entry) {
    std::vector<uint8_t> chunk(CHUNK);
    uint32_t crc = crc32(0, nullptr, 0);
    uint64_t copied = 0;
    while (input) {
        input.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
        const size_t got = static_cast<size_t>(input.gcount());
        if (got == 0)
            break;
        crc = crc32(crc, chunk.data(), static_cast<uInt>(got));
        chunk.resize(got);
        if (!Put(chunk))
            return false;
        chunk.resize(CHUNK);
        copied += got;
    }
    if (input.bad())
        return Fail("cannot read the file of " + entry.Name);
    entry.Method = METHOD_STORED;
    entry.Crc = crc;
    entry.Compressed = entry.Size = copied;
    return true;
}

bool ZIPWRITER::WriteCentralDirectory() {
    for (const ENTRY& entry : Entries) {
        std::vector<uint8_t> extra;
        if (Overflows(entry.Size))
            Put64(extra, entry.Size);
        if (Overflows(entry.Compressed))
            Put64(extra, entry.Compressed);
        if (Overflows(entry.Offset))
            Put64(extra, entry.Offset);
        const uint16_t needed = extra.empty() ? entry.Needed : VERSION_ZIP64;
        std::vector<uint8_t> header;
        Put32(header, CENTRAL_SIGNATURE);
        Put16(header, static_cast<uint16_t>((HOST_UNIX << 8) | needed));
        Put16(header, needed);
        Put16(header, entry.Flags);
        Put16(header, entry.Method);
        Put16(header, entry.Time.Time);
        Put16(header, entry.Time.Date);
        Put32(header, entry.Crc);
        Put32(header, Classic(entry.Compressed));
        Put32(header, Classic(entry.Size));
        Put16(header, static_cast<uint16_t>(entry.Name.size()));
        Put16(header, static_cast<uint16_t>(extra.empty() ? 0 : extra.size() + 4));
        Put16(header, 0); // comment
        Put16(header, 0); // disk
        Put16(header, 0); // internal attributes
        Put32(header, entry.Attributes);
        Put32(header, Classic(entry.Offset));
        PutText(header, entry.Name);
        if (!extra.empty()) {
            Put16(header, ZIP64_EXTRA_ID);
            Put16(header, static_cast<uint16_t>(extra.size()));
            header.insert(header.end(), extra.begin(), extra.end());
        }
        if (!Put(header))
            return false;
    }
    return true;
}

bool ZIPWRITER::Finish() {
    const uint64_t start = Position;
    if (!WriteCentralDirectory())
        return false;
    const uint64_t directorySize = Position - start;
    const uint64_t count = Entries.size();
    const bool zip64 = count >= 0xFFFF || Overflows(start) || Overflows(directorySize);
    std::vector<uint8_t> end;
    if (zip64) {
        const uint64_t record = Position;
        Put32(end, ZIP64_END_SIGNATURE);
        Put64(end, 44);
        Put16(end, static_cast<uint16_t>((HOST_UNIX << 8) | VERSION_ZIP64));
        Put16(end, VERSION_ZIP64);
        Put32(end, 0);
        Put32(end, 0);
        Put64(end, count);
        Put64(end, count);
        Put64(end, directorySize);
        Put64(end, start);
        Put32(end, ZIP64_LOCATOR_SIGNATURE);
        Put32(end, 0);
        Put64(end, record);
        Put32(end, 1);
    }
    const uint16_t classicCount = count >= 0xFFFF ? 0xFFFF : static_cast<uint16_t>(count);
    Put32(end, END_SIGNATURE);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, classicCount);
    Put16(end, classicCount);
    Put32(end, Classic(directorySize));
    Put32(end, Classic(start));
    Put16(end, 0);
    if (!Put(end))
        return false;
    Out.close();
    if (Out.fail())
        return Fail("cannot close " + Path);
    // The last member may have been stored after deflating had already written further.
    std::error_code error;
    if (End > Position)
        std::filesystem::resize_file(Path, Position, error);
    return !error || Fail("cannot cut " + Path + " to its size: " + error.message());
}

} // namespace setuppack
