// Every decompressor against the sample archives of independent and original DOS-era encoders, and
// against damaged streams.
#include "unzip/crc32.h"
#include "unzip/decoders.h"
#include "unzip/engine.h"
#include "unzip/zipformat.h"
#include "tests/unzip/unzip_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <random>

using namespace orvik::unzip;
using namespace unziptest;

namespace {

// Output kept in memory, refusing anything beyond a limit.
class MemorySink : public OutputSink {
public:
    explicit MemorySink(uint64_t limit) : limit_(limit) {}
    bool Write(const uint8_t* data, size_t length) override {
        if (length > limit_ - bytes.size())
            return false;
        bytes.append(reinterpret_cast<const char*>(data), length);
        return true;
    }
    std::string bytes;

private:
    uint64_t limit_;
};

struct RawMember {
    ZipEntry entry;
    std::string compressed;
};

// The compressed data of every member of an archive, found through the engine's own directory.
std::vector<RawMember> RawMembers(const std::string& archivePath) {
    CollectedMessages messages;
    ZipArchive archive(messages);
    EXPECT_EQ(archive.Open(archivePath, 2), kOk) << messages.Text();
    std::string bytes = ReadWholeFile(archivePath);
    std::vector<RawMember> members;
    for (const ZipEntry& e : archive.Entries()) {
        const auto* local = reinterpret_cast<const uint8_t*>(bytes.data()) + e.localHeaderOffset;
        size_t start = static_cast<size_t>(e.localHeaderOffset) + kLocalHeaderSize + Get16(local + 26) +
                       Get16(local + 28);
        members.push_back({e, bytes.substr(start, e.compressedSize)});
    }
    return members;
}

DecodeResult Decode(const ZipEntry& e, const std::string& compressed, OutputSink& sink) {
    MemorySource source(reinterpret_cast<const uint8_t*>(compressed.data()), compressed.size());
    return DecodeMethod(e.method, e.flags, source, sink, e.uncompressedSize);
}

const char* const kSampleArchives[] = {
    "legacy/store.zip",          "legacy/shrink.zip",       "legacy/reduce1.zip",
    "legacy/reduce2.zip",        "legacy/reduce3.zip",      "legacy/reduce4.zip",
    "legacy/implode-4k.zip",     "legacy/implode-8k.zip",   "legacy/implode-4k-lit.zip",
    "legacy/implode-8k-lit.zip", "legacy/deflate.zip",      "pkzip/pk1-shrink.zip",
    "pkzip/pk1-reduce.zip",      "pkzip/pk1-implode.zip",   "pkzip/SCRNC102.ZIP",
    "zip64/7z-deflate64.zip",    "zip64/zip64-records.zip",
};

std::map<std::string, Checksum> PublishedDigests() {
    std::map<std::string, Checksum> all;
    for (const char* list : {"legacy/SHA256SUMS", "pkzip/SHA256SUMS", "zip64/SHA256SUMS"})
        for (const Checksum& c : ReadChecksums(ZipData(list)))
            all[c.archive + "/" + c.member] = c;
    return all;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

} // namespace

class SampleArchive : public testing::TestWithParam<const char*> {};

TEST_P(SampleArchive, EveryMemberDecodesToThePublishedBytes) {
    const std::string archive = BaseName(GetParam());
    const auto digests = PublishedDigests();
    std::set<int> methods;
    int checked = 0;
    for (const RawMember& m : RawMembers(ZipData(GetParam()))) {
        MemorySink sink(m.entry.uncompressedSize);
        DecodeResult result = Decode(m.entry, m.compressed, sink);
        ASSERT_EQ(result.status, DecodeStatus::Ok) << archive << " " << m.entry.name;
        auto published = digests.find(archive + "/" + m.entry.name);
        ASSERT_NE(published, digests.end()) << "no digest for " << m.entry.name;
        EXPECT_EQ(sink.bytes.size(), published->second.size) << m.entry.name;
        EXPECT_EQ(Sha256Hex(sink.bytes), published->second.digest) << archive << " " << m.entry.name;
        EXPECT_EQ(Crc32::Of(sink.bytes.data(), sink.bytes.size()), m.entry.crc) << m.entry.name;
        if (m.entry.method == 6 || m.entry.method == 8 || m.entry.method == 9) {
            EXPECT_EQ(result.bytesConsumed, m.entry.compressedSize) << m.entry.name;
        }
        methods.insert(m.entry.method);
        ++checked;
    }
    EXPECT_GT(checked, 0);
    EXPECT_FALSE(methods.empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SampleArchive, testing::ValuesIn(kSampleArchives));

TEST(SampleArchives, CoverEveryMethodAndImplodeVariant) {
    std::set<std::string> seen;
    for (const char* path : kSampleArchives)
        for (const RawMember& m : RawMembers(ZipData(path)))
            if (m.entry.uncompressedSize > 1000) {
                seen.insert(std::to_string(m.entry.method) +
                            (m.entry.method == 6 ? "/" + std::to_string(m.entry.flags & 6) : ""));
            }
    for (const char* expected : {"0", "1", "2", "3", "4", "5", "6/0", "6/2", "6/4", "6/6", "8", "9"})
        EXPECT_TRUE(seen.count(expected)) << "no sample for method " << expected;
}

// Damaged input must end in an error or in wrong output, never in a crash, a hang or more output
// than the member declares.
TEST(DamagedStreams, TruncatedDataNeverOverrunsTheDeclaredSize) {
    for (const char* path : kSampleArchives) {
        for (const RawMember& m : RawMembers(ZipData(path))) {
            if (m.entry.uncompressedSize < 1000 || m.entry.method == 0)
                continue;
            for (size_t keep : {size_t(0), size_t(1), m.compressed.size() / 3, m.compressed.size() - 1}) {
                MemorySink sink(m.entry.uncompressedSize);
                DecodeResult result = Decode(m.entry, m.compressed.substr(0, keep), sink);
                bool intact = result.status == DecodeStatus::Ok &&
                              sink.bytes.size() == m.entry.uncompressedSize &&
                              Crc32::Of(sink.bytes.data(), sink.bytes.size()) == m.entry.crc;
                EXPECT_FALSE(intact) << path << " " << m.entry.name << " cut to " << keep;
                EXPECT_LE(sink.bytes.size(), m.entry.uncompressedSize);
            }
        }
    }
}

TEST(DamagedStreams, FlippedBytesAreSurvived) {
    std::mt19937 rng(1234);
    for (const char* path : kSampleArchives) {
        for (const RawMember& m : RawMembers(ZipData(path))) {
            if (m.compressed.size() < 16)
                continue;
            for (int round = 0; round < 20; ++round) {
                std::string damaged = m.compressed;
                for (int k = 0; k < 3; ++k)
                    damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
                MemorySink sink(m.entry.uncompressedSize);
                Decode(m.entry, damaged, sink);
                EXPECT_LE(sink.bytes.size(), m.entry.uncompressedSize);
            }
        }
    }
}

TEST(DamagedStreams, MalformedCodeDescriptionsAreBadData) {
    ZipEntry imploded;
    imploded.method = 6;
    imploded.uncompressedSize = 100;
    // A length tree of 64 one-bit codes cannot be a prefix code.
    std::string overfull = std::string("\x03\xF0\xF0\xF0\xF0", 5) + std::string(200, '\0');
    MemorySink sink1(100);
    EXPECT_EQ(Decode(imploded, overfull, sink1).status, DecodeStatus::BadData);
    // A tree describing fewer values than the 64 it must have.
    std::string tooFew = std::string("\x00\x35", 2) + std::string(200, '\0');
    MemorySink sink2(100);
    EXPECT_EQ(Decode(imploded, tooFew, sink2).status, DecodeStatus::BadData);

    ZipEntry shrunk;
    shrunk.method = 1;
    shrunk.uncompressedSize = 100;
    // First code 300: not a byte, nothing defined yet. 9-bit little-endian packing of 300 = 0x12C.
    MemorySink sink3(100);
    EXPECT_EQ(Decode(shrunk, std::string("\x2C\x01\x00\x00", 4), sink3).status, DecodeStatus::BadData);
    // Control code 256 followed by the unknown sub-code 3.
    MemorySink sink4(100);
    EXPECT_EQ(Decode(shrunk, std::string("\x41\x00\x0E\x00\x00\x00", 6), sink4).status,
              DecodeStatus::BadData);

    ZipEntry reduced;
    reduced.method = 2;
    reduced.uncompressedSize = 100;
    // A follower set of 63 members (more than the 32 a set may hold).
    MemorySink sink5(100);
    EXPECT_EQ(Decode(reduced, std::string("\x3F") + std::string(100, '\0'), sink5).status,
              DecodeStatus::BadData);
}

TEST(DamagedStreams, Deflate64DistancesBeforeTheFirstByteAreBadData) {
    // A fixed-code block: literal 'A' (00110000 + 0x41), then length 3 (code 257 = 0000001) at distance 2
    // (distance code 1 = 00001), one byte further back than the output reaches.
    ZipEntry e;
    e.method = 9;
    e.uncompressedSize = 100;
    std::string stream("\x73\x04\x02\x08\x00", 5);
    MemorySink sink(100);
    EXPECT_EQ(Decode(e, stream, sink).status, DecodeStatus::BadData);
    EXPECT_EQ(sink.bytes, "");
}

TEST(DamagedStreams, OutputBeyondTheDeclaredSizeIsRefused) {
    // A deflate stream of 3,000 bytes in a member that declares 100: the sink refuses the rest.
    for (const RawMember& m : RawMembers(ZipData("legacy/deflate.zip"))) {
        if (m.entry.name != "hamlet.txt")
            continue;
        MemorySink sink(100);
        EXPECT_EQ(Decode(m.entry, m.compressed, sink).status, DecodeStatus::WriteFailed);
        EXPECT_LE(sink.bytes.size(), 100u);
    }
}

namespace {

// Hands out the data in pieces of `chunk` bytes (0: all at once), as archives are read in buffers.
class ChunkedSource : public ByteSource {
public:
    ChunkedSource(const std::string& data, size_t chunk) : data_(data), chunk_(chunk ? chunk : data.size()) {}
    size_t NextChunk(const uint8_t*& data) override {
        const size_t n = std::min(chunk_, data_.size() - position_);
        data = reinterpret_cast<const uint8_t*>(data_.data()) + position_;
        position_ += n;
        return n;
    }

private:
    const std::string& data_;
    size_t chunk_;
    size_t position_ = 0;
};

const size_t kChunkSizes[] = {1, 7, 4096, 0};

} // namespace

// However the compressed bytes arrive, every decoder gives the same output.
TEST(ChunkedInput, EveryDecoderGivesTheSameBytesInChunksOf1And7And4096AndWhole) {
    std::set<unsigned> methods;
    for (const char* path : kSampleArchives) {
        for (const RawMember& m : RawMembers(ZipData(path))) {
            for (size_t chunk : kChunkSizes) {
                ChunkedSource source(m.compressed, chunk);
                MemorySink sink(m.entry.uncompressedSize);
                const DecodeResult result =
                    DecodeMethod(m.entry.method, m.entry.flags, source, sink, m.entry.uncompressedSize);
                ASSERT_EQ(result.status, DecodeStatus::Ok)
                    << path << " " << m.entry.name << " chunk " << chunk;
                EXPECT_EQ(sink.bytes.size(), m.entry.uncompressedSize) << m.entry.name << " chunk " << chunk;
                EXPECT_EQ(Crc32::Of(sink.bytes.data(), sink.bytes.size()), m.entry.crc)
                    << path << " " << m.entry.name << " chunk " << chunk;
            }
            methods.insert(m.entry.method);
        }
    }
    EXPECT_EQ(methods, (std::set<unsigned>{0, 1, 2, 3, 4, 5, 6, 8, 9}));
}
