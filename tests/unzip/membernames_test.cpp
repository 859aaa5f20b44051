// Member names beyond ASCII: names flagged as UTF-8 (general-purpose bit 11), names in code page 437 as the
// format prescribes without the flag, and the path safety of what they become. The archives are made here,
// byte by byte, with the flags and hosts each case needs.
#include "unzip/crc32.h"
#include "unzip/engine.h"
#include "unzip/names.h"
#include "tests/unzip/unzip_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace orvik::unzip;
using namespace unziptest;

namespace {

constexpr uint16_t kUtf8Flag = 0x0800;
constexpr uint8_t kHostDos = 0, kHostUnix = 3, kHostNtfs = 11;

struct Stored {
    std::string name; // the bytes of the name as the archive holds them
    uint16_t flags;
    uint8_t host;
    std::string data;
};

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// An archive of stored members: local headers with their data, the central directory and its end record.
std::string StoredArchive(const std::vector<Stored>& members) {
    std::string archive, directory;
    for (const Stored& m : members) {
        const uint32_t crc = Crc32::Of(m.data.data(), m.data.size());
        const auto size = static_cast<uint32_t>(m.data.size());
        const auto offset = static_cast<uint32_t>(archive.size());
        Put32(archive, 0x04034b50);
        for (uint32_t v : {20u, uint32_t(m.flags), 0u, 0u, 0x5821u}) // version, flags, method, time, date
            Put16(archive, v);
        for (uint32_t v : {crc, size, size})
            Put32(archive, v);
        Put16(archive, static_cast<uint32_t>(m.name.size()));
        Put16(archive, 0);
        archive += m.name + m.data;

        Put32(directory, 0x02014b50);
        Put16(directory, (uint32_t(m.host) << 8) | 20); // version made by: host and 2.0
        for (uint32_t v : {20u, uint32_t(m.flags), 0u, 0u, 0x5821u})
            Put16(directory, v);
        for (uint32_t v : {crc, size, size})
            Put32(directory, v);
        for (uint32_t v : {uint32_t(m.name.size()), 0u, 0u, 0u, 0u}) // name, extra, comment, disk, internal
            Put16(directory, v);
        Put32(directory, 0x20); // archive attribute
        Put32(directory, offset);
        directory += m.name;
    }
    const auto start = static_cast<uint32_t>(archive.size());
    archive += directory;
    Put32(archive, 0x06054b50);
    for (uint32_t v : {0u, 0u, uint32_t(members.size()), uint32_t(members.size())})
        Put16(archive, v);
    Put32(archive, static_cast<uint32_t>(directory.size()));
    Put32(archive, start);
    Put16(archive, 0);
    return archive;
}

bool ExistsUtf8(const ScratchDir& dir, const std::string& relative) {
    return std::filesystem::exists(std::filesystem::u8path(dir.Path() + "/" + relative));
}

std::vector<std::string> ListedNames(const RunResult& run) {
    std::vector<std::string> names;
    for (const ListingEntry& entry : run.listing.entries)
        names.push_back(entry.name);
    return names;
}

} // namespace

