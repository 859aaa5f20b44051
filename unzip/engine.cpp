#include "unzip/engine.h"

#include "unzip/crc32.h"
#include "unzip/decoders.h"
#include "unzip/names.h"
#include "lib/textcodec.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace orvik::unzip {
namespace {

const char kBinaryModeHint[] = "  (please check that you have transferred or created the zipfile in the\n"
                               "  appropriate BINARY mode and that you have compiled unzip properly)\n";

const char kNoEndRecord[] = "  End-of-central-directory signature not found.  Either this file is not\n"
                            "  a zipfile, or it constitutes one disk of a multi-part archive.  In the\n"
                            "  latter case the central directory and zipfile comment will be found on\n"
                            "  the last disk(s) of this archive.\n\n";

constexpr size_t kInputBufferSize = 64 * 1024;
constexpr size_t kOutputBufferSize = 32 * 1024;

// What a member's output must pass on its way: never more than the declared size, and its CRC kept.
class DeclaredOutput {
public:
    explicit DeclaredOutput(uint64_t declaredSize) : limit_(declaredSize) {}

    // False, and Overflowed() from then on, when length more bytes would exceed the declared size.
    bool Accept(const uint8_t* data, size_t length) {
        if (length > limit_ - written_) {
            overflow_ = true;
            return false;
        }
        crc_.Update(data, length);
        written_ += length;
        return true;
    }
    uint32_t Crc() const { return crc_.Value(); }
    bool Overflowed() const { return overflow_; }

private:
    uint64_t limit_;
    uint64_t written_ = 0;
    Crc32 crc_;
    bool overflow_ = false;
};

// Collects one member's output: counts it, keeps its CRC, refuses more than the declared size and
// writes it to the file in 32 KiB pieces.
class MemberSink : public OutputSink {
public:
    MemberSink(fs::OutputFile& file, uint64_t declaredSize, std::vector<uint8_t>& buffer)
        : file_(file), declared_(declaredSize), buffer_(buffer) {}

    bool Write(const uint8_t* data, size_t length) override {
        if (!declared_.Accept(data, length))
            return false;
        if (used_ + length > buffer_.size() && !Flush())
            return false;
        if (length >= buffer_.size())
            return WriteThrough(data, length);
        std::copy(data, data + length, buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
        used_ += length;
        return true;
    }

    bool Flush() {
        size_t n = used_;
        used_ = 0;
        return n == 0 || WriteThrough(buffer_.data(), n);
    }

    uint32_t Crc() const { return declared_.Crc(); }
    bool Overflowed() const { return declared_.Overflowed(); }
    bool WriteFailed() const { return writeFailed_; }

private:
    bool WriteThrough(const uint8_t* data, size_t length) {
        if (!file_.Write(data, length))
            writeFailed_ = true;
        return !writeFailed_;
    }

    fs::OutputFile& file_;
    DeclaredOutput declared_;
    std::vector<uint8_t>& buffer_;
    size_t used_ = 0;
    bool writeFailed_ = false;
};

// Passes output on, keeping its CRC and refusing more than the declared size.
class CheckingSink : public OutputSink {
public:
    CheckingSink(OutputSink& next, uint64_t declaredSize) : next_(next), declared_(declaredSize) {}
    bool Write(const uint8_t* data, size_t length) override {
        return declared_.Accept(data, length) && next_.Write(data, length);
    }
    uint32_t Crc() const { return declared_.Crc(); }
    bool Overflowed() const { return declared_.Overflowed(); }

private:
    OutputSink& next_;
    DeclaredOutput declared_;
};

bool AskOnStandardInput(Messages& messages, const std::string& question) {
    messages.Out("%s", question.c_str());
    std::fflush(stdout);
    char answer[16];
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    return answer[0] == 'y' || answer[0] == 'Y';
}

std::string Join(const std::string& base, const std::string& component) {
    if (base.empty())
        return component;
    if (base.back() == '/' || base.back() == '\\')
        return base + component;
    return base + "/" + component;
}

const char* MethodName(unsigned method) {
    switch (method) {
    case 7:
        return "tokenizing";
    case 10:
        return "PKWARE DCL implode";
    case 12:
        return "bzip2";
    case 14:
        return "LZMA";
    case 16:
        return "IBM z/OS CMPSC";
    case 18:
        return "IBM TERSE";
    case 19:
        return "IBM LZ77";
    case 93:
        return "Zstandard";
    case 94:
        return "MP3";
    case 95:
        return "xz";
    case 96:
        return "JPEG";
    case 97:
        return "WavPack";
    case 98:
        return "PPMd";
    case 99:
        return "AES encryption";
    default:
        return nullptr;
    }
}

} // namespace

std::string MethodNotDecoded(const ZipEntry& entry) {
    if (IsSupportedMethod(entry.method))
        return entry.IsEncrypted() ? "traditional encryption" : "";
    const char* name = MethodName(entry.method);
    const std::string number = "method " + std::to_string(entry.method);
    return name ? std::string(name) + " (" + number + ")" : number;
}

// Extracts single entries for one Extract() call: owns the reusable buffers and remembers the
// directories already known to exist.
class ZipArchive::MemberExtractor {
public:
    MemberExtractor(ZipArchive& archive, const std::string& directory, const ExtractOptions& options)
        : archive_(archive), messages_(archive.messages_), directory_(directory), options_(options),
          input_(archive.inputBuffer_), output_(archive.outputBuffer_),
          fatVolume_(archive.IsFatDirectory(directory)) {
        // Allocated once per archive: the installer extracts thousands of members one call at a time.
        input_.resize(kInputBufferSize);
        output_.resize(kOutputBufferSize);
    }

