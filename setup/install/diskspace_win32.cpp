// The destination volume's figures from the system, and the sizes of the files an installation writes.
#include "setup/install/diskspace.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/ownedpath.h"
#include "setup/record/installrecord.h"
#include "unzip/unzipper.h"

namespace {

bool IsFolder(const STRING& path) {
    const DWORD attributes = GetFileAttributesA(path.Text());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder itself, else its nearest parent that exists; empty when none does (a drive that is not there).
STRING NearestExistingFolder(const STRING& folder) {
    std::string path = folder.NotNull() ? folder.Text() : "";
    std::replace(path.begin(), path.end(), '/', '\\');
    while (!path.empty() && !IsFolder(STRING(path.c_str()))) {
        const size_t cut = path.find_last_of('\\');
        if (cut == std::string::npos || cut == 0 || (cut + 1 == path.size() && cut <= 2))
            return STRING("");
        // "R:\x" goes up to the root "R:\", which keeps its separator.
        path.resize(cut == 2 && path[1] == ':' ? cut + 1 : cut);
    }
    return STRING(path.c_str());
}

// The size of the file installdir\name, -1 when there is none (or the name leaves installdir).
int64_t ExistingFileSize(const STRING& installdir, const STRING& name) {
    STRING joined;
    if (!JoinBelow(installdir, name, &joined))
        return -1;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(joined.Text(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

void AddArchive(const char* archive, const STRING& installdir, SPACENEED& need) {
    if (!FILENAME(archive).Exists())
        return; // custom.fil is optional; a missing setup.fil is the copy step's to report
    UNZIPPER zip(STRING(archive), STRING(""), STRING(""));
    STRING name;
    for (int64_t size = zip.GetFirstFile(name); name.NotEmpty(); size = zip.GetNextFile(name)) {
        need.AddJournalRecord(static_cast<size_t>(name.Length()));
        if (name.Length() > 0 && name[name.Length() - 1] == '/')
            continue; // a folder takes no cluster of file data
        need.AddFile(static_cast<uint64_t>(size), ExistingFileSize(installdir, name));
    }
}

} // namespace

VOLUMESPACE QueryVolumeSpace(const STRING& folder) {
    VOLUMESPACE volume;
    const STRING existing = NearestExistingFolder(folder);
    if (existing.IsEmpty())
        return volume;
    char root[MAX_PATH] = {};
    ULARGE_INTEGER available = {}, total = {}, free = {};
    DWORD sectorspercluster = 0, bytespersector = 0, freeclusters = 0, clusters = 0;
    if (!GetVolumePathNameA(existing.Text(), root, sizeof root) ||
        !GetDiskFreeSpaceExA(existing.Text(), &available, &total, &free) ||
        !GetDiskFreeSpaceA(root, &sectorspercluster, &bytespersector, &freeclusters, &clusters)) {
        LogPrintf("SETUP::QueryVolumeSpace %s: %s\n", existing.Text(), OSYS::GetLastErrorString().Text());
        return volume;
    }
    volume.Known = true;
    volume.Root = root;
    volume.Free = available.QuadPart;
    volume.Cluster = static_cast<uint64_t>(sectorspercluster) * bytespersector;
    return volume;
}

SPACENEED InstallationNeed(const HASH& config, const STRING& installdir, uint64_t cluster) {
    SPACENEED need(cluster);
    AddArchive("setup.fil", installdir, need);
    AddArchive("custom.fil", installdir, need);
    for (const STRING& name : ListFields(CONFIGREADER(config).Text("CopyToDest"))) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!GetFileAttributesExA(name.Text(), GetFileExInfoStandard, &data))
            continue; // the copy step logs a file it cannot copy
        const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        need.AddFile(size, ExistingFileSize(installdir, name));
        need.AddJournalRecord(static_cast<size_t>(name.Length()));
    }
    return need;
}
