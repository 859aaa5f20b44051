#include "setup/install/diskspace.h"

namespace {
constexpr uint64_t MEGABYTE = 1024 * 1024;
// The journal's header, the run's first record, the registry keys and the service: about this much at most.
constexpr uint64_t JOURNAL_FIXED_BYTES = 1024;
// A record's length, CRC, kind, number and text lengths.
constexpr uint64_t JOURNAL_RECORD_BYTES = 32;
}

uint64_t ClusterRounded(uint64_t bytes, uint64_t cluster) {
    if (cluster <= 1)
        return bytes;
    return (bytes + cluster - 1) / cluster * cluster;
}

uint64_t MegabytesUp(uint64_t bytes) {
    return (bytes + MEGABYTE - 1) / MEGABYTE;
}

uint64_t MegabytesDown(uint64_t bytes) {
    return bytes / MEGABYTE;
}

void SPACENEED::AddFile(uint64_t size, int64_t replacedsize) {
    WrittenBytes += ClusterRounded(size, Cluster);
    if (replacedsize > 0)
        ReplacedBytes += ClusterRounded(static_cast<uint64_t>(replacedsize), Cluster);
}

void SPACENEED::AddJournalRecord(size_t namebytes) {
    JournalBytes += JOURNAL_RECORD_BYTES + 2 * static_cast<uint64_t>(namebytes);
}

uint64_t SPACENEED::Journal() const {
    return JournalBytes == 0 ? 0 : ClusterRounded(JOURNAL_FIXED_BYTES + JournalBytes, Cluster);
}