    enum class Outcome { Completed, Skipped, Failed };
    struct Result {
        Outcome outcome;
        int code;
    };

    Result Extract(const ZipEntry& entry, size_t number);
    int SystemError() const { return systemError_; }
    const std::string& NotDecodedMember() const { return notDecodedMember_; }
    const std::string& NotDecodedMethod() const { return notDecodedMethod_; }

private:
    Result Skip(int code = kWarning) { return {Outcome::Skipped, code}; }
    Result Fail(int code) { return {Outcome::Failed, code}; }
    bool PassesEntryChecks(const ZipEntry& entry);
    bool LocateData(const ZipEntry& entry, size_t number, uint64_t& dataStart, uint32_t& crc,
                    uint64_t& compressedSize, uint64_t& uncompressedSize, int& code);
    // kOk, kWriteError (the system refused to create it) or kMemberError (a file stands in the way).
    int EnsureDirectory(const std::string& path, const std::string& memberName);
    void SetMemberAttributes(const ZipEntry& entry, const std::string& path);
    Result WriteMember(const ZipEntry& entry, const std::string& path, uint64_t dataStart, uint32_t crc,
                       uint64_t compressedSize, uint64_t uncompressedSize);
    int ReportDecodeFailure(const ZipEntry& entry, DecodeStatus status);

