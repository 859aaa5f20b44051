// Archives whose records disagree are damaged before anything is written; members packed with methods the
// engine does not decode are named; the installer learns the name each member is written under. The archives
// are written by the tests' own writer; faults no tool writes are patched into its bytes. (Windows names and
// attribute-only folders, as zipfile writes them: zipfile_differential_check.py.)
#include "unzip/engine.h"
#include "unzip/unzipper.h"
#include "tests/common/ziparchive.h"
#include "tests/unzip/unzip_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace orvik::unzip;
using namespace unziptest;

namespace {

constexpr uint8_t kHostDos = 0, kHostNtfs = 11;

const std::vector<testzip::MEMBER> kThree = {
    {"first.txt", "the first member"}, {"second.txt", "the second member"}, {"third.txt", "the third"}};

std::string Written(const SCRATCHFOLDER& dir, const std::vector<testzip::MEMBER>& members) {
    const std::string path = dir.File("archive.zip");
    EXPECT_TRUE(testzip::WriteZip(path, members));
    return path;
}

// Replaces the `occurrence`-th (0: the local header's, 1: the central directory's) copy of `what`.
void Patch(const std::string& path, const std::string& what, const std::string& with, int occurrence) {
    std::string bytes = ReadWholeFile(path);
    size_t at = bytes.find(what);
    for (int i = 0; i < occurrence && at != std::string::npos; ++i)
        at = bytes.find(what, at + 1);
    ASSERT_NE(at, std::string::npos) << what;
    bytes.replace(at, what.size(), with);
    WriteWholeFile(path, bytes);
}

// The byte offset of the `index`-th local header.
size_t LocalHeader(const std::string& bytes, int index) {
    size_t at = bytes.find("PK\x03\x04");
    for (int i = 0; i < index; ++i)
        at = bytes.find("PK\x03\x04", at + 1);
    return at;
}

void Put16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

} // namespace

// A reader walking the local headers would find another member than the central directory describes.
TEST(LocalHeaders, ThatDisagreeWithTheDirectoryMakeTheirMemberDamaged) {
    struct Case {
        const char* field;
        size_t offset; // in the second member's local header
        uint16_t value;
    };
    const Case cases[] = {
        {"compression method", 8, 8},
        {"flags", 6, 0x0001},
        {"CRC", 14, 0x1234},
        {"sizes", 18, 3},
        {"sizes", 22, 3},
    };
    for (const Case& c : cases) {
        SCRATCHFOLDER dir;
        const std::string path = Written(dir, kThree);
        std::string bytes = ReadWholeFile(path);
        Put16(bytes, LocalHeader(bytes, 1) + c.offset, c.value);
        WriteWholeFile(path, bytes);
        SCRATCHFOLDER out;
        const RunResult run = Unzip({"-qq", path, "-d", out.Text()});
        EXPECT_EQ(run.code, kMemberError) << c.field << ": " << run.messages;
        EXPECT_NE(
            run.messages.find("second.txt disagrees with the central directory (" + std::string(c.field)),
            std::string::npos)
            << run.messages;
        EXPECT_EQ(FilesBelow(out.Text()), (std::vector<std::string>{"first.txt", "third.txt"})) << c.field;
    }

    SCRATCHFOLDER dir;
    const std::string path = Written(dir, kThree);
    Patch(path, "second.txt", "SECOND.txt", 0);
    SCRATCHFOLDER out;
    const RunResult run = Unzip({"-qq", path, "-d", out.Text()});
    EXPECT_EQ(run.code, kMemberError);
    EXPECT_NE(run.messages.find("(name)"), std::string::npos) << run.messages;
    EXPECT_EQ(FilesBelow(out.Text()), (std::vector<std::string>{"first.txt", "third.txt"}));
}

