// The engine through UnzipRun and ZipArchive, on the hand-made edge archives of
// scripts/make-edge-archives.py.
#include "unzip/engine.h"
#include "unzip/unziprun.h"
#include "tests/unzip/unzip_test_support.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sys/stat.h>

using namespace orvik::unzip;
using namespace unziptest;

namespace {

const std::string kHello = "Hello from the product archive.\n";

std::string Edge(const std::string& name) {
    return ZipData("edge/" + name);
}

RunResult ExtractAll(const std::string& archive, const SCRATCHFOLDER& dir) {
    return Unzip({"-qq", Edge(archive), "-d", dir.Text()});
}

} // namespace

TEST(Listing, NamesSizesAndTotalOfEveryMember) {
    RunResult run = Unzip({"-v", Edge("basic.zip")});
    EXPECT_EQ(run.code, kOk) << run.messages;
    ASSERT_EQ(run.listing.entries.size(), 3u);
    EXPECT_EQ(run.listing.entries[0].name, "readme.txt");
    EXPECT_EQ(run.listing.entries[0].size, 3000u);
    EXPECT_EQ(run.listing.entries[1].name, "docs/guide.txt");
    EXPECT_EQ(run.listing.entries[2].name, "bin/tool.dat");
    EXPECT_EQ(run.listing.total, 3000u + 9000u + 5120u);
    EXPECT_EQ(run.messages, "");
}

TEST(Listing, HoldsEveryMemberBeyondTwoHundredFifty) {
    RunResult run = Unzip({"-v", Edge("many-members.zip")});
    EXPECT_EQ(run.code, kOk);
    ASSERT_EQ(run.listing.entries.size(), 300u);
    EXPECT_EQ(run.listing.entries[299].name, "m/file0299.txt");
}

TEST(Listing, PatternsSelectMembersAndUnmatchedOnesWarn) {
    RunResult run = Unzip({"-v", Edge("basic.zip"), "docs/*", "*.dat"});
    EXPECT_EQ(run.code, kOk);
    ASSERT_EQ(run.listing.entries.size(), 2u);
    EXPECT_EQ(run.listing.total, 9000u + 5120u);

    RunResult missing = Unzip({"-v", Edge("basic.zip"), "nothere.txt"});
    EXPECT_EQ(missing.code, kWarning);
    EXPECT_NE(missing.messages.find("caution: filename not matched:  nothere.txt\n"), std::string::npos);
}

TEST(Listing, MsDosNamesAreLowerCaseAndDirectoriesEndInSlash) {
    RunResult dos = Unzip({"-v", Edge("msdos.zip")});
    ASSERT_EQ(dos.listing.entries.size(), 3u);
    EXPECT_EQ(dos.listing.entries[0].name, "readme.txt");
    EXPECT_EQ(dos.listing.entries[1].name, "sub/notes.txt");
    EXPECT_EQ(dos.listing.entries[2].name, "MixedCase.txt");
    RunResult dirs = Unzip({"-v", Edge("directories.zip")});
    ASSERT_EQ(dirs.listing.entries.size(), 3u);
    EXPECT_EQ(dirs.listing.entries[0].name, "data/");
    EXPECT_EQ(dirs.listing.entries[0].size, 0u);
}

TEST(OpeningArchives, EndRecordSearchFindsItWhereverItLies) {
    for (const char* name : {"small.zip", "comment.zip", "end-across-block.zip"}) {
        RunResult run = Unzip({"-v", Edge(name)});
        EXPECT_EQ(run.code, kOk) << name << ": " << run.messages;
        EXPECT_EQ(run.listing.entries.size(), 1u) << name;
    }
    EXPECT_LE(std::filesystem::file_size(Edge("small.zip")), 2048u);
    EXPECT_EQ((std::filesystem::file_size(Edge("end-across-block.zip")) - 22) % 2048, 2046u);
}

