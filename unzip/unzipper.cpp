#include "unzip/unzipper.h"

#include "lib/orvik.h"
#include "lib/textcodec.h"
#include "unzip/engine.h"
#include "unzip/fs.h"
#include "unzip/names.h"

#include <algorithm>
#include <cstring>

using namespace orvik::unzip;

namespace {

// Engine messages go to the standard streams as always, and into the log, where a windowed installer
// can still show them.
class LoggedMessages : public Messages {
protected:
    void Emit(Stream stream, const std::string& text) override {
        Messages::Emit(stream, text);
        LogPrintf("UNZIPPER: %s", text.c_str());
    }
};

STRING WithForwardSlashes(const STRING& text) {
    STRING copy = text;
    copy.Replace("\\", "/");
    return copy;
}

// The engine's text is UTF-8; the installer's is in the active code page (UTF-8 too, unless the system
// ignores the manifest).
std::string EngineText(const STRING& text) {
    return TEXTCODEC::ToUtf8(text.c_str() ? text.c_str() : "");
}

// destination + separator + name, the separator only when the destination does not end in one; for the
// engine.
std::string MemberPath(const STRING& destination, const STRING& name) {
    std::string path = destination.c_str() ? destination.c_str() : "";
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '/';
    return TEXTCODEC::ToUtf8(path + name.Text());
}

bool HasPatternCharacters(const STRING& text) {
    return text.Pos("*") >= 0 || text.Pos("?") >= 0;
}

// The parents of the destination; the engine creates its last component. The separator right after a
// drive letter and colon is no cut point.
void CreateParentDirectories(const STRING& destination) {
    const std::string path = EngineText(destination);
    for (size_t i = 1; i < path.size(); ++i) {
        if ((path[i] == '\\' || path[i] == '/') && i != 2)
            fs::MakeDirectory(path.substr(0, i));
    }
}

} // namespace

UNZIPPER::UNZIPPER(const STRING& archive, const STRING& askoverwrite, const STRING& protectedfiles,
                   ASKOVERWRITE ask)
    : AskOverwriteList(WithForwardSlashes(askoverwrite)), ProtectedList(WithForwardSlashes(protectedfiles)),
      Ask(ask ? std::move(ask) : ASKOVERWRITE(UnzipperAskOverwrite)), EngineMessages(new LoggedMessages),
      Archive(new ZipArchive(*EngineMessages)), Table(new Listing) {
    ArchiveName = archive.Text();
    LogPrintf("UNZIPPER::UNZIPPER(%s)\n", ArchiveName.Text());
    std::string path = TEXTCODEC::ToUtf8(ArchiveName.Text());
    std::replace(path.begin(), path.end(), '\\', '/');
    int error = Archive->Open(path, 0);
    if (Archive->IsUsable())
        error = std::max(error, Archive->List({}, *Table));
    // A directory that cannot be read is a damaged package, which the caller reports: no assertion, whose
    // box would wait for a person in a run that has none.
    // A warning (data before the archive, a tolerated oddity) leaves every member listed.
    Readable = Archive->IsUsable() && error <= orvik::unzip::kWarning;
    LogPrintf("UNZIPPER::~UNZIPPER() %d members, %lld bytes, result %d%s\n",
              static_cast<int>(Table->entries.size()), static_cast<long long>(Table->total), error,
              Readable ? "" : ": the archive's directory cannot be read");
}

UNZIPPER::~UNZIPPER() = default;

int64_t UNZIPPER::GetTotalSize() const {
    return static_cast<int64_t>(Table->total);
}

int64_t UNZIPPER::GetFirstFile(STRING& name) {
    Cursor = 0;
    return GetNextFile(name);
}

int64_t UNZIPPER::GetNextFile(STRING& name) {
    if (Cursor >= static_cast<int>(Table->entries.size())) {
        name = "";
        return 0;
    }
    const ListingEntry& entry = Table->entries[static_cast<size_t>(Cursor++)];
    name = TEXTCODEC::FromUtf8(entry.name).c_str();
    return static_cast<int64_t>(entry.size);
}

bool ProtectedEntryMatches(const STRING& entry, const STRING& member) {
    const STRING pattern = WithForwardSlashes(entry);
    if (HasPatternCharacters(pattern))
        return WildcardMatch(pattern.Text(), member.Text(), true);
    return StringCompareNoCase(pattern.Text(), member.Text()) == 0;
}