TEST(MemberNames, WithAControlByteAreDamagedAndListedWithAQuestionMark) {
    for (const char* control : {"\x01", "\t", "\x1f", "\x7f"}) {
        SCRATCHFOLDER dir;
        const std::string path =
            Written(dir, {{"good.txt", "good"}, {std::string("bad") + control + "name.txt", "bad"}});
        const RunResult listed = Unzip({"-v", path});
        ASSERT_EQ(listed.listing.entries.size(), 2u);
        EXPECT_EQ(listed.listing.entries[1].name, "bad?name.txt");
        SCRATCHFOLDER out;
        const RunResult run = Unzip({"-qq", path, "-d", out.Text()});
        EXPECT_EQ(run.code, kMemberError) << run.messages;
        EXPECT_NE(run.messages.find("damaged: control character in the name"), std::string::npos)
            << run.messages;
        EXPECT_EQ(FilesBelow(out.Text()), (std::vector<std::string>{"good.txt"}))
            << "written under no other name";
    }
    // A NUL, which cuts the name for most readers: in both headers, as a writer that kept it would store it.
    SCRATCHFOLDER dir;
    const std::string path = Written(dir, {{"good.txt", "good"}, {"evil.txt.exe", "bad"}});
    Patch(path, "evil.txt.exe", std::string("evil.txt\0exe", 12), 0);
    Patch(path, "evil.txt.exe", std::string("evil.txt\0exe", 12), 0);
    SCRATCHFOLDER out;
    const RunResult run = Unzip({"-qq", path, "-d", out.Text()});
    EXPECT_EQ(run.code, kMemberError) << run.messages;
    EXPECT_EQ(FilesBelow(out.Text()), (std::vector<std::string>{"good.txt"}));
    UNZIPPER zip(path.c_str(), "", "");
    STRING name;
    zip.GetFirstFile(name);
    zip.GetNextFile(name);
    EXPECT_STREQ(name.Text(), "evil.txt?exe");
    EXPECT_EQ(zip.ExtractFile(name.Text(), out.Text().c_str()), 0);
    EXPECT_EQ(zip.LastFailure(), UNZIPPER::FAILURE::Archive);
}

// The end record and the directory must agree: members beyond the count would go missing without a word.
TEST(EndRecord, ThatMiscountsTheDirectoryMakesTheArchiveDamagedBeforeAnythingIsWritten) {
    struct Case {
        uint16_t onDisk, total;
        const char* inconsistency;
    };
    const Case cases[] = {
        {2, 2, "the end record counts 2 entries, the central directory holds more"},
        {4, 4, "the end record counts 4 entries, the central directory holds 3"},
        {2, 3, "the end record counts 2 entries on this disk and 3 in all"},
    };
    for (const Case& c : cases) {
        SCRATCHFOLDER dir;
        const std::string path = Written(dir, kThree);
        std::string bytes = ReadWholeFile(path);
        const size_t end = bytes.rfind("PK\x05\x06");
        Put16(bytes, end + 8, c.onDisk);
        Put16(bytes, end + 10, c.total);
        WriteWholeFile(path, bytes);

        CollectedMessages messages;
        ZipArchive archive(messages);
        EXPECT_EQ(archive.Open(path, 2), kStructureError) << messages.Text();
        EXPECT_EQ(archive.Inconsistency(), c.inconsistency);
        SCRATCHFOLDER out;
        const ExtractReport report = archive.Extract({}, false, out.Text(), ExtractOptions{});
        EXPECT_EQ(report.code, kStructureError);
        EXPECT_EQ(report.completed, 0u);
        EXPECT_TRUE(FilesBelow(out.Text()).empty()) << c.inconsistency;
        // One member at a time, as the installer extracts: each is refused.
        EXPECT_EQ(archive.Extract({"first.txt"}, true, out.Text(), ExtractOptions{}).completed, 0u);
        EXPECT_TRUE(FilesBelow(out.Text()).empty());
    }
}

