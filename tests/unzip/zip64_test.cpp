// ZIP64 records, Deflate64 and UTF-8 names, on the archives of scripts/make-zip64-archives.py: made by
// Python's zipfile, by 7-Zip and byte by byte (the hostile ones among them).
#include "unzip/engine.h"
#include "unzip/unziprun.h"
#include "tests/unzip/unzip_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace orvik::unzip;
using namespace unziptest;

namespace {

std::string Zip64(const std::string& name) {
    return ZipData("zip64/" + name);
}

class StringSink : public OutputSink {
public:
    bool Write(const uint8_t* data, size_t length) override {
        bytes.append(reinterpret_cast<const char*>(data), length);
        return true;
    }
    std::string bytes;
};

} // namespace

// Every member of every archive, decoded by the engine from its own directory (the archive read from its file
// and from memory), against the digest of the data the tools were given.
TEST(Zip64Archives, EveryMemberIsByteExact) {
    std::map<std::string, std::map<std::string, Checksum>> published;
    for (const Checksum& c : ReadChecksums(Zip64("SHA256SUMS")))
        published[c.archive][c.member] = c;
    ASSERT_EQ(published.size(), 5u);
    std::set<unsigned> methods;
    for (const auto& [archiveName, members] : published) {
        const std::string bytes = ReadWholeFile(Zip64(archiveName));
        for (bool inMemory : {false, true}) {
            CollectedMessages messages;
            ZipArchive archive(messages);
            const int opened = inMemory ? archive.OpenMemory(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                             bytes.size(), archiveName, 2)
                                        : archive.Open(Zip64(archiveName), 2);
            ASSERT_EQ(opened, kOk) << archiveName << ": " << messages.Text();
            ASSERT_EQ(archive.Entries().size(), members.size()) << archiveName;
            for (size_t i = 0; i < archive.Entries().size(); ++i) {
                const ZipEntry& entry = archive.Entries()[i];
                auto expected = members.find(entry.name);
                ASSERT_NE(expected, members.end()) << archiveName << ": " << entry.name;
                StringSink sink;
                EXPECT_EQ(archive.Test(i, sink), kOk) << archiveName << ": " << entry.name;
                EXPECT_EQ(sink.bytes.size(), expected->second.size) << archiveName << ": " << entry.name;
                EXPECT_EQ(Sha256Hex(sink.bytes), expected->second.digest)
                    << archiveName << ": " << entry.name;
                // Bit 11 exactly where the name is not ASCII (both tools set it then, and only then).
                const bool ascii = entry.name.find_first_of("\x80\xC3") == std::string::npos;
                EXPECT_EQ(entry.HasUtf8Name(), !ascii) << archiveName << ": " << entry.name;
                methods.insert(entry.method);
            }
        }
    }
    EXPECT_EQ(methods, (std::set<unsigned>{0, 8, 9}));
}

TEST(Zip64Archives, ExtractToDiskWithUnzipRun) {
    SCRATCHFOLDER dir;
    RunResult run = Unzip({"-qq", Zip64("7z-deflate64.zip"), "-d", dir.Text()});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(ReadWholeFile(dir.File("far-repeats.bin")).size(), 223000u);
    // The self-extractor stub moves the ZIP64 records too; the shift is found as for classic archives.
    SCRATCHFOLDER prefixed;
    run = Unzip({"-qq", Zip64("zip64-prefix.zip"), "-d", prefixed.Text()});
    EXPECT_EQ(run.code, kWarning) << run.messages;
    EXPECT_NE(run.messages.find("extra 1024 bytes at beginning"), std::string::npos) << run.messages;
    EXPECT_EQ(FilesBelow(prefixed.Text()), (std::vector<std::string>{"bin/tool.dat", "readme.txt"}));
    EXPECT_EQ(ReadWholeFile(prefixed.File("readme.txt")).size(), 9000u);
    // Data descriptors with 8-byte sizes, then a classic member after them.
    SCRATCHFOLDER streamed;
    run = Unzip({"-qq", Zip64("zip64-records.zip"), "streamed.txt", "long-matches.bin", "classic.txt", "-d",
                 streamed.Text()});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(ReadWholeFile(streamed.File("classic.txt")), "Hello from a ZIP64 archive.\n");
}

TEST(Zip64Archives, ListingCarriesSizesBeyondFourGiB) {
    CollectedMessages messages;
    ZipArchive archive(messages);
    ASSERT_EQ(archive.Open(Zip64("zip64-huge-listing.zip"), 0), kOk) << messages.Text();
    Listing listing;
    EXPECT_EQ(archive.List({}, listing), kOk);
    ASSERT_EQ(listing.entries.size(), 2u);
    const uint64_t huge = (uint64_t(5) << 30) + 7;
    EXPECT_EQ(listing.entries[0].size, huge);
    EXPECT_EQ(listing.total, huge + 28);
    // The declared 5 GiB are not in the file: extraction ends with a clear error.
    SCRATCHFOLDER dir;
    RunResult run = Unzip({"-qq", Zip64("zip64-huge-listing.zip"), "huge.bin", "-d", dir.Text()});
    EXPECT_EQ(run.code, kUnexpectedEnd) << run.messages;
}

// Hostile ZIP64 records end with a clear error; nothing is written outside the destination.
TEST(HostileZip64, EndWithAClearErrorAndNothingOutsideTheDestination) {
    struct Case {
        const char* archive;
        int code;
        const char* message;
        std::vector<std::string> written;
    } cases[] = {
        {"hostile-locator-into-member.zip",
         kStructureError,
         "ZIP64 end-of-central-directory record not found\n  (the ZIP64 locator points to offset 66)",
         {}},
        {"hostile-forged-record.zip", kStructureError, "the ZIP64 end record counts 70000 entries", {}},
        {"hostile-counts-disagree.zip",
         kStructureError,
         "the ZIP64 end record counts 3 entries (3 on this disk), the end record 2",
         {}},
        {"hostile-disk-counts.zip", kStructureError, "counts 2 entries (1 on this disk)", {}},
        {"hostile-directory-past-end.zip",
         kStructureError,
         "bytes at offset 1099511627776 runs past its end",
         {}},
        {"hostile-huge-count.zip",
         kStructureError,
         "1152921504606846976 entries cannot fit in a central directory of 171 bytes",
         {}},
        {"hostile-member-past-end.zip",
         kStructureError,
         "file #1:  bad zipfile offset (local header sig):  1099511627776\n",
         {"dest/after.txt"}},
        {"hostile-size-past-end.zip",
         kUnexpectedEnd,
         "error:  unexpected end of zipfile while reading huge-stored.txt\n",
         {"dest/after.txt", "dest/huge-stored.txt"}},
    };
    for (const Case& c : cases) {
        SCRATCHFOLDER outer;
        RunResult run = Unzip({"-qq", Zip64(c.archive), "-d", outer.File("dest")});
        EXPECT_EQ(run.code, c.code) << c.archive << ": " << run.messages;
        EXPECT_NE(run.messages.find(c.message), std::string::npos) << c.archive << ": " << run.messages;
        EXPECT_EQ(FilesBelow(outer.Text()), c.written) << c.archive;
    }
}