TEST(OpeningArchives, StructuralResultCodes) {
    struct Case {
        const char* archive;
        int code;
        const char* message;
    } cases[] = {
        {"empty.zip", kWarning, "zipfile is empty\n"},
        {"multidisk-2.zip", kMultiDisk,
         "zipfile is part of multi-disk archive\n  (sorry, not yet supported).\n"},
        {"second-disk.zip", kWarning,
         "     Warning:  zipfile claims to be second disk of a two-part archive;"},
        {"truncated-file.zip", kNoArchive,
         "  End-of-central-directory signature not found.  Either this file is not\n"},
        {"bad-central-signature.zip", kStructureError,
         "start of central directory not found;\n  zipfile corrupt.\n"},
        {"missing-end-after-directory.zip", kWarning,
         "\nnote:  didn't find end-of-central-dir signature at end of central dir.\n"},
        {"null-offset.zip", kMemberError,
         "NULL central directory offset\n  (attempting to process anyway)\n"},
        {"prefix.zip", kWarning,
         "extra 1000 bytes at beginning or within zipfile\n  (attempting to process anyway)\n"},
        {"prefix-adjusted.zip", kOk, ""},
    };
    for (const Case& c : cases) {
        RunResult run = Unzip({"-v", Edge(c.archive)});
        EXPECT_EQ(run.code, c.code) << c.archive << ": " << run.messages;
        EXPECT_NE(run.messages.find(c.message), std::string::npos) << c.archive << ": " << run.messages;
    }
}

TEST(OpeningArchives, MissingArchiveDirectoryAndImpliedZipSuffix) {
    SCRATCHFOLDER dir;
    EXPECT_EQ(Unzip({"-v", dir.File("nothere.zip")}).code, kNoArchive);
    EXPECT_EQ(Unzip({"-v", dir.Text()}).code, kArchiveIsDirectory);
    std::string withoutSuffix = Edge("basic");
    RunResult run = Unzip({"-v", withoutSuffix});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(run.listing.entries.size(), 3u);
}

TEST(OpeningArchives, UnknownOptionIsAUsageError) {
    EXPECT_EQ(Unzip({"-Z", Edge("basic.zip")}).code, kUsage);
    EXPECT_EQ(Unzip({}).code, kUsage);
}

TEST(Extraction, WritesMembersBelowTheDirectoryCreatingIt) {
    SCRATCHFOLDER dir;
    const std::string target = dir.File("Prog/App");
    std::filesystem::create_directory(dir.File("Prog"));
    RunResult run = Unzip({"-qq", Edge("basic.zip"), "-d", target});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(FilesBelow(target), (std::vector<std::string>{"bin/tool.dat", "docs/guide.txt", "readme.txt"}));
    EXPECT_EQ(ReadWholeFile(target + "/bin/tool.dat").size(), 5120u);
    EXPECT_EQ(run.messages, "");
}

TEST(Extraction, BackslashesInArgumentsAreSeparators) {
    SCRATCHFOLDER dir;
    RunResult run = Unzip({"-qq", Edge("basic.zip"), "docs\\guide.txt", "-d" + dir.Text() + "\\out"});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(FilesBelow(dir.File("out")), (std::vector<std::string>{"docs/guide.txt"}));
}

TEST(Extraction, DirectoryMembersCreateDirectories) {
    SCRATCHFOLDER dir;
    RunResult run = ExtractAll("directories.zip", dir);
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("data/sub")));
    EXPECT_EQ(ReadWholeFile(dir.File("data/sub/file.txt")), kHello);
    RunResult onlyDirectory = Unzip({"-qq", Edge("directories.zip"), "data/", "-d", dir.File("again")});
    EXPECT_EQ(onlyDirectory.code, kOk);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("again/data")));
}