    ZipArchive& archive_;
    Messages& messages_;
    const std::string& directory_;
    const ExtractOptions& options_;
    std::vector<uint8_t>& input_;
    std::vector<uint8_t>& output_;
    bool fatVolume_;
    std::unordered_set<std::string> knownDirectories_;
    int systemError_ = 0; // of the last failed write
    std::string notDecodedMember_, notDecodedMethod_;
};

bool ZipArchive::MemberExtractor::PassesEntryChecks(const ZipEntry& entry) {
    const char* name = entry.name.c_str();
    const unsigned host = entry.Host();
    const bool vms = host == 2;
    const unsigned needed = entry.versionNeeded & 0xFF;
    // Version 4.5: ZIP64 records; Deflate64 (2.1) is among the methods too.
    const unsigned canDo = 45;
    // The method first: the methods of later versions are named, not just their version.
    const std::string notDecoded = MethodNotDecoded(entry);
    if (!notDecoded.empty()) {
        if (!IsSupportedMethod(entry.method))
            messages_.Err("   skipping: %-22s  compression method %d\n", name, entry.method);
        else
            messages_.Err("   skipping: %-22s  encrypted (not supported)\n", name);
        notDecodedMember_ = entry.name;
        notDecodedMethod_ = notDecoded;
        return false;
    }
    if (needed > canDo) {
        messages_.Err("   skipping: %-22s  need %s compat. v%u.%u (can do v%u.%u)\n", name,
                      vms ? "VMS" : "PK", needed / 10, needed % 10, canDo / 10, canDo % 10);
        return false;
    }
    if (vms) {
        char question[400];
        std::snprintf(question, sizeof question, "\n%s:  stored in VMS format.  Extract anyway? (y/n) ",
                      name);
        bool yes = options_.confirmVmsMember ? options_.confirmVmsMember(question)
                                             : AskOnStandardInput(messages_, question);
        if (!yes)
            return false;
    }
    return true;
}

bool ZipArchive::ReadLocalHeader(const ZipEntry& entry, size_t number, LocalHeader& local, int& code) {
    // The fixed part and, in the same read, the name the central directory leads us to expect.
    const std::string& stored = entry.StoredName();
    std::vector<uint8_t>& buffer = localHeaderBuffer_;
    buffer.resize(kLocalHeaderSize + stored.size());
    uint8_t* header = buffer.data();
    uint64_t at = 0;
    auto readHeader = [&](int64_t shift) {
        // A ZIP64 field may claim any offset: one beyond the file finds no header.
        if (entry.localHeaderOffset > file_.Size())
            return size_t(0);
        int64_t position = static_cast<int64_t>(entry.localHeaderOffset) + shift;
        if (position < 0)
            return size_t(0);
        at = static_cast<uint64_t>(position);
        return file_.ReadAt(at, header, buffer.size());
    };
    size_t got = readHeader(shift_);
    bool found = got >= 4 && Get32(header) == kLocalHeaderSignature;
    if (!found && shift_ != 0 && !recompensated_ && !localHeaderSeen_) {
        size_t retry = readHeader(0);
        if (retry >= 4 && Get32(header) == kLocalHeaderSignature) {
            messages_.Err("  (attempting to re-compensate)\n");
            shift_ = 0;
            recompensated_ = true;
            got = retry;
            found = true;
        }
    }
    if (!found) {
        messages_.Err("file #%zu:  bad zipfile offset (%s):  %lld\n", number, "local header sig",
                      static_cast<long long>(entry.localHeaderOffset + static_cast<uint64_t>(shift_)));
        code = kStructureError;
        return false;
    }
    if (got < kLocalHeaderSize) {
        messages_.Err("\nfile #%zu:  bad local header\n", number);
        code = kMemberError;
        return false;
    }
    localHeaderSeen_ = true;
    const uint16_t nameLength = Get16(header + 26);
    const uint16_t extraLength = Get16(header + 28);
    if (entry.HasDataDescriptor()) {
        // The sizes follow the data (8 bytes each with ZIP64); the central directory has them already.
        local.crc = entry.crc;
        local.compressedSize = entry.compressedSize;
        local.uncompressedSize = entry.uncompressedSize;
    } else {
        local.crc = Get32(header + 14);
        local.compressedSize = Get32(header + 18);
        local.uncompressedSize = Get32(header + 22);
        if (local.compressedSize == 0xFFFFFFFF || local.uncompressedSize == 0xFFFFFFFF) {
            // ZIP64: both sizes in the local extra field; where it lacks them, the central directory's.
            std::vector<uint8_t> extra(extraLength);
            size_t read = file_.ReadAt(at + kLocalHeaderSize + nameLength, extra.data(), extra.size());
            ApplyZip64Extra(extra.data(), read, &local.uncompressedSize, &local.compressedSize, nullptr,
                            nullptr);
            if (local.compressedSize == 0xFFFFFFFF)
                local.compressedSize = entry.compressedSize;
            if (local.uncompressedSize == 0xFFFFFFFF)
                local.uncompressedSize = entry.uncompressedSize;
        }
    }
    local.dataStart = at + kLocalHeaderSize + nameLength + extraLength;

    // A reader that walks the local headers must find the member the directory describes: another name,
    // method or size there is another file, and the archive is damaged.
    const char* disagreement = nullptr;
    const uint16_t flagMask = 0x0809 | (entry.method == 6 ? 0x0006 : 0);
    if (nameLength != stored.size() || got < buffer.size() ||
        !std::equal(stored.begin(), stored.end(), header + kLocalHeaderSize,
                    [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }))
        disagreement = "name";
    else if (Get16(header + 8) != entry.method)
        disagreement = "compression method";
    else if ((Get16(header + 6) & flagMask) != (entry.flags & flagMask))
        disagreement = "flags";
    else if (!entry.HasDataDescriptor() && local.crc != entry.crc)
        disagreement = "CRC";
    else if (!entry.HasDataDescriptor() && (local.compressedSize != entry.compressedSize ||
                                            local.uncompressedSize != entry.uncompressedSize))
        disagreement = "sizes";
    if (disagreement) {
        messages_.Err("file #%zu:  local header of %s disagrees with the central directory (%s)\n", number,
                      entry.name.c_str(), disagreement);
        code = kMemberError;
        return false;
    }
    return true;
}

bool ZipArchive::MemberExtractor::LocateData(const ZipEntry& entry, size_t number, uint64_t& dataStart,
                                             uint32_t& crc, uint64_t& compressedSize,
                                             uint64_t& uncompressedSize, int& code) {
    LocalHeader local;
    if (!archive_.ReadLocalHeader(entry, number, local, code))
        return false;
    crc = local.crc;
    compressedSize = local.compressedSize;
    uncompressedSize = local.uncompressedSize;
    dataStart = local.dataStart;
    return true;
}

int ZipArchive::MemberExtractor::EnsureDirectory(const std::string& path, const std::string& memberName) {
    if (knownDirectories_.count(path))
        return kOk;
    switch (fs::Stat(path)) {
    case fs::PathKind::Directory:
        break;
    case fs::PathKind::Missing:
        if (!fs::MakeDirectory(path)) {
            systemError_ = fs::LastSystemError();
            messages_.Err("checkdir error:  can't create %s\n                 unable to process %s.\n",
                          path.c_str(), memberName.c_str());
            return kWriteError;
        }
        break;
    default:
        messages_.Err(
            "checkdir error:  %s exists but is not directory\n                 unable to process %s.\n",
            path.c_str(), memberName.c_str());
        return kMemberError;
    }
    knownDirectories_.insert(path);
    return kOk;
}

ZipArchive::MemberExtractor::Result ZipArchive::MemberExtractor::Extract(const ZipEntry& entry,
                                                                         size_t number) {
    const char* name = entry.name.c_str();
    if (entry.damage) {
        messages_.Err("   skipping: %-22s  damaged: %s\n", name, entry.damage);
        return Fail(kMemberError);
    }
    if (!PassesEntryChecks(entry))
        return Skip();
    const unsigned host = entry.Host();
    if ((entry.externalAttributes & 0x08) && (host == 0 || host == 5 || host == 6 || host == 11)) {
        if (options_.quiet < 2)
            messages_.Out("   skipping: %-22s  %svolume label\n", name, "");
        return {Outcome::Completed, kOk};
    }
    std::vector<std::string> components;
    if (MapMemberPath(entry.name, fatVolume_, components) != PathVerdict::Safe) {
        messages_.Err("   skipping: %-22s  unsafe path\n", name);
        return Skip();
    }

    uint64_t dataStart = 0, compressedSize = 0, uncompressedSize = 0;
    uint32_t crc = 0;
    int code = kOk;
    if (!LocateData(entry, number, dataStart, crc, compressedSize, uncompressedSize, code))
        return Fail(code);

    // Directories on the way: every component of a directory member, all but the last of a file.
    const size_t directoryCount = entry.IsDirectory() ? components.size() : components.size() - 1;
    std::string path = directory_;
    for (size_t i = 0; i < directoryCount; ++i) {
        path = Join(path, components[i]);
        const int made = EnsureDirectory(path, entry.name);
        if (made != kOk)
            return Fail(made);
    }
    if (entry.IsDirectory()) {
        if (options_.quiet == 0)
            messages_.Out("   creating: %-22s\n", name);
        return {Outcome::Completed, kOk};
    }
    // No length limit of our own: a path longer than the file system takes fails to be written like any
    // other, whereas a cut one would write a different file.
    path = Join(path, components.back());
    Result written = WriteMember(entry, path, dataStart, crc, compressedSize, uncompressedSize);
    written.code = std::max(written.code, code);
    return written;
}

int ZipArchive::MemberExtractor::ReportDecodeFailure(const ZipEntry& entry, DecodeStatus status) {
    const bool quiet = options_.quiet > 0;
    const char* name = entry.name.c_str();
    const bool noMemory = status == DecodeStatus::NoMemory;
    if (entry.method == 1 && noMemory) {
        if (quiet)
            messages_.Err("  error:  not enough memory to unshrink %s\n", name);
        else
            messages_.Err("\n  error:  not enough memory for unshrink operation\n");
        return kDecoderMemory;
    }
    const char* quietText = nullptr;
    const char* fullText = nullptr;
    if (entry.method == 6) {
        quietText = noMemory ? "not enough memory to explode " : "invalid compressed (imploded) data for ";
        fullText = noMemory ? "not enough memory for explode operation"
                            : "invalid compressed data for explode format";
    } else if (entry.method == 8 || entry.method == 9) {
        quietText = noMemory ? "not enough memory to inflate " : "invalid compressed (deflated) data for ";
        fullText = noMemory ? "not enough memory for inflate operation"
                            : "invalid compressed data for inflate format";
    } else {
        quietText = noMemory ? "not enough memory to expand " : "invalid compressed data for ";
        fullText = noMemory ? "not enough memory for expand operation" : "invalid compressed data";
    }
    if (quiet)
        messages_.Err("  error:  %s%s\n", quietText, name);
    else
        messages_.Err("\n  error:  %s\n", fullText);
    return noMemory ? kDecoderMemory : kMemberError;
}

// Keeps hidden and system, always sets archive, never read-only.
void ZipArchive::MemberExtractor::SetMemberAttributes(const ZipEntry& entry, const std::string& path) {
    unsigned attributes = ((entry.externalAttributes & 0xFF) | 0x20) & ~0x01u & 0x27u;
    if (!fs::SetAttributes(path, attributes))
        messages_.Err("\nwarning (%d): could not set file attributes\n", fs::LastSystemError());
}

ZipArchive::MemberExtractor::Result
ZipArchive::MemberExtractor::WriteMember(const ZipEntry& entry, const std::string& path, uint64_t dataStart,
                                         uint32_t crc, uint64_t compressedSize, uint64_t uncompressedSize) {
    const char* name = entry.name.c_str();
    fs::OutputFile file;
    // An existing file is replaced without asking (the installer's policy lists ran before): a read-only
    // one loses that protection first, or, with completeFilesOnly, it stays until the whole member is
    // written beside it. A new name is written directly: it held nothing to lose, and a second name for
    // every file of a fresh installation would cost more than the writing itself.
    bool staged = false;
    if (!file.CreateNew(path)) {
        const bool existing = fs::Stat(path) == fs::PathKind::File;
        staged = existing && options_.completeFilesOnly;
        if (!existing || !(staged ? file.CreateStaged(path) : fs::MakeWritable(path) && file.Create(path))) {
            systemError_ = file.LastError();
            messages_.Err("error:  cannot create %s\n", path.c_str());
            return Fail(kWriteError);
        }
    }
    if (options_.quiet == 0)
        messages_.Out(" extracting: %-22s\n", name);

    FileRangeSource source(archive_.file_, dataStart, compressedSize, input_);
    MemberSink sink(file, uncompressedSize, output_);
    DecodeResult decoded = DecodeMethod(entry.method, entry.flags, source, sink, uncompressedSize);
    bool flushed = sink.Flush();
    if (sink.WriteFailed() || !flushed) {
        systemError_ = file.LastError();
        messages_.Err("error:  cannot write %s\n", path.c_str());
        return Fail(kWriteError);
    }
    if (source.Truncated()) {
        messages_.Err("error:  unexpected end of zipfile while reading %s\n", name);
        return Fail(kUnexpectedEnd);
    }
    DecodeStatus status = sink.Overflowed() ? DecodeStatus::BadData : decoded.status;
    // Shrink and reduce streams carry no check of their own: a damaged one shows as a CRC mismatch.
    const bool selfChecking =
        entry.method == 0 || entry.method == 6 || entry.method == 8 || entry.method == 9;
    if (status == DecodeStatus::NoMemory || (status == DecodeStatus::BadData && selfChecking))
        return Fail(ReportDecodeFailure(entry, status));

    int code = kOk;
    if (entry.method == 6 && status == DecodeStatus::Ok && decoded.bytesConsumed != compressedSize) {
        const bool fewer = decoded.bytesConsumed < compressedSize;
        messages_.Err("%s  %s:  %lld bytes required to uncompress to %llu bytes;\n"
                      "       %s   supposed to require %llu bytes%s%s%s\n",
                      fewer ? "error" : "warning", name, static_cast<long long>(decoded.bytesConsumed),
                      static_cast<unsigned long long>(uncompressedSize), fewer ? "  " : "    ",
                      static_cast<unsigned long long>(compressedSize), "", "", "");
        code = fewer ? kMemberError : kWarning;
    }

    if (!file.SetModificationTime(entry.dosDate, entry.dosTime))
        messages_.Err("\nCreateFile error %d when trying set file time\n", file.LastError());
    if (!file.Close()) {
        systemError_ = file.LastError();
        messages_.Err("error:  cannot write %s\n", path.c_str());
        return Fail(kWriteError);
    }
    if (!staged)
        SetMemberAttributes(entry, path);
    if (sink.Crc() != crc) {
        if (options_.quiet > 0)
            messages_.Err("%-22s ", name);
        messages_.Err(" bad CRC %08lx  (should be %08lx)\n", static_cast<unsigned long>(sink.Crc()),
                      static_cast<unsigned long>(crc));
        return Fail(kMemberError);
    }
    if (code >= kMemberError)
        return Fail(code);
    if (!staged)
        return {Outcome::Completed, code};
    SetMemberAttributes(entry, file.WrittenPath()); // before the file takes its name
    if (!file.Publish()) {
        systemError_ = file.LastError();
        messages_.Err("error:  cannot create %s\n", path.c_str());
        return Fail(kWriteError);
    }
    return {Outcome::Completed, code};
}

int ZipArchive::Open(const std::string& path, int quiet) {
    std::string actual = path;
    if (fs::Stat(actual) == fs::PathKind::Missing && fs::Stat(path + ".zip") != fs::PathKind::Missing)
        actual = path + ".zip";
    if (fs::Stat(actual) == fs::PathKind::Directory) {
        messages_.Err("error:  %s is a directory\n", actual.c_str());
        return openCode_ = kArchiveIsDirectory;
    }
    if (!file_.Open(actual)) {
        messages_.Err("error:  cannot find or open %s or %s.zip\n", path.c_str(), path.c_str());
        return openCode_ = kNoArchive;
    }
    path_ = actual;
    return openCode_ = ReadDirectory(quiet);
}

int ZipArchive::OpenMemory(const uint8_t* data, size_t size, const std::string& name, int quiet) {
    file_.OpenMemory(data, size);
    path_ = name;
    return openCode_ = ReadDirectory(quiet);
}

int ZipArchive::ReadDirectory(int quiet) {
    const char* name = path_.c_str();
    EndRecord end;
    if (!FindEndRecord(file_, end)) {
        if (quiet == 0)
            messages_.Err("[%s]\n", name);
        messages_.Err("%s", kNoEndRecord);
        return kNoArchive;
    }
    std::string problem;
    switch (ReadZip64End(file_, end, problem)) {
    case Zip64End::Absent:
    case Zip64End::Found:
        break;
    case Zip64End::Bad:
        messages_.Err("error [%s]:  %s;\n  zipfile corrupt.\n", name, problem.c_str());
        return kStructureError;
    case Zip64End::MultiDisk:
        end.thisDisk = 2;
        break;
    }
    int code = kOk;
    if (end.thisDisk == 1 && end.directoryDisk == 1) {
        messages_.Err("\n     Warning:  zipfile claims to be second disk of a two-part archive;\n"
                      "     attempting to process anyway.  If further errors occur, the archive\n"
                      "     really is one part of a multi-part set.\n\n");
        code = kWarning;
    } else if (end.thisDisk != 0) {
        messages_.Err("\nerror [%s]:  zipfile is part of multi-disk archive\n  (sorry, not yet supported).\n",
                      name);
        return kMultiDisk;
    }

    // Bytes before the archive proper (a self-extractor stub) shift every offset the archive records.
    // The values are below 2^32, or (ZIP64) checked to end before the directory's end.
    uint64_t directoryOffset = end.directoryOffset;
    const int64_t extra =
        static_cast<int64_t>(end.directoryEnd) -
        (static_cast<int64_t>(end.directoryOffset) + static_cast<int64_t>(end.directorySize));
    if (extra < 0) {
        messages_.Err("error [%s]:  missing %lld bytes in zipfile\n  (attempting to process anyway)\n", name,
                      static_cast<long long>(-extra));
        code = std::max<int>(code, kMemberError);
    } else if (extra > 0) {
        if (end.directoryOffset != 0 || end.directorySize == 0) {
            messages_.Err("warning [%s]:  extra %lld bytes at beginning or within zipfile\n"
                          "  (attempting to process anyway)\n",
                          name, static_cast<long long>(extra));
            shift_ = extra;
            code = std::max<int>(code, kWarning);
        } else {
            messages_.Err("error [%s]:  NULL central directory offset\n  (attempting to process anyway)\n",
                          name);
            directoryOffset = static_cast<uint64_t>(extra);
            code = std::max<int>(code, kMemberError);
        }
    }
    if (end.directoryOffset == 0 && end.directorySize == 0) {
        messages_.Err("warning [%s]:  zipfile is empty\n", name);
        usable_ = true;
        return std::max<int>(code, kWarning);
    }

    auto centralSignatureAt = [&](int64_t at) {
        uint8_t signature[4];
        return at >= 0 && file_.ReadAt(static_cast<uint64_t>(at), signature, 4) == 4 &&
               Get32(signature) == kCentralHeaderSignature;
    };
    const int64_t shifted = static_cast<int64_t>(directoryOffset) + shift_;
    if (!centralSignatureAt(shifted)) {
        if (shift_ != 0 && centralSignatureAt(static_cast<int64_t>(directoryOffset))) {
            messages_.Err("error [%s]:  reported length of central directory is\n"
                          "  %lld bytes too long (made by an archiver that miscounts the\n"
                          "  directory?).  Compensating...\n",
                          name, static_cast<long long>(shift_));
            shift_ = 0;
            code = std::max<int>(code, kMemberError);
        } else {
            messages_.Err("error [%s]:  start of central directory not found;\n  zipfile corrupt.\n%s", name,
                          kBinaryModeHint);
            return std::max<int>(code, kStructureError);
        }
    }
    code = std::max(code, ReadCentralDirectory(
                              end, static_cast<uint64_t>(static_cast<int64_t>(directoryOffset) + shift_)));
    usable_ = true;
    return code;
}

int ZipArchive::ReadCentralDirectory(const EndRecord& end, uint64_t start) {
    SequentialReader reader(file_, start);
    // Counts are checked against the directory's size; a classic count is at most 65,535.
    entries_.reserve(
        static_cast<size_t>(std::min<uint64_t>(end.totalEntries, file_.Size() / kCentralHeaderSize)));
    int code = kOk;
    std::vector<uint8_t> extra;
    for (uint64_t i = 0; i < end.totalEntries; ++i) {
        const unsigned long long number = i + 1;
        uint8_t h[kCentralHeaderSize];
        if (!reader.Read(h, 4) || Get32(h) != kCentralHeaderSignature) {
            messages_.Err("error:  expected central file header signature not found (file #%llu).\n", number);
            messages_.Err("%s", kBinaryModeHint);
            inconsistency_ = "the end record counts " + std::to_string(end.totalEntries) +
                             " entries, the central directory holds " + std::to_string(i);
            return kStructureError;
        }
        ZipEntry e;
        const bool headerRead = reader.Read(h + 4, kCentralHeaderSize - 4);
        const uint16_t nameLength = Get16(h + 28);
        std::string raw(nameLength, '\0');
        extra.resize(Get16(h + 30));
        if (!headerRead || !reader.Read(&raw[0], nameLength) || !reader.Read(extra.data(), extra.size()) ||
            !reader.Skip(Get16(h + 32))) {
            messages_.Err("error:  unexpected end of zipfile in the central directory (file #%llu).\n",
                          number);
            inconsistency_ = "the central directory ends within entry " + std::to_string(number);
            return kUnexpectedEnd;
        }
        e.versionMadeBy = Get16(h + 4);
        e.versionNeeded = Get16(h + 6);
        e.flags = Get16(h + 8);
        e.method = Get16(h + 10);
        e.dosTime = Get16(h + 12);
        e.dosDate = Get16(h + 14);
        e.crc = Get32(h + 16);
        e.compressedSize = Get32(h + 20);
        e.uncompressedSize = Get32(h + 24);
        e.disk = Get16(h + 34);
        e.externalAttributes = Get32(h + 38);
        e.localHeaderOffset = Get32(h + 42);
        // ZIP64: the fields set to all ones are in the extended-information extra field, in order.
        if (e.uncompressedSize == 0xFFFFFFFF || e.compressedSize == 0xFFFFFFFF ||
            e.localHeaderOffset == 0xFFFFFFFF || e.disk == 0xFFFF) {
            ApplyZip64Extra(extra.data(), extra.size(),
                            e.uncompressedSize == 0xFFFFFFFF ? &e.uncompressedSize : nullptr,
                            e.compressedSize == 0xFFFFFFFF ? &e.compressedSize : nullptr,
                            e.localHeaderOffset == 0xFFFFFFFF ? &e.localHeaderOffset : nullptr,
                            e.disk == 0xFFFF ? &e.disk : nullptr);
        }
        // Kept whole, however long (the field holds at most 65535 bytes): a cut name is another file.
        if (HasControlCharacters(raw))
            e.damage = "control character in the name";
        std::string name = MemberNameAsUtf8(ShowControlCharacters(raw), e.HasUtf8Name());
        e.name = NormalizeMemberName(name, e.Host());
        // Old archivers marked folders by the MS-DOS directory attribute alone, or by a Unix mode.
        const bool folderAttribute = (e.externalAttributes & 0x10) ||
                                     (e.Host() == 3 && ((e.externalAttributes >> 16) & 0xF000) == 0x4000);
        if (folderAttribute && !e.IsDirectory() && !e.name.empty() && e.uncompressedSize == 0)
            e.name += '/';
        if (raw != e.name)
            e.rawName = std::move(raw);
        entries_.push_back(std::move(e));
    }
    uint8_t signature[4];
    const uint32_t expected = end.zip64 ? kZip64EndRecordSignature : kEndRecordSignature;
    const bool signatureRead = reader.Read(signature, 4);
    if (signatureRead && Get32(signature) == kCentralHeaderSignature) {
        // The members beyond the count would be missing without a word.
        inconsistency_ = "the end record counts " + std::to_string(end.totalEntries) +
                         " entries, the central directory holds more";
        messages_.Err("error [%s]:  %s;\n  zipfile corrupt.\n", path_.c_str(), inconsistency_.c_str());
        return kStructureError;
    }
    if (!signatureRead || Get32(signature) != expected) {
        messages_.Err("\nnote:  didn't find end-of-central-dir signature at end of central dir.\n");
        code = std::max<int>(code, kWarning);
    }
    if (end.thisDisk == 0 && end.entriesOnDisk != end.totalEntries) {
        inconsistency_ = "the end record counts " + std::to_string(end.entriesOnDisk) +
                         " entries on this disk and " + std::to_string(end.totalEntries) + " in all";
        messages_.Err("error [%s]:  %s;\n  zipfile corrupt.\n", path_.c_str(), inconsistency_.c_str());
        return kStructureError;
    }
    return code;
}

int ZipArchive::Test(size_t index, OutputSink& out) {
    if (!usable_ || index >= entries_.size())
        return kUsage;
    const ZipEntry& entry = entries_[index];
    if (!inconsistency_.empty())
        return kStructureError;
    if (entry.damage) {
        messages_.Err("%s:  damaged: %s\n", entry.name.c_str(), entry.damage);
        return kMemberError;
    }
    const std::string notDecoded = MethodNotDecoded(entry);
    if (!notDecoded.empty()) {
        messages_.Err("%s:  packed with %s, which this engine does not decode\n", entry.name.c_str(),
                      notDecoded.c_str());
        return kWarning;
    }
    if ((entry.versionNeeded & 0xFF) > 45)
        return kWarning;
    if (entry.IsDirectory())
        return kOk;
    LocalHeader local;
    int code = kOk;
    if (!ReadLocalHeader(entry, index + 1, local, code))
        return code;
    inputBuffer_.resize(kInputBufferSize);
    FileRangeSource source(file_, local.dataStart, local.compressedSize, inputBuffer_);
    CheckingSink sink(out, local.uncompressedSize);
    DecodeResult decoded = DecodeMethod(entry.method, entry.flags, source, sink, local.uncompressedSize);
    if (source.Truncated())
        return kUnexpectedEnd;
    if (decoded.status == DecodeStatus::NoMemory)
        return kDecoderMemory;
    if (sink.Overflowed() || decoded.status != DecodeStatus::Ok || sink.Crc() != local.crc)
        return kMemberError;
    return kOk;
}

bool ZipArchive::IsFatDirectory(const std::string& directory) {
    // Asking the volume costs several system calls on Windows; the installer extracts into one directory.
    if (!fatKnown_ || directory != fatDirectory_) {
        fatDirectory_ = directory;
        fatVolume_ = fs::IsFatVolume(directory.empty() ? "." : directory);
        fatKnown_ = true;
    }
    return fatVolume_;
}

void ZipArchive::IndexNames() const {
    if (indexed_)
        return;
    exactIndex_.reserve(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].IgnoresCase())
            foldedIndex_.emplace(ToLowerAscii(entries_[i].name), i);
        else
            exactIndex_.emplace(entries_[i].name, i);
    }
    indexed_ = true;
}