TEST(MemberNameCharsets, Utf8FlagAndCodePage437BothGiveUnicodeNames) {
    ScratchDir dir;
    const std::string archive = dir.File("names.zip");
    WriteFile(archive, StoredArchive({
                           {"docs/Ölkännchen 山.txt", kUtf8Flag, kHostUnix, "flagged"},
                           {"docs/\x99lk\x84nnchen \xE0\xE1.txt", 0, kHostNtfs, "cp437"},
                           {"docs/\x8E\x81\x94.TXT", 0, kHostDos, "dos"},
                       }));
    const RunResult listed = Unzip({"-v", archive});
    EXPECT_EQ(listed.code, kOk) << listed.messages;
    EXPECT_EQ(ListedNames(listed),
              (std::vector<std::string>{"docs/Ölkännchen 山.txt", "docs/Ölkännchen αß.txt", "docs/Äüö.txt"}))
        << "MS-DOS names are lower-cased in ASCII only";

    ScratchDir out;
    const RunResult run = Unzip({"-qq", archive, "-d", out.Path()});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_TRUE(ExistsUtf8(out, "docs/Ölkännchen 山.txt"));
    EXPECT_TRUE(ExistsUtf8(out, "docs/Ölkännchen αß.txt"));
    EXPECT_TRUE(ExistsUtf8(out, "docs/Äüö.txt"));
    std::ifstream file(std::filesystem::u8path(out.Path() + "/docs/Ölkännchen 山.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "flagged");
}

TEST(MemberNameCharsets, AFlaggedNameThatIsNotUtf8IsRefusedAsUnsafe) {
    ScratchDir dir;
    const std::string archive = dir.File("bad.zip");
    // Overlong forms of "." and "/" must not become a way out of the folder, nor any name at all.
    WriteFile(archive, StoredArchive({
                           {"\xC0\xAE\xC0\xAE\xC0\xAF"
                            "escape.txt",
                            kUtf8Flag, kHostUnix, "x"},
                           {"docs/caf\xE9.txt", kUtf8Flag, kHostNtfs, "latin-1 under the flag"},
                           {"docs/ok.txt", kUtf8Flag, kHostNtfs, "ok"},
                       }));
    ScratchDir out;
    const RunResult run = Unzip({"-qq", archive, "-d", out.Path()});
    EXPECT_NE(run.messages.find("skipping: \xC0\xAE\xC0\xAE\xC0\xAF"
                                "escape.txt"),
              std::string::npos)
        << run.messages;
    EXPECT_NE(run.messages.find("unsafe path"), std::string::npos) << run.messages;
    EXPECT_EQ(FilesBelow(out.Path()), std::vector<std::string>{"docs/ok.txt"});
    EXPECT_FALSE(Exists(dir.Path() + "/escape.txt"));
}

TEST(MemberNameCharsets, TheSameBytesWithoutTheFlagAreCodePage437AndStayInside) {
    ScratchDir dir;
    const std::string archive = dir.File("cp437.zip");
    WriteFile(archive, StoredArchive({{"\xC0\xAE\xC0\xAE\xC0\xAF"
                                       "escape.txt",
                                       0, kHostNtfs, "x"},
                                      {"..\\\x84.txt", 0, kHostNtfs, "climbs"}}));
    ScratchDir out;
    const RunResult run = Unzip({"-qq", archive, "-d", out.Path()});
    EXPECT_TRUE(ExistsUtf8(out, "└«└«└»escape.txt")) << run.messages;
    EXPECT_NE(run.messages.find("skipping: ../ä.txt"), std::string::npos)
        << "a converted name is still checked";
    EXPECT_FALSE(ExistsUtf8(dir, "ä.txt"));
}

TEST(MemberNameCharsets, ALongNameIsCutBetweenCharacters) {
    ScratchDir dir;
    const std::string archive = dir.File("long.zip");
    std::string name;
    for (int i = 0; i < 100; ++i)
        name += "山"; // three bytes each
    WriteFile(archive, StoredArchive({{name, kUtf8Flag, kHostUnix, "long"},
                                      {std::string(200, '\x84'), 0, kHostNtfs, ""}}));
    const RunResult run = Unzip({"-v", archive});
    ASSERT_EQ(run.listing.entries.size(), 2u) << run.messages;
    EXPECT_EQ(run.listing.entries[0].name, name.substr(0, 258)) << "86 whole characters";
    EXPECT_EQ(run.listing.entries[1].name.size(), 260u) << "130 times ä, two bytes each";
    EXPECT_NE(run.messages.find("filename too long"), std::string::npos);
}

TEST(MemberNameCharsets, QuestionMarkMatchesOneCharacterOfAnyLength) {
    EXPECT_TRUE(WildcardMatch("docs/?lk?nnchen ?.txt", "docs/Ölkännchen 山.txt", false));
    EXPECT_FALSE(WildcardMatch("docs/??lk*", "docs/Ölkännchen 山.txt", false));
    EXPECT_TRUE(WildcardMatch("?", "\xF0\x9F\x98\x80", false));
}
