// UNZIPPER as the copy step drives it: list once, walk the names, extract member by member under the
// overwrite policies.
#include "unzip/unzipper.h"

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/textcodec.h"
#include "tests/common/ziparchive.h"
#include "tests/unzip/unzip_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace unziptest;

namespace {

std::string Edge(const std::string& name) {
    return ZipData("edge/" + name);
}

// Answers the overwrite question and remembers what it was asked.
struct Answerer {
    bool answer = false;
    std::vector<std::string> asked;
    UNZIPPER::ASKOVERWRITE Callback() {
        return [this](const STRING& subject) {
            asked.push_back(subject.Text());
            return answer;
        };
    }
};

unsigned long AssertionCount() {
    return LastAssertFailure().Count;
}

} // namespace

TEST(UnzipperListing, WalksEveryMemberThenAnEmptyName) {
    UNZIPPER zip(Edge("basic.zip").c_str(), "", "");
    EXPECT_EQ(zip.GetTotalSize(), 3000 + 9000 + 5120);
    STRING name;
    EXPECT_EQ(zip.GetFirstFile(name), 3000);
    EXPECT_STREQ(name.Text(), "readme.txt");
    EXPECT_EQ(zip.GetNextFile(name), 9000);
    EXPECT_STREQ(name.Text(), "docs/guide.txt");
    EXPECT_EQ(zip.GetNextFile(name), 5120);
    EXPECT_STREQ(name.Text(), "bin/tool.dat");
    EXPECT_EQ(zip.GetNextFile(name), 0);
    EXPECT_STREQ(name.Text(), "");
    // GetFirstFile starts over.
    EXPECT_EQ(zip.GetFirstFile(name), 3000);
    EXPECT_STREQ(name.Text(), "readme.txt");
}

TEST(UnzipperListing, HasNoFixedNumberOfSlots) {
    UNZIPPER zip(Edge("many-members.zip").c_str(), "", "");
    STRING name;
    int count = 0;
    for (zip.GetFirstFile(name); name.NotEmpty(); zip.GetNextFile(name))
        ++count;
    EXPECT_EQ(count, 300);
}

// A directory that cannot be read is the caller's to report as a damaged package: no assertion, whose box
// would wait for a person.
TEST(UnzipperListing, AFailedListingIsUnreadableWithoutAnAssertion) {
    unsigned long before = AssertionCount();
    UNZIPPER zip(Edge("truncated-file.zip").c_str(), "", "");
    EXPECT_EQ(AssertionCount(), before);
    EXPECT_FALSE(zip.IsReadable());
    EXPECT_FALSE(UNZIPPER(Edge("missing.zip").c_str(), "", "").IsReadable());
    EXPECT_TRUE(UNZIPPER(Edge("basic.zip").c_str(), "", "").IsReadable());
    STRING name;
    zip.GetFirstFile(name);
    EXPECT_STREQ(name.Text(), "");
    SCRATCHFOLDER dir;
    EXPECT_EQ(zip.ExtractFile("readme.txt", dir.Text().c_str()), 0);
}

TEST(UnzipperListing, MsDosNamesAreListedInLowerCase) {
    UNZIPPER zip(Edge("msdos.zip").c_str(), "", "");
    STRING name;
    zip.GetFirstFile(name);
    EXPECT_STREQ(name.Text(), "readme.txt");
    SCRATCHFOLDER dir;
    EXPECT_EQ(zip.ExtractFile(name.Text(), dir.Text().c_str()), 1);
    EXPECT_TRUE(Exists(dir.File("readme.txt")));
}

TEST(UnzipperExtract, CreatesTheDestinationChainAndTheMembersDirectories) {
    SCRATCHFOLDER dir;
    UNZIPPER zip(Edge("basic.zip").c_str(), "", "");
    int extracted = -1;
    const std::string destination = dir.File("Prog/App");
    EXPECT_EQ(zip.ExtractFile("docs/guide.txt", destination.c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 1);
    EXPECT_EQ(ReadWholeFile(dir.File("Prog/App/docs/guide.txt")).size(), 9000u);
}

TEST(UnzipperExtract, ThePerMemberLoopOfTheCopyStepExtractsEverything) {
    SCRATCHFOLDER dir;
    UNZIPPER zip(Edge("many-members.zip").c_str(), "", "");
    STRING name;
    int64_t done = 0;
    for (int64_t size = zip.GetFirstFile(name); name.NotEmpty(); size = zip.GetNextFile(name)) {
        ASSERT_EQ(zip.ExtractFile(name.Text(), dir.Text().c_str()), 1) << name.Text();
        done += size;
    }
    EXPECT_EQ(done, zip.GetTotalSize());
    EXPECT_EQ(FilesBelow(dir.Text()).size(), 300u);
}

TEST(UnzipperExtract, MembersOfAPrefixedArchiveSucceedDespiteTheArchiveWarning) {
    SCRATCHFOLDER dir;
    unsigned long before = AssertionCount();
    UNZIPPER zip(Edge("prefix.zip").c_str(), "", "");
    EXPECT_EQ(AssertionCount(), before) << "a warning is no failure";
    EXPECT_TRUE(zip.IsReadable());
    EXPECT_EQ(zip.GetTotalSize(), 3032);
    EXPECT_EQ(zip.ExtractFile("readme.txt", dir.Text().c_str()), 1);
    EXPECT_EQ(zip.ExtractFile("data/one.txt", dir.Text().c_str()), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("data/one.txt")), "Hello from the product archive.\n");
}