std::vector<size_t> ZipArchive::Select(const std::vector<std::string>& patterns, bool exactNames,
                                       std::vector<bool>& patternUsed) const {
    std::vector<size_t> selected;
    patternUsed.assign(patterns.size(), false);
    if (patterns.empty()) {
        selected.resize(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i)
            selected[i] = i;
        return selected;
    }
    for (size_t p = 0; p < patterns.size(); ++p) {
        const std::string& pattern = patterns[p];
        const size_t before = selected.size();
        if (exactNames || !HasWildcards(pattern)) {
            // A plain name: look it up instead of walking the whole directory.
            IndexNames();
            auto exact = exactIndex_.equal_range(pattern);
            for (auto it = exact.first; it != exact.second; ++it)
                selected.push_back(it->second);
            auto folded = foldedIndex_.equal_range(ToLowerAscii(pattern));
            for (auto it = folded.first; it != folded.second; ++it)
                selected.push_back(it->second);
        } else {
            for (size_t i = 0; i < entries_.size(); ++i)
                if (WildcardMatch(pattern, entries_[i].name, entries_[i].IgnoresCase()))
                    selected.push_back(i);
        }
        patternUsed[p] = selected.size() > before;
    }
    // Archive order, each member once.
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    return selected;
}

int ZipArchive::List(const std::vector<std::string>& patterns, Listing& listing) const {
    int code = openCode_;
    std::vector<bool> used;
    for (size_t i : Select(patterns, false, used)) {
        listing.entries.push_back(
            {entries_[i].name, entries_[i].uncompressedSize, entries_[i].HasUtf8Name()});
        listing.total += entries_[i].uncompressedSize;
    }
    for (size_t p = 0; p < patterns.size(); ++p) {
        if (!used[p]) {
            messages_.Err("caution: filename not matched:  %s\n", patterns[p].c_str());
            code = std::max<int>(code, kWarning);
        }
    }
    return code;
}