TEST(Extraction, MsDosMembersMatchWithoutRegardToCase) {
    SCRATCHFOLDER dir;
    RunResult run = Unzip({"-qq", Edge("msdos.zip"), "README.TXT", "Sub/Notes.txt", "-d", dir.Text()});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(FilesBelow(dir.Text()), (std::vector<std::string>{"readme.txt", "sub/notes.txt"}));
    // A Unix-made member keeps its case and matches only exactly.
    EXPECT_EQ(Unzip({"-qq", Edge("msdos.zip"), "mixedcase.txt", "-d", dir.Text()}).code, kWarning);
}

TEST(Extraction, SkippedMembersWarnAndTheRestIsWritten) {
    struct Case {
        const char* archive;
        const char* message;
        std::vector<std::string> written;
    } cases[] = {
        {"encrypted.zip", "   skipping: secret.txt              encrypted (not supported)\n", {"plain.txt"}},
        {"unknown-method.zip", "   skipping: bzip.bin                compression method 12\n", {"plain.txt"}},
        {"version.zip",
         "   skipping: new.txt                 need PK compat. v6.3 (can do v4.5)\n",
         {"plain.txt"}},
        {"vms.zip", "", {}},
    };
    for (const Case& c : cases) {
        SCRATCHFOLDER dir;
        RunResult run = ExtractAll(c.archive, dir);
        EXPECT_EQ(run.code, kWarning) << c.archive << ": " << run.messages;
        EXPECT_NE(run.messages.find(c.message), std::string::npos) << c.archive << ": " << run.messages;
        EXPECT_EQ(FilesBelow(dir.Text()), c.written) << c.archive;
    }
}

TEST(Extraction, VmsMembersAreExtractedOnlyWhenConfirmed) {
    SCRATCHFOLDER dir;
    std::string asked;
    RunResult yes = Unzip({"-qq", Edge("vms.zip"), "-d", dir.Text()}, [&](const std::string& question) {
        asked = question;
        return true;
    });
    EXPECT_EQ(yes.code, kOk);
    EXPECT_EQ(asked, "\nvmsfile.txt:  stored in VMS format.  Extract anyway? (y/n) ");
    EXPECT_EQ(ReadWholeFile(dir.File("vmsfile.txt")), kHello);
}

TEST(Extraction, VolumeLabelsAreNeverWritten) {
    SCRATCHFOLDER dir;
    RunResult run = ExtractAll("volume-label.zip", dir);
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(FilesBelow(dir.Text()), (std::vector<std::string>{"file.txt"}));
}

TEST(Extraction, DataDescriptorMembersUseTheCentralDirectory) {
    SCRATCHFOLDER dir;
    RunResult run = ExtractAll("descriptor.zip", dir);
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(ReadWholeFile(dir.File("streamed.txt")).size(), 3000u);
    EXPECT_EQ(ReadWholeFile(dir.File("after.txt")), kHello);
}

TEST(Extraction, DamagedMembersFailAloneWithCodeTwo) {
    struct Case {
        const char* archive;
        const char* message;
    } cases[] = {
        {"bad-crc.zip", "bad.txt                 bad CRC "},
        {"corrupt-stream.zip", "  error:  invalid compressed (deflated) data for broken.txt\n"},
        {"truncated-stream.zip", "  error:  invalid compressed (deflated) data for cut.txt\n"},
        {"understated-size.zip", "  error:  invalid compressed (deflated) data for bomb.txt\n"},
    };
    for (const Case& c : cases) {
        SCRATCHFOLDER dir;
        RunResult run = ExtractAll(c.archive, dir);
        EXPECT_EQ(run.code, kMemberError) << c.archive << ": " << run.messages;
        EXPECT_NE(run.messages.find(c.message), std::string::npos) << c.archive << ": " << run.messages;
    }
    SCRATCHFOLDER dir;
    ExtractAll("bad-crc.zip", dir);
    EXPECT_EQ(ReadWholeFile(dir.File("good.txt")), kHello);
    EXPECT_EQ(ReadWholeFile(dir.File("bad.txt")).size(), 3000u) << "the file stays on disk";
    SCRATCHFOLDER bomb;
    ExtractAll("understated-size.zip", bomb);
    EXPECT_LE(ReadWholeFile(bomb.File("bomb.txt")).size(), 100u);
}

