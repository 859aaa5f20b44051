#include "setup/diskspace.h"

namespace {
constexpr uint64_t MEGABYTE = 1024 * 1024;
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