TEST(UnzipperExtract, MembersTheEngineSkipsOrDamagesGiveZero) {
    SCRATCHFOLDER dir;
    UNZIPPER encrypted(Edge("encrypted.zip").c_str(), "", "");
    EXPECT_EQ(encrypted.ExtractFile("secret.txt", dir.Text().c_str()), 0);
    EXPECT_EQ(encrypted.ExtractFile("plain.txt", dir.Text().c_str()), 1);
    UNZIPPER damaged(Edge("bad-crc.zip").c_str(), "", "");
    EXPECT_EQ(damaged.ExtractFile("bad.txt", dir.Text().c_str()), 0);
    EXPECT_EQ(damaged.ExtractFile("nothere.txt", dir.Text().c_str()), 0);
    UNZIPPER unsafe(Edge("unsafe.zip").c_str(), "", "");
    EXPECT_EQ(unsafe.ExtractFile("../escape.txt", dir.Text().c_str()), 0);
    EXPECT_FALSE(Exists(dir.File("../escape.txt")));
    UNZIPPER method(Edge("unknown-method.zip").c_str(), "", "");
    EXPECT_EQ(method.ExtractFile("bzip.bin", dir.Text().c_str()), 0);
}

TEST(UnzipperExtract, AFailedWriteKeepsTheSystemsErrorCodeADamagedMemberHasNone) {
    SCRATCHFOLDER dir;
    UNZIPPER zip(Edge("basic.zip").c_str(), "", "");
    std::filesystem::create_directories(dir.File("readme.txt")); // a folder where the file must go
    EXPECT_EQ(zip.ExtractFile("readme.txt", dir.Text().c_str()), 0);
    EXPECT_EQ(zip.LastFailure(), UNZIPPER::FAILURE::Write);
    EXPECT_NE(zip.LastSystemError(), 0);
    std::filesystem::remove(dir.File("readme.txt"));
    EXPECT_EQ(zip.ExtractFile("readme.txt", dir.Text().c_str()), 1);
    EXPECT_EQ(zip.LastSystemError(), 0) << "a later success forgets the failure";

    UNZIPPER damaged(Edge("bad-crc.zip").c_str(), "", "");
    EXPECT_EQ(damaged.ExtractFile("bad.txt", dir.Text().c_str()), 0);
    EXPECT_EQ(damaged.LastFailure(), UNZIPPER::FAILURE::Archive);
    EXPECT_EQ(damaged.LastSystemError(), 0);
}

