// Member names beyond ASCII: names flagged as UTF-8 (general-purpose bit 11), names in code page 437 as the
// format prescribes without the flag, and the path safety of what they become. The archives are made here,
// byte by byte, with the flags and hosts each case needs.
#include "unzip/engine.h"
#include "unzip/names.h"
#include "tests/common/ziparchive.h"
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
// "../escape.txt" with its dots and slash in overlong two-byte forms; in code page 437 "└«└«└»escape.txt".
constexpr const char* kOverlongEscape = "\xC0\xAE\xC0\xAE\xC0\xAF"
                                        "escape.txt";

// An archive of stored members, written where the test wants it.
std::string StoredArchive(const SCRATCHFOLDER& dir, const std::string& name,
                          const std::vector<testzip::MEMBER>& members) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(testzip::WriteZip(path, members)) << path;
    return path;
}

bool ExistsUtf8(const SCRATCHFOLDER& dir, const std::string& relative) {
    return std::filesystem::exists(std::filesystem::u8path(dir.Text() + "/" + relative));
}

std::vector<std::string> ListedNames(const RunResult& run) {
    std::vector<std::string> names;
    for (const ListingEntry& entry : run.listing.entries)
        names.push_back(entry.name);
    return names;
}

} // namespace

TEST(MemberNameCharsets, Utf8FlagAndCodePage437BothGiveUnicodeNames) {
    SCRATCHFOLDER dir;
    const std::string archive =
        StoredArchive(dir, "names.zip",
                      {
                          {"docs/Ölkännchen 山.txt", "flagged", kUtf8Flag, kHostUnix},
                          {"docs/\x99lk\x84nnchen \xE0\xE1.txt", "cp437", 0, kHostNtfs},
                          {"DOCS/\x8E\x9A\x99.TXT", "dos", 0, kHostDos},
                      });
    const RunResult listed = Unzip({"-v", archive});
    EXPECT_EQ(listed.code, kOk) << listed.messages;
    EXPECT_EQ(ListedNames(listed),
              (std::vector<std::string>{"docs/Ölkännchen 山.txt", "docs/Ölkännchen αß.txt", "docs/ÄÜÖ.txt"}))
        << "upper-case MS-DOS names are lower-cased in ASCII only";

    SCRATCHFOLDER out;
    const RunResult run = Unzip({"-qq", archive, "-d", out.Text()});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_TRUE(ExistsUtf8(out, "docs/Ölkännchen 山.txt"));
    EXPECT_TRUE(ExistsUtf8(out, "docs/Ölkännchen αß.txt"));
    EXPECT_TRUE(ExistsUtf8(out, "docs/ÄÜÖ.txt"));
    std::ifstream file(std::filesystem::u8path(out.Text() + "/docs/Ölkännchen 山.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "flagged");
}

TEST(MemberNameCharsets, AFlaggedNameThatIsNotUtf8IsRefusedAsUnsafe) {
    SCRATCHFOLDER dir;
    // Overlong forms of "." and "/" must not become a way out of the folder, nor any name at all.
    const std::string archive =
        StoredArchive(dir, "bad.zip",
                      {
                          {kOverlongEscape, "x", kUtf8Flag, kHostUnix},
                          {"docs/caf\xE9.txt", "latin-1 under the flag", kUtf8Flag, kHostNtfs},
                          {"docs/ok.txt", "ok", kUtf8Flag, kHostNtfs},
                      });
    SCRATCHFOLDER out;
    const RunResult run = Unzip({"-qq", archive, "-d", out.Text()});
    EXPECT_NE(run.messages.find(std::string("skipping: ") + kOverlongEscape), std::string::npos)
        << run.messages;
    EXPECT_NE(run.messages.find("unsafe path"), std::string::npos) << run.messages;
    EXPECT_EQ(FilesBelow(out.Text()), std::vector<std::string>{"docs/ok.txt"});
    EXPECT_FALSE(Exists(dir.Text() + "/escape.txt"));
}

TEST(MemberNameCharsets, TheSameBytesWithoutTheFlagAreCodePage437AndStayInside) {
    SCRATCHFOLDER dir;
    const std::string archive = StoredArchive(
        dir, "cp437.zip", {{kOverlongEscape, "x", 0, kHostNtfs}, {"..\\\x84.txt", "climbs", 0, kHostNtfs}});
    SCRATCHFOLDER out;
    const RunResult run = Unzip({"-qq", archive, "-d", out.Text()});
    EXPECT_TRUE(ExistsUtf8(out, "└«└«└»escape.txt")) << run.messages;
    EXPECT_NE(run.messages.find("skipping: ../ä.txt"), std::string::npos)
        << "a converted name is still checked";
    EXPECT_FALSE(ExistsUtf8(dir, "ä.txt"));
}

TEST(MemberNameCharsets, ALongNameIsListedWhole) {
    SCRATCHFOLDER dir;
    std::string name;
    for (int i = 0; i < 100; ++i)
        name += "山"; // three bytes each
    const std::string archive =
        StoredArchive(dir, "long.zip",
                      {{name, "long", kUtf8Flag, kHostUnix}, {std::string(200, '\x84'), "", 0, kHostNtfs}});
    const RunResult run = Unzip({"-v", archive});
    ASSERT_EQ(run.listing.entries.size(), 2u) << run.messages;
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(run.listing.entries[0].name, name);
    EXPECT_EQ(run.listing.entries[1].name.size(), 400u) << "200 times ä, two bytes each";
}

TEST(MemberNameCharsets, QuestionMarkMatchesOneCharacterOfAnyLength) {
    EXPECT_TRUE(WildcardMatch("docs/?lk?nnchen ?.txt", "docs/Ölkännchen 山.txt", false));
    EXPECT_FALSE(WildcardMatch("docs/??lk*", "docs/Ölkännchen 山.txt", false));
    EXPECT_TRUE(WildcardMatch("?", "\xF0\x9F\x98\x80", false));
}
