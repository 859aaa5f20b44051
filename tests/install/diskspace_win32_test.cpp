// The space an installation takes on its volume: whole clusters, replaced files given back, and the
// destination's volume found through the nearest folder that exists.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "lib/hash.h"
#include "setup/install/diskspace.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/ziparchive.h"

namespace {

constexpr uint64_t CLUSTER = 4096;

// Runs the test in a package folder, as setup.exe runs, and goes back afterwards.
class INPACKAGE {
public:
    explicit INPACKAGE(const SCRATCHFOLDER& package) {
        GetCurrentDirectoryA(sizeof Previous, Previous);
        SetCurrentDirectoryA(package.Text().c_str());
    }
    ~INPACKAGE() { SetCurrentDirectoryA(Previous); }

private:
    char Previous[MAX_PATH] = {};
};

// A drive letter the system does not have, or 0.
char MissingDrive() {
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'M'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A'))))
            return letter;
    return 0;
}

} // namespace

TEST(SpaceNeed, FilesTakeWholeClustersAndReplacedFilesAreGivenBack) {
    EXPECT_EQ(ClusterRounded(0, CLUSTER), 0u);
    EXPECT_EQ(ClusterRounded(1, CLUSTER), CLUSTER);
    EXPECT_EQ(ClusterRounded(CLUSTER, CLUSTER), CLUSTER);
    EXPECT_EQ(ClusterRounded(CLUSTER + 1, CLUSTER), 2 * CLUSTER);
    EXPECT_EQ(ClusterRounded(5000, 0), 5000u) << "a volume that reports no cluster size";

    SPACENEED need(CLUSTER);
    need.AddFile(10, -1);    // new: one cluster
    need.AddFile(9000, 100); // three clusters where one stood
    need.AddFile(0, -1);     // an empty file has no data clusters
    EXPECT_EQ(need.Written(), 4 * CLUSTER);
    EXPECT_EQ(need.Replaced(), CLUSTER);
    EXPECT_EQ(need.Net(), 3 * CLUSTER);

    // An update that writes smaller files than it replaces needs nothing.
    SPACENEED smaller(CLUSTER);
    smaller.AddFile(100, 50000);
    EXPECT_EQ(smaller.Net(), 0u);

    // The journal beside the backups takes whole clusters too: a cluster for a few names, more for many.
    SPACENEED journalled(CLUSTER);
    journalled.AddFile(10, -1);
    journalled.AddJournalRecord(20);
    EXPECT_EQ(journalled.Journal(), CLUSTER);
    EXPECT_EQ(journalled.Net(), 2 * CLUSTER);
    for (int i = 0; i < 100; i++)
        journalled.AddJournalRecord(40);
    EXPECT_GT(journalled.Journal(), 2 * CLUSTER) << "100 records of 40-byte names";
}

TEST(SpaceNeed, MegabytesOfARefusalNeverShowTwoEqualFigures) {
    constexpr uint64_t MB = 1024 * 1024;
    EXPECT_EQ(MegabytesUp(0), 0u);
    EXPECT_EQ(MegabytesUp(MB), 1u);
    EXPECT_EQ(MegabytesUp(MB + 1), 2u);
    EXPECT_EQ(MegabytesDown(MB - 1), 0u);
    EXPECT_EQ(MegabytesDown(2 * MB + 5), 2u);
    // Needed one byte more than free: the figures still differ.
    for (uint64_t free : {uint64_t(0), MB - 1, MB, 67 * MB + 12345})
        EXPECT_GT(MegabytesUp(free + 1), MegabytesDown(free)) << free;
}

TEST(SpaceNeed, BothArchivesAndTheExtraFilesCountAgainstWhatTheyReplace) {
    SCRATCHFOLDER package("space_package");
    SCRATCHFOLDER target("space_target");
    ASSERT_TRUE(testzip::WriteZip(package.File("setup.fil"), {{"program.exe", std::string(3000, 'p')},
                                                              {"docs/", ""},
                                                              {"docs/guide.txt", std::string(9000, 'g')},
                                                              {"logs/dummy.tmp", ""}}));
    ASSERT_TRUE(testzip::WriteZip(package.File("custom.fil"), {{"site.ini", std::string(5000, 's')}}));
    package.Write("extra.dat", std::string(100, 'e'));
    target.Write("docs/guide.txt", std::string(5000, 'o')); // an earlier installation's file: 2 clusters
    target.Write("extra.dat", std::string(10, 'o'));        // 1 cluster
    target.Write("unrelated.txt", std::string(50000, 'u')); // not replaced: not given back

    HASH config;
    config["CopyToDest"] = "extra.dat||missing.dat";
    const INPACKAGE inpackage(package);
    const SPACENEED need = InstallationNeed(config, STRING(target.Text().c_str()), CLUSTER);
    // program.exe 1 + guide.txt 3 + site.ini 2 + extra.dat 1 clusters; dummy.tmp and the folder none.
    EXPECT_EQ(need.Written(), 7 * CLUSTER);
    EXPECT_EQ(need.Replaced(), 3 * CLUSTER);
    EXPECT_EQ(need.Journal(), CLUSTER) << "five names and the extra file";
    EXPECT_EQ(need.Net(), 5 * CLUSTER);
}

TEST(VolumeSpace, AFolderStillToBeCreatedIsMeasuredOnItsDrive) {
    SCRATCHFOLDER folder("space_volume");
    const VOLUMESPACE volume = QueryVolumeSpace(STRING((folder.Text() + "\\not\\there\\yet").c_str()));
    ASSERT_TRUE(volume.Known);
    char root[MAX_PATH] = {};
    ASSERT_TRUE(GetVolumePathNameA(folder.Text().c_str(), root, sizeof root));
    EXPECT_STREQ(volume.Root.Text(), root);
    EXPECT_GT(volume.Free, 0u);
    EXPECT_GE(volume.Cluster, 512u);
    EXPECT_EQ(volume.Cluster & (volume.Cluster - 1), 0u) << "a power of two: " << volume.Cluster;

    const char drive = MissingDrive();
    ASSERT_NE(drive, 0);
    EXPECT_FALSE(QueryVolumeSpace(STRING((std::string(1, drive) + ":\\Product").c_str())).Known);
    EXPECT_FALSE(QueryVolumeSpace(STRING("")).Known);
}