TEST(UnzipperPolicies, ProtectedFilesThatExistAreNeverTouched) {
    SCRATCHFOLDER dir;
    std::filesystem::create_directories(dir.File("conf"));
    WriteWholeFile(dir.File("setup.ini"), "[old]\n");
    WriteWholeFile(dir.File("conf/user.ini"), "[old user]\n");
    UNZIPPER zip(Edge("policies.zip").c_str(), "", "*.INI|CONF\\USER.INI;ignored field");
    int extracted = -1;
    EXPECT_EQ(zip.ExtractFile("setup.ini", dir.Text().c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 0);
    EXPECT_EQ(ReadWholeFile(dir.File("setup.ini")), "[old]\n");
    EXPECT_EQ(zip.ExtractFile("conf/user.ini", dir.Text().c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 0);
    EXPECT_EQ(ReadWholeFile(dir.File("conf/user.ini")), "[old user]\n");
    // Not protected: replaced.
    WriteWholeFile(dir.File("program.exe"), "MZ old");
    EXPECT_EQ(zip.ExtractFile("program.exe", dir.Text().c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 1);
    EXPECT_EQ(ReadWholeFile(dir.File("program.exe")), "MZ new");
}

TEST(UnzipperPolicies, ProtectedFilesThatAreMissingAreExtracted) {
    SCRATCHFOLDER dir;
    UNZIPPER zip(Edge("policies.zip").c_str(), "", "*.ini");
    int extracted = -1;
    EXPECT_EQ(zip.ExtractFile("setup.ini", dir.Text().c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 1);
    EXPECT_EQ(ReadWholeFile(dir.File("setup.ini")), "[new]\n");
}

TEST(UnzipperPolicies, TheWriteHookIsAskedOnlyForWrittenMembersAndItsRefusalIsAWriteFailure) {
    SCRATCHFOLDER dir;
    WriteWholeFile(dir.File("setup.ini"), "[old]\n");
    WriteWholeFile(dir.File("program.exe"), "MZ old");
    UNZIPPER zip(Edge("policies.zip").c_str(), "", "*.ini");
    std::vector<std::string> asked;
    int refusal = 32; // a file in use
    zip.SetBeforeWrite([&](const STRING& member) {
        asked.push_back(member.Text());
        return refusal;
    });
    EXPECT_EQ(zip.ExtractFile("setup.ini", dir.Text().c_str()), 1) << "protected: kept without a write";
    int extracted = -1;
    EXPECT_EQ(zip.ExtractFile("program.exe", dir.Text().c_str(), &extracted), 0);
    EXPECT_EQ(extracted, 0);
    EXPECT_EQ(zip.LastFailure(), UNZIPPER::FAILURE::Write) << "the user may mend it and try again";
    EXPECT_EQ(zip.LastSystemError(), 32);
    EXPECT_EQ(ReadWholeFile(dir.File("program.exe")), "MZ old");
    refusal = 0;
    EXPECT_EQ(zip.ExtractFile("program.exe", dir.Text().c_str()), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("program.exe")), "MZ new");
    EXPECT_EQ(asked, (std::vector<std::string>{"program.exe", "program.exe"}));
}

TEST(UnzipperPolicies, AskOverwriteUsesTheDescriptionAndHonoursNo) {
    SCRATCHFOLDER dir;
    WriteWholeFile(dir.File("setup.ini"), "[old]\n");
    Answerer no;
    UNZIPPER zip(Edge("policies.zip").c_str(), "other.txt|SETUP.INI;your settings", "", no.Callback());
    int extracted = -1;
    EXPECT_EQ(zip.ExtractFile("setup.ini", dir.Text().c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 0);
    EXPECT_EQ(no.asked, (std::vector<std::string>{"your settings"}));
    EXPECT_EQ(ReadWholeFile(dir.File("setup.ini")), "[old]\n");
}

TEST(UnzipperPolicies, AskOverwriteYesReplacesAndMemberNameStandsInForAMissingDescription) {
    SCRATCHFOLDER dir;
    std::filesystem::create_directories(dir.File("docs"));
    WriteWholeFile(dir.File("docs/readme.txt"), "old");
    Answerer yes;
    yes.answer = true;
    UNZIPPER zip(Edge("policies.zip").c_str(), "docs\\readme.txt;", "", yes.Callback());
    int extracted = -1;
    EXPECT_EQ(zip.ExtractFile("docs/readme.txt", dir.Text().c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 1);
    EXPECT_EQ(yes.asked, (std::vector<std::string>{"docs/readme.txt"}));
    EXPECT_EQ(ReadWholeFile(dir.File("docs/readme.txt")).size(), 3000u);
}

TEST(UnzipperPolicies, NoQuestionWhenTheFileDoesNotExistOrIsProtected) {
    SCRATCHFOLDER dir;
    Answerer asker;
    UNZIPPER zip(Edge("policies.zip").c_str(), "setup.ini;settings", "*.ini", asker.Callback());
    EXPECT_EQ(zip.ExtractFile("setup.ini", dir.Text().c_str()), 1);
    EXPECT_TRUE(asker.asked.empty()) << "missing file: extracted without asking";
    // Now it exists and is protected: kept without asking either.
    int extracted = -1;
    EXPECT_EQ(zip.ExtractFile("setup.ini", dir.Text().c_str(), &extracted), 1);
    EXPECT_EQ(extracted, 0);
    EXPECT_TRUE(asker.asked.empty());
}

// The copy step extracts on a worker thread with a 32 KB stack: every method must fit in it.
TEST(UnzipperWorkerThread, EveryMethodExtractsOnTheSmallWorkerStack) {
    struct Job {
        std::vector<std::string> archives;
        std::string destination;
        int failures = 0;
    } job;
    for (const char* name :
         {"store", "shrink", "reduce1", "reduce4", "implode-4k", "implode-8k-lit", "deflate"})
        job.archives.push_back(ZipData(std::string("legacy/") + name + ".zip"));
    SCRATCHFOLDER dir;
    job.destination = dir.Text();
    void* thread = OSYS::CreateThread(
        [](void* argument) {
            auto* work = static_cast<Job*>(argument);
            for (const std::string& archive : work->archives) {
                UNZIPPER zip(archive.c_str(), "", "");
                STRING name;
                for (zip.GetFirstFile(name); name.NotEmpty(); zip.GetNextFile(name))
                    work->failures += zip.ExtractFile(name.Text(), work->destination.c_str()) == 1 ? 0 : 1;
            }
        },
        &job);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(OSYS::WaitThread(thread, OSYS::WAIT_FOREVER));
    EXPECT_EQ(job.failures, 0);
    EXPECT_EQ(ReadWholeFile(dir.File("hamlet.txt")).size(), 204908u);
}

TEST(UnzipperListing, SizesBeyondFourGiBReachTheCopyStepWhole) {
    UNZIPPER zip(ZipData("zip64/zip64-huge-listing.zip").c_str(), "", "");
    const int64_t huge = (int64_t(5) << 30) + 7;
    EXPECT_EQ(zip.GetTotalSize(), huge + 28);
    STRING name;
    EXPECT_EQ(zip.GetFirstFile(name), huge);
    EXPECT_STREQ(name.Text(), "huge.bin");
    EXPECT_EQ(zip.GetNextFile(name), 28);
    EXPECT_STREQ(name.Text(), "small.txt");
}

// Names of more than 260 bytes of UTF-8 that are still short paths: 94 characters, 272 bytes. The two
// agree in their first 260 bytes, so a cut name would write both into one file.
TEST(UnzipperLongNames, ComeBackWholeAndInstallUnderTheirOwnNames) {
    const std::string folder = "長い名前のフォルダ/";
    std::string stem;
    for (int i = 0; i < 80; ++i)
        stem += "山";
    const std::string first = folder + stem + "一.txt";
    const std::string second = folder + stem + "二.txt";
    ASSERT_GT(first.size(), 260u);
    if (TEXTCODEC::FromUtf8(first) != first)
        GTEST_SKIP() << "the program's code page is not UTF-8 (setup.exe's is; see tests/intl)";
    SCRATCHFOLDER dir;
    const std::string archive = dir.File("long.zip");
    ASSERT_TRUE(testzip::WriteZip(archive, {{first, "first", 0x0800, 3}, {second, "second", 0x0800, 3}}));

    UNZIPPER zip(archive.c_str(), "", "");
    std::vector<std::string> names;
    STRING name;
    for (zip.GetFirstFile(name); name.NotEmpty(); zip.GetNextFile(name)) {
        names.push_back(name.Text());
        EXPECT_EQ(zip.ExtractFile(name.Text(), dir.File("out").c_str()), 1) << name.Text();
    }
    EXPECT_EQ(names, (std::vector<std::string>{first, second}));
    EXPECT_EQ(ReadWholeFile(dir.File("out/" + first)), "first");
    EXPECT_EQ(ReadWholeFile(dir.File("out/" + second)), "second");
}

// A component longer than any file system takes (255 characters) is a write failure with the system's
// reason, the one the user is asked to retry; nothing is written under a shortened name.
TEST(UnzipperLongNames, APathTheFileSystemRefusesFailsToBeWrittenAndIsNotCut) {
    const std::string name = "dir/" + std::string(300, 'n') + ".txt";
    SCRATCHFOLDER dir;
    const std::string archive = dir.File("toolong.zip");
    ASSERT_TRUE(testzip::WriteZip(archive, {{name, "data"}, {"ok.txt", "ok"}}));

    UNZIPPER zip(archive.c_str(), "", "");
    STRING listed;
    zip.GetFirstFile(listed);
    EXPECT_EQ(std::string(listed.Text()), name);
    const std::string out = dir.File("out");
    EXPECT_EQ(zip.ExtractFile(listed.Text(), out.c_str()), 0);
    EXPECT_EQ(zip.LastFailure(), UNZIPPER::FAILURE::Write);
    EXPECT_NE(zip.LastSystemError(), 0);
    EXPECT_EQ(zip.ExtractFile("ok.txt", out.c_str()), 1);
    EXPECT_EQ(FilesBelow(out), std::vector<std::string>{"ok.txt"});
}