bool UNZIPPER::IsProtected(const STRING& name, const STRING& destination) const {
    bool keep = false;
    for (int i = 0;; ++i) {
        STRING item = ProtectedList.Word(i, "|");
        if (!item.NotNull())
            break;
        STRING pattern = item.Word(0, ";", WORD_NOTNULL);
        if (pattern.IsEmpty())
            continue;
        if (ProtectedEntryMatches(pattern, name) &&
            fs::Stat(MemberPath(destination, Written)) != fs::PathKind::Missing) {
            LogPrintf("UNZIPPER::ExtractFile() %s is protected and exists\n", name.Text());
            keep = true;
        }
    }
    return keep;
}

bool UNZIPPER::MayOverwrite(const STRING& name, const STRING& destination) const {
    for (int i = 0;; ++i) {
        STRING item = AskOverwriteList.Word(i, "|");
        if (!item.NotNull())
            break;
        STRING member = item.Word(0, ";", WORD_NOTNULL);
        if (member.IsEmpty() || StringCompareNoCase(member.Text(), name.Text()) != 0)
            continue;
        if (fs::Stat(MemberPath(destination, Written)) == fs::PathKind::Missing)
            continue;
        STRING description = item.Word(1, ";", WORD_NOTNULL);
        bool yes = Ask(description.NotEmpty() ? description : name);
        LogPrintf("UNZIPPER::ExtractFile() overwrite %s: %s\n", name.Text(), yes ? "yes" : "no");
        return yes;
    }
    return true;
}

int UNZIPPER::ExtractFile(const char* name, const char* destination, int* extracted) {
    STRING member(name);
    STRING target(destination);
    LogPrintf("UNZIPPER::ExtractFile(%s, %s)\n", member.Text(), target.Text());
    if (target.NotEmpty() && fs::Stat(EngineText(target)) != fs::PathKind::Directory)
        CreateParentDirectories(target);

    Failure = FAILURE::None;
    SystemError = 0;
    Method = "";
    // The policies look at the file the member would replace, under the name it is written as.
    Written = WrittenName(name, destination);
    if (Written.IsEmpty())
        Written = member;
    bool run = !IsProtected(member, target) && MayOverwrite(member, target);
    int result = 1;
    if (run && BeforeWrite) {
        SystemError = BeforeWrite(Written);
        if (SystemError != 0) {
            Failure = FAILURE::Write;
            LogPrintf("UNZIPPER::~ExtractFile() not written: system error %d before the write\n",
                      SystemError);
            if (extracted)
                *extracted = 0;
            return 0;
        }
    }
    if (run) {
        ExtractOptions options;
        options.quiet = 2;
        options.completeFilesOnly = true;
        // The installer has no console to ask on: members stored in VMS format are not extracted.
        options.confirmVmsMember = [](const std::string&) { return false; };
        ExtractReport report =
            Archive->Extract({EngineText(member)}, true, EngineText(WithForwardSlashes(target)), options);
        // A member written completely with a correct CRC counts as extracted, even when the archive as a
        // whole drew a warning (a self-extractor prefix, say).
        result = report.AllMatchedCompleted() ? 1 : 0;
        if (result == 0)
            Failure = report.code == kWriteError ? FAILURE::Write : FAILURE::Archive;
        if (result == 0 && !report.notDecodedMethod.empty()) {
            Failure = FAILURE::Method;
            Method = TEXTCODEC::FromUtf8(report.notDecodedMethod).c_str();
        }
        if (Failure == FAILURE::Write)
            SystemError = report.systemError;
        LogPrintf("UNZIPPER::~ExtractFile() engine result %d, system error %d, %s\n", report.code,
                  SystemError, result ? "extracted" : "failed");
    }
    if (extracted)
        *extracted = run ? 1 : 0;
    return result;
}

STRING UNZIPPER::WrittenName(const char* name, const char* destination) {
    const std::string written =
        Archive->WrittenName(EngineText(STRING(name)), EngineText(WithForwardSlashes(STRING(destination))));
    return STRING(TEXTCODEC::FromUtf8(written).c_str());
}