ExtractReport ZipArchive::Extract(const std::vector<std::string>& patterns, bool exactNames,
                                  const std::string& directory, const ExtractOptions& options) {
    ExtractReport report;
    report.code = openCode_;
    if (!usable_)
        return report;
    std::vector<bool> used;
    std::vector<size_t> selected = Select(patterns, exactNames, used);
    for (size_t p = 0; p < patterns.size(); ++p) {
        if (!used[p]) {
            messages_.Err("caution: filename not matched:  %s\n", patterns[p].c_str());
            report.code = std::max<int>(report.code, kWarning);
            ++report.unmatchedPatterns;
        }
    }
    if (selected.empty())
        return report;
    if (!directory.empty() && fs::Stat(directory) != fs::PathKind::Directory) {
        // Create the whole chain: the caller's parents may be missing too.
        bool created = true;
        for (size_t i = 1; i <= directory.size() && created; ++i) {
            if (i == directory.size() || directory[i] == '/' || directory[i] == '\\') {
                std::string prefix = directory.substr(0, i);
                if (!(prefix.size() == 2 && prefix[1] == ':') && fs::Stat(prefix) != fs::PathKind::Directory)
                    created = fs::MakeDirectory(prefix);
            }
        }
        if (!created) {
            report.systemError = fs::LastSystemError();
            messages_.Err("checkdir:  can't create extraction directory: %s\n", directory.c_str());
            report.code = std::max<int>(report.code, kWriteError);
            return report;
        }
    }
    report.matched = selected.size();
    if (!inconsistency_.empty()) {
        // Nothing of an archive whose records disagree: the members it would leave out go missing unseen.
        messages_.Err("error [%s]:  %s;\n  nothing extracted.\n", path_.c_str(), inconsistency_.c_str());
        report.code = std::max<int>(report.code, kStructureError);
        return report;
    }
    MemberExtractor extractor(*this, directory, options);
    for (size_t index : selected) {
        MemberExtractor::Result result = extractor.Extract(entries_[index], index + 1);
        report.code = std::max(report.code, result.code);
        if (result.outcome == MemberExtractor::Outcome::Completed)
            ++report.completed;
    }
    report.systemError = extractor.SystemError();
    report.notDecodedMember = extractor.NotDecodedMember();
    report.notDecodedMethod = extractor.NotDecodedMethod();
    return report;
}

std::string ZipArchive::WrittenName(const std::string& member, const std::string& directory) {
    std::vector<bool> used;
    const std::vector<size_t> selected = Select({member}, true, used);
    if (selected.empty())
        return "";
    const ZipEntry& entry = entries_[selected.front()];
    std::vector<std::string> components;
    if (MapMemberPath(entry.name, IsFatDirectory(directory), components) != PathVerdict::Safe)
        return "";
    return WrittenPath(components, entry.IsDirectory());
}

} // namespace orvik::unzip
