#pragma once
// The extraction engine: one archive opened once, its central directory parsed once and kept, then listed
// and extracted any number of times. UnzipRun (unziprun.h) drives it from an argument vector.
#include "unzip/fs.h"
#include "unzip/messages.h"
#include "unzip/streams.h"
#include "unzip/zipformat.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvik::unzip {

// Result codes of the engine; the largest one met is the result of a run.
enum ResultCode : int {
    kOk = 0,
    kWarning = 1,        // something skipped or tolerated
    kMemberError = 2,    // bad CRC, bad data, bad local header, tolerated structural fault
    kStructureError = 3, // central directory not found, bad header signature
    kNoBuffers = 4,      // the engine's buffers could not be allocated
    kDecoderMemory = 5,  // not enough memory in a decompressor
    kUsage = 10,         // unknown option (also: memory failure while building a path)
    kNoArchive = 9,      // archive missing or without an end record
    kMultiDisk = 11,     // part of a multi-disk archive
    kWriteError = 50,    // output file could not be opened or written
    kUnexpectedEnd = 51, // the archive file ends too early
    kArchiveIsDirectory = 76,
};

struct ListingEntry {
    std::string name;
    uint64_t size = 0;
    bool utf8Name = false; // the archive marks the name as UTF-8 (flag bit 11)
};

// Every listed member (no fixed number of slots) and the sum of their sizes.
struct Listing {
    std::vector<ListingEntry> entries;
    uint64_t total = 0;
};

struct ExtractOptions {
    int quiet = 0; // 0 progress lines, 1 and 2 (-q, -qq) fewer
    // The question asked before extracting a member stored in VMS format; true extracts it.
    // Unset: the question is asked on standard input.
    std::function<bool(const std::string& question)> confirmVmsMember;
    // A member that replaces a file is written beside its name and takes it only when complete with a
    // matching CRC (an installer's update: the name holds the old file or the new one, never a part).
    // Otherwise a member is written at its name and a damaged one is left there to be looked at, as unzip
    // does.
    bool completeFilesOnly = false;
};

// What became of the members that a request matched.
struct ExtractReport {
    int code = kOk;
    size_t matched = 0;   // members the patterns selected
    size_t completed = 0; // written with a correct CRC, or directories / volume labels handled
    size_t unmatchedPatterns = 0;
    // The platform's error number (GetLastError or errno) of the last write that failed, 0 when none did.
    int systemError = 0;
    // The last member skipped because of a method this engine does not decode, and that method's name.
    std::string notDecodedMember;
    std::string notDecodedMethod;
    // True when every selected member was extracted correctly, whatever archive-level warnings came with it.
    bool AllMatchedCompleted() const { return matched > 0 && completed == matched && unmatchedPatterns == 0; }
};

// What keeps the engine from decoding `entry`, as a user may read it: "bzip2 (method 12)", "AES encryption
// (method 99)", "traditional encryption"; "" when the engine decodes the member.
std::string MethodNotDecoded(const ZipEntry& entry);

class ZipArchive {
public:
    explicit ZipArchive(Messages& messages) : messages_(messages) {}

    // Opens the archive (trying `path` + ".zip" too) and reads its central directory. Returns the code
    // of doing so: 0, a warning or error about the structure, or a fatal code after which IsUsable() is
    // false. Entries read before a fault in the directory are kept.
    int Open(const std::string& path, int quiet);
    // The same for an archive held in memory (`data` must outlive the object); `name` stands in messages.
    int OpenMemory(const uint8_t* data, size_t size, const std::string& name, int quiet);
    bool IsUsable() const { return usable_; }
    int OpenCode() const { return openCode_; }
    const std::string& Path() const { return path_; }
    const std::vector<ZipEntry>& Entries() const { return entries_; }
    // Why the archive's records disagree with each other (the end record's count and the central
    // directory, say): "" when they agree. Such an archive is damaged and none of its members is extracted.
    const std::string& Inconsistency() const { return inconsistency_; }

    // The path below `directory` that the member listed as `member` is written to, "/" separators and a
    // trailing "/" for a folder: the name after the mapping for the target file system (":" to "_", a
    // trailing ";1" dropped, spaces on FAT). "" when no member has that name or its name is refused.
    std::string WrittenName(const std::string& member, const std::string& directory);

    // Lists the members matching `patterns` (all when empty) into `listing`.
    int List(const std::vector<std::string>& patterns, Listing& listing) const;

    // Extracts the members matching `patterns` (all when empty) below `directory`. With `exactNames`
    // the patterns are member names as listed, compared without wildcards.
    ExtractReport Extract(const std::vector<std::string>& patterns, bool exactNames,
                          const std::string& directory, const ExtractOptions& options);

    // Decodes member `index` (of Entries()) into `sink` without touching the file system, checking its
    // local header, its declared size and its CRC; the result code as Extract() would give it.
    int Test(size_t index, OutputSink& sink);

private:
    class MemberExtractor;

    // Where a member's data lies and what its local header (or the central directory) declares for it.
    struct LocalHeader {
        uint64_t dataStart = 0;
        uint32_t crc = 0;
        uint64_t compressedSize = 0;
        uint64_t uncompressedSize = 0;
    };

    int ReadDirectory(int quiet);
    int ReadCentralDirectory(const EndRecord& end, uint64_t start);
    bool ReadLocalHeader(const ZipEntry& entry, size_t number, LocalHeader& local, int& code);
    std::vector<size_t> Select(const std::vector<std::string>& patterns, bool exactNames,
                               std::vector<bool>& patternUsed) const;
    void IndexNames() const;
    bool IsFatDirectory(const std::string& directory);

    Messages& messages_;
    std::string path_;
    fs::InputFile file_;
    std::vector<ZipEntry> entries_;
    int64_t shift_ = 0; // bytes before the archive proper (a self-extractor stub, say)
    bool recompensated_ = false;
    bool localHeaderSeen_ = false;
    bool usable_ = false;
    int openCode_ = kOk;
    std::string inconsistency_;
    // Name -> entry indexes, built on first use so that extracting one member does not scan the directory.
    mutable std::unordered_multimap<std::string, size_t> exactIndex_;
    mutable std::unordered_multimap<std::string, size_t> foldedIndex_;
    mutable bool indexed_ = false;
    // Kept between Extract() calls.
    std::vector<uint8_t> inputBuffer_;
    std::vector<uint8_t> outputBuffer_;
    std::vector<uint8_t> localHeaderBuffer_;
    std::string fatDirectory_;
    bool fatVolume_ = false;
    bool fatKnown_ = false;
};

} // namespace orvik::unzip