TEST(Methods, ThatTheEngineDoesNotDecodeAreNamedWithTheirMember) {
    struct Case {
        uint16_t method, flags, version;
        const char* named;
    };
    const Case cases[] = {
        {12, 0, 46, "bzip2 (method 12)"},          {14, 0x0002, 63, "LZMA (method 14)"},
        {93, 0, 63, "Zstandard (method 93)"},      {95, 0, 63, "xz (method 95)"},
        {98, 0, 63, "PPMd (method 98)"},           {99, 0x0001, 51, "AES encryption (method 99)"},
        {8, 0x0001, 20, "traditional encryption"}, {0, 0x0001, 20, "traditional encryption"},
        {7, 0, 20, "tokenizing (method 7)"},       {200, 0, 20, "method 200"},
    };
    for (const Case& c : cases) {
        SCRATCHFOLDER dir;
        testzip::MEMBER packed{"data/packed.bin", "opaque bytes", c.flags, kHostNtfs, c.method};
        packed.VersionNeeded = c.version;
        const std::string path = Written(dir, {{"plain.txt", "plain"}, packed});
        CollectedMessages messages;
        ZipArchive archive(messages);
        ASSERT_EQ(archive.Open(path, 2), kOk);
        EXPECT_EQ(MethodNotDecoded(archive.Entries()[1]), c.named);
        EXPECT_EQ(MethodNotDecoded(archive.Entries()[0]), "");
        SCRATCHFOLDER out;
        const ExtractReport report = archive.Extract({}, false, out.Text(), ExtractOptions{});
        EXPECT_EQ(report.code, kWarning) << messages.Text();
        EXPECT_EQ(report.notDecodedMember, "data/packed.bin");
        EXPECT_EQ(report.notDecodedMethod, c.named);
        EXPECT_EQ(FilesBelow(out.Text()), (std::vector<std::string>{"plain.txt"}));

        UNZIPPER zip(path.c_str(), "", "");
        EXPECT_EQ(zip.ExtractFile("data/packed.bin", out.Text().c_str()), 0);
        EXPECT_EQ(zip.LastFailure(), UNZIPPER::FAILURE::Method);
        EXPECT_STREQ(zip.LastMethod().Text(), c.named);
    }
}

// What the installer journals and records is the name the file has on disk.
TEST(WrittenNames, AreTheNamesOnDiskAndTheWriteHookIsToldThem) {
    SCRATCHFOLDER dir;
    const std::string path = Written(dir, {{"notes:v2.txt", "colon"},
                                           {"README.TXT;1", "version", 0, kHostDos},
                                           {"sub//./plain.txt", "plain"},
                                           {"folder/", ""},
                                           {"../out.txt", "unsafe"}});
    SCRATCHFOLDER out;
    UNZIPPER zip(path.c_str(), "", "");
    std::vector<std::string> told;
    zip.SetBeforeWrite([&](const STRING& member) {
        told.push_back(member.Text());
        return 0;
    });
    EXPECT_STREQ(zip.WrittenName("notes:v2.txt", out.Text().c_str()).Text(), "notes_v2.txt");
    EXPECT_STREQ(zip.WrittenName("readme.txt;1", out.Text().c_str()).Text(), "readme.txt");
    EXPECT_STREQ(zip.WrittenName("sub//./plain.txt", out.Text().c_str()).Text(), "sub/plain.txt");
    EXPECT_STREQ(zip.WrittenName("folder/", out.Text().c_str()).Text(), "folder/");
    EXPECT_STREQ(zip.WrittenName("../out.txt", out.Text().c_str()).Text(), "");
    EXPECT_STREQ(zip.WrittenName("missing.txt", out.Text().c_str()).Text(), "");
    for (const char* member : {"notes:v2.txt", "readme.txt;1", "sub//./plain.txt"})
        EXPECT_EQ(zip.ExtractFile(member, out.Text().c_str()), 1) << member;
    EXPECT_EQ(told, (std::vector<std::string>{"notes_v2.txt", "readme.txt", "sub/plain.txt"}));
    EXPECT_EQ(FilesBelow(out.Text()),
              (std::vector<std::string>{"notes_v2.txt", "readme.txt", "sub/plain.txt"}));
}
