// Whether the destination's volume can take the installation: the space the product's files take there
// (whole clusters), what an update gets back from the files it replaces, and the volume's free space.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/hash.h"
#include "lib/strings.h"

// bytes as the volume allocates them: whole clusters (cluster 0 or 1: as they are).
uint64_t ClusterRounded(uint64_t bytes, uint64_t cluster);

// Bytes shown as whole megabytes (1024 × 1024): the space needed rounded up, the space free rounded down, so
// that a refusal never shows two equal figures.
uint64_t MegabytesUp(uint64_t bytes);
uint64_t MegabytesDown(uint64_t bytes);

// The space an installation takes on one volume, file by file.
class SPACENEED {
public:
    explicit SPACENEED(uint64_t cluster) : Cluster(cluster) {}
    // A file of size bytes written where a file of replacedsize bytes stood (-1: nothing there).
    void AddFile(uint64_t size, int64_t replacedsize);
    // The copy's journal, which lies on the same volume beside the backups, records each member it writes
    // (its name, and the name of its backup): namebytes is the length of the member's name.
    void AddJournalRecord(size_t namebytes);
    uint64_t Written() const { return WrittenBytes; }
    uint64_t Replaced() const { return ReplacedBytes; }
    uint64_t Journal() const; // whole clusters; none before the first record
    // What the volume must have free: the written files and the journal less the files they replace, never
    // below 0.
    uint64_t Net() const {
        const uint64_t taken = WrittenBytes + Journal();
        return taken > ReplacedBytes ? taken - ReplacedBytes : 0;
    }

private:
    uint64_t Cluster;
    uint64_t WrittenBytes = 0;
    uint64_t ReplacedBytes = 0;
    uint64_t JournalBytes = 0;
};

// The destination's volume as the system reports it for the folder or its nearest existing parent.
struct VOLUMESPACE {
    bool Known = false; // false: no existing folder on the way, or the system could not tell
    STRING Root;        // the volume's root ("R:\")
    uint64_t Free = 0;  // free for this user (quotas honoured)
    uint64_t Cluster = 0;
};
VOLUMESPACE QueryVolumeSpace(const STRING& folder);

// The space that installing into installdir takes: the members of "setup.fil" and "custom.fil" and the
// CopyToDest files of the current folder, each counted against the file it replaces in installdir.
SPACENEED InstallationNeed(const HASH& config, const STRING& installdir, uint64_t cluster);