TEST(Extraction, PrefixedArchivesAreReadWithTheShift) {
    SCRATCHFOLDER dir;
    RunResult run = ExtractAll("prefix.zip", dir);
    EXPECT_EQ(run.code, kWarning) << run.messages;
    EXPECT_EQ(ReadWholeFile(dir.File("data/one.txt")), kHello);
    EXPECT_EQ(ReadWholeFile(dir.File("readme.txt")).size(), 3000u);
    SCRATCHFOLDER again;
    RunResult adjusted = ExtractAll("null-offset.zip", again);
    EXPECT_EQ(adjusted.code, kMemberError);
    EXPECT_EQ(ReadWholeFile(again.File("readme.txt")).size(), 3000u);
}

// The member's name has a component of 304 characters, more than a file system takes: it is refused as a
// write, never written under a shortened name.
TEST(Extraction, LongNamesAreNeverCut) {
    SCRATCHFOLDER dir;
    RunResult run = ExtractAll("long-name.zip", dir);
    EXPECT_EQ(run.code, kWriteError) << run.messages;
    EXPECT_EQ(run.messages.find("truncating"), std::string::npos) << run.messages;
    EXPECT_TRUE(FilesBelow(dir.Text()).empty());
}

TEST(Extraction, ExistingReadOnlyFilesAreReplacedAndLoseTheProtection) {
    SCRATCHFOLDER dir;
    WriteWholeFile(dir.File("readme.txt"), "old contents");
    std::filesystem::permissions(dir.File("readme.txt"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::group_read |
                                                             std::filesystem::perms::others_read);
    RunResult run = Unzip({"-qq", Edge("basic.zip"), "readme.txt", "-d", dir.Text()});
    EXPECT_EQ(run.code, kOk) << run.messages;
    EXPECT_EQ(ReadWholeFile(dir.File("readme.txt")).size(), 3000u);
    auto perms = std::filesystem::status(dir.File("readme.txt")).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
}

TEST(Extraction, FilesGetTheArchivedTimeAsLocalTime) {
    SCRATCHFOLDER dir;
    ASSERT_EQ(ExtractAll("comment.zip", dir).code, kOk);
    struct stat st;
    ASSERT_EQ(stat(dir.File("a.txt").c_str(), &st), 0);
    time_t when = st.st_mtime;
    std::tm local = *std::localtime(&when);
    EXPECT_EQ(local.tm_year + 1900, 2009);
    EXPECT_EQ(local.tm_mon + 1, 6);
    EXPECT_EQ(local.tm_mday, 15);
    EXPECT_EQ(local.tm_hour, 14);
    EXPECT_EQ(local.tm_min, 30);
    EXPECT_EQ(local.tm_sec, 10);
}

TEST(Extraction, RepeatedRunsInOneProcessStartAfresh) {
    for (int i = 0; i < 3; ++i) {
        SCRATCHFOLDER dir;
        EXPECT_EQ(Unzip({"-v", Edge("prefix.zip")}).code, kWarning);
        EXPECT_EQ(Unzip({"-qq", Edge("basic.zip"), "-d", dir.Text()}).code, kOk);
        EXPECT_EQ(FilesBelow(dir.Text()).size(), 3u);
    }
}

TEST(UnsafeNames, NothingIsWrittenOutsideTheDirectory) {
    SCRATCHFOLDER outer;
    const std::string target = outer.File("deep/target");
    RunResult run = Unzip({"-qq", Edge("unsafe.zip"), "-d", target});
    EXPECT_EQ(run.code, kWarning) << run.messages;
    EXPECT_NE(run.messages.find("   skipping: ../escape.txt           unsafe path\n"), std::string::npos);
    EXPECT_NE(run.messages.find("   skipping: CON                     unsafe path\n"), std::string::npos);
    EXPECT_NE(run.messages.find("   skipping: //server/share/unc.txt  unsafe path\n"), std::string::npos);
    // Only the safe members, and only inside the target.
    EXPECT_EQ(FilesBelow(outer.Text()),
              (std::vector<std::string>{"deep/target/console.txt", "deep/target/name_stream.txt",
                                        "deep/target/ok.txt", "deep/target/win/sub/file.txt"}));
}

TEST(ArchiveSession, OneMemberAtATimeReportsEachMembersOwnOutcome) {
    CollectedMessages messages;
    ZipArchive archive(messages);
    ASSERT_EQ(archive.Open(Edge("prefix.zip"), 2), kWarning);
    SCRATCHFOLDER dir;
    ExtractOptions options;
    options.quiet = 2;
    for (const char* name : {"readme.txt", "data/one.txt"}) {
        ExtractReport report = archive.Extract({name}, true, dir.Text(), options);
        EXPECT_EQ(report.code, kWarning) << "the archive-level warning stays in the code";
        EXPECT_TRUE(report.AllMatchedCompleted()) << name << ": the member itself was written correctly";
    }
    EXPECT_FALSE(archive.Extract({"nothere.txt"}, true, dir.Text(), options).AllMatchedCompleted());

    CollectedMessages moreMessages;
    ZipArchive damaged(moreMessages);
    ASSERT_EQ(damaged.Open(Edge("bad-crc.zip"), 2), kOk);
    EXPECT_TRUE(damaged.Extract({"good.txt"}, true, dir.Text(), options).AllMatchedCompleted());
    EXPECT_FALSE(damaged.Extract({"bad.txt"}, true, dir.Text(), options).AllMatchedCompleted());

    CollectedMessages unsafeMessages;
    ZipArchive unsafe(unsafeMessages);
    ASSERT_EQ(unsafe.Open(Edge("unsafe.zip"), 2), kOk);
    EXPECT_FALSE(unsafe.Extract({"../escape.txt"}, true, dir.Text(), options).AllMatchedCompleted());
}

TEST(ArchiveSession, ExactNamesAreNotPatterns) {
    CollectedMessages messages;
    ZipArchive archive(messages);
    ASSERT_EQ(archive.Open(Edge("brackets.zip"), 2), kOk);
    SCRATCHFOLDER dir;
    ExtractOptions options;
    options.quiet = 2;
    EXPECT_TRUE(archive.Extract({"a[1].txt"}, true, dir.Text(), options).AllMatchedCompleted());
    EXPECT_EQ(FilesBelow(dir.Text()), (std::vector<std::string>{"a[1].txt"}));
    // As a pattern, "[1]" is a set that matches "1".
    SCRATCHFOLDER patterned;
    EXPECT_EQ(Unzip({"-qq", Edge("brackets.zip"), "a[1].txt", "-d", patterned.Text()}).code, kOk);
    EXPECT_EQ(FilesBelow(patterned.Text()), (std::vector<std::string>{"a1.txt"}));
}

TEST(ArchiveSession, EveryMemberOfALargeArchiveExtractsByName) {
    CollectedMessages messages;
    ZipArchive archive(messages);
    ASSERT_EQ(archive.Open(Edge("many-members.zip"), 2), kOk);
    Listing listing;
    ASSERT_EQ(archive.List({}, listing), kOk);
    SCRATCHFOLDER dir;
    ExtractOptions options;
    options.quiet = 2;
    for (const ListingEntry& entry : listing.entries)
        ASSERT_TRUE(archive.Extract({entry.name}, true, dir.Text(), options).AllMatchedCompleted())
            << entry.name;
    EXPECT_EQ(FilesBelow(dir.Text()).size(), 300u);
    EXPECT_EQ(ReadWholeFile(dir.File("m/file0123.txt")), "member 123\n");
}
