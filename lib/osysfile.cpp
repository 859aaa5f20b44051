// FILENAME, the shell-string table, FILEFIND and the tree operations. Everything here is portable; the calls
// that differ between systems go through osysfile_platform.h.
#include "lib/filename.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/osysfile_platform.h"
#include "lib/stringarray.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

void ToBackslashes(STRING& text) {
    char* p = text.GetBuffer();
    if (p == nullptr)
        return;
    for (int i = 0; i < text.Length(); ++i)
        if (p[i] == '/')
            p[i] = '\\';
}

// Length of the root at the start of a "\" name: "\" (1), "X:\" (3); 0 when there is none.
int RootLength(const STRING& text) {
    const int n = text.Length();
    if (n >= 1 && text[0] == '\\')
        return 1;
    if (n >= 3 && text[1] == ':' && text[2] == '\\')
        return 3;
    return 0;
}

// Trailing separators go, except the one of a bare root: removing it would turn "C:\" into the current
// directory of drive C and "\" into an empty (relative) name.
void StripTrailingSeparators(STRING& text) {
    const int root = RootLength(text);
    int n = text.Length();
    while (n > root && text[n - 1] == '\\')
        --n;
    if (n < text.Length())
        text.Truncate(n);
}

// The process-wide table of shell-folder placeholders, sorted longest name first.
class SHELLSTRINGTABLE {
public:
    static constexpr int MaxEntries = 32;

    struct ENTRY {
        STRING Name;
        STRING AltName; // $(NAME)
        STRING Value;
        uint32_t Flags = 0;
    };

    static SHELLSTRINGTABLE& Process() {
        static SHELLSTRINGTABLE table;
        return table;
    }

    // True for the one caller that is to fill the table now.
    bool BeginFill() {
        if (State != FillState::Empty)
            return false;
        State = FillState::Filling;
        return true;
    }
    void EndFill() { State = FillState::Filled; }

    void Set(const char* name, const char* value, uint32_t flags) {
        int slot = -1;
        for (int i = 0; i < MaxEntries && slot < 0; ++i)
            if (Entries[i].Name.IsEmpty() || std::strcmp(Entries[i].Name.c_str(), name) == 0)
                slot = i;
        if (slot < 0) {
            // clang-format off: the condition's text is what the assertion report shows
            ORVIK_ASSERT_INFO(slot>=0, name);
            // clang-format on
            return;
        }
        ENTRY& entry = Entries[slot];
        entry.Name = name;
        STRING bare(name);
        bare.Replace("%", "");
        entry.AltName = "$(" || bare || ")";
        entry.Value = value;
        entry.Flags = flags;
        SortLongestFirst();
    }

    // Each entry once, in table order, so that a value beginning with a later entry's name expands further.
    void ExpandStart(STRING& text) const {
        for (const ENTRY& entry : Entries) {
            if (entry.Name.IsEmpty() || entry.Value.IsEmpty())
                continue;
            STRING value = entry.Value;
            int n = value.Length();
            while (n > 0 && IsSeparator(value[n - 1]))
                --n;
            value.Truncate(n);
            if (entry.Name.NotEmpty() && StartsWithNoCase(text, entry.Name.c_str()))
                text = value || text.Mid(entry.Name.Length());
            if (entry.AltName.NotEmpty() && StartsWithNoCase(text, entry.AltName.c_str()))
                text = value || text.Mid(entry.AltName.Length());
        }
    }

private:
    enum class FillState { Empty, Filling, Filled };

    // Adjacent swaps while a name is shorter than the next: longest first, otherwise in insertion order.
    void SortLongestFirst() {
        bool swapped = true;
        while (swapped) {
            swapped = false;
            for (int i = 0; i + 1 < MaxEntries; ++i) {
                if (Entries[i].Name.Length() < Entries[i + 1].Name.Length()) {
                    std::swap(Entries[i], Entries[i + 1]);
                    swapped = true;
                }
            }
        }
    }

    ENTRY Entries[MaxEntries];
    FillState State = FillState::Empty;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Construction

FILENAME::FILENAME(const char* text) {
    SetFromText(text);
}

FILENAME::FILENAME(const STRING& text) {
    SetFromText(text.c_str());
}

FILENAME::FILENAME(const char* directory, const char* name) {
    BuildJoined(directory, name);
    LogPrintf("FILENAME::FILENAME returns %s\n", Text());
}

FILENAME::FILENAME(const char* directory, const char* subdirectory, const char* name) {
    FILENAME first(directory, subdirectory);
    BuildJoined(first.c_str(), name);
    Replace("\\.\\", "\\");
    StripTrailingSeparators(*this);
    LogPrintf("FILENAME::FILENAME returns %s\n", Text());
}

void FILENAME::SetFromText(const char* text) {
    Status = STATUSCACHE();
    if (text == nullptr) {
        Free();
        return;
    }
    if (StringCompareNoCase(text, "<self>") == 0) {
        STRING::operator=(OSYS::GetModulePath());
    } else if (StringCompareNoCase(text, "<tmp>") == 0 || StringCompareNoCase(text, "<temp>") == 0) {
        STRING fname = OSYSFILE::CreateUniqueTempFile();
        ORVIK_ASSERT(fname.NotNull());
        STRING::operator=(fname);
    } else {
        STRING::operator=(text);
    }
    ExpandShellString(*this);
}

void FILENAME::BuildJoined(const char* directory, const char* name) {
    Status = STATUSCACHE();
    const FILENAME namepart(name != nullptr ? name : "");
    if (namepart.IsAbsolute()) {
        STRING::operator=(namepart);
        return;
    }
    STRING joined(directory != nullptr && directory[0] != '\0' ? directory : ".");
    ToBackslashes(joined);
    int n = joined.Length();
    while (n > 0 && joined[n - 1] == '\\')
        --n;
    joined.Truncate(n);
    joined.Append("\\");
    joined.Append(namepart);
    // A placeholder at the start of the directory is expanded only now.
    ExpandShellString(joined);
    STRING::operator=(joined);
}

FILENAME& FILENAME::operator=(const char* text) {
    Status = STATUSCACHE();
    if (text == nullptr) {
        Free();
        return *this;
    }
    STRING::operator=(text);
    ToBackslashes(*this);
    StripTrailingSeparators(*this);
    return *this;
}

FILENAME& FILENAME::operator=(const STRING& text) {
    if (static_cast<const STRING*>(this) == &text)
        return *this;
    return operator=(text.c_str());
}

// ---------------------------------------------------------------------------------------------------------
// Queries

STRING FILENAME::Name() const {
    if (!NotNull())
        return STRING();
    const char* text = c_str();
    int start = 0;
    if (Length() >= 2 && text[1] == ':')
        start = 2;
    else if (text[0] == '~')
        start = 1;
    for (int i = Length() - 1; i >= start; --i) {
        if (IsSeparator(text[i]))
            return Mid(i + 1);
    }
    return Mid(start);
}

STRING FILENAME::Path() const {
    const char* text = c_str();
    for (int i = Length() - 1; i >= 0; --i) {
        if (!IsSeparator(text[i]))
            continue;
        const bool root = i == 0 || (i == 2 && text[1] == ':');
        return Left(root ? i + 1 : i);
    }
    if (Length() >= 2 && text[1] == ':')
        return Left(2);
    return STRING(".");
}

bool FILENAME::IsAbsolute() const {
    if (IsEmpty())
        return false;
    const char* text = c_str();
    return IsSeparator(text[0]) || text[0] == '~' || (Length() >= 2 && text[1] == ':');
}

bool FILENAME::IsDirectory() const {
    return NotEmpty() && OSYSFILE::IsDirectory(c_str());
}

bool FILENAME::Exists() const {
    int error = ENOENT;
    if (NotEmpty() && OSYSFILE::Exists(c_str(), &error))
        return true;
    LogPrintf("FILENAME::Exists '%s' returns %s\n", Text(), std::strerror(error));
    return false;
}

#if defined(_WIN32)
uint32_t FILENAME::GetAttributes() const {
    return OSYSFILE::GetAttributes(c_str());
}

bool FILENAME::SetAttributes(uint32_t attributes) const {
    return NotEmpty() && OSYSFILE::SetAttributes(c_str(), attributes);
}
#endif

bool FILENAME::SetReadOnly(bool readonly) const {
    return NotEmpty() && OSYSFILE::SetReadOnly(c_str(), readonly);
}

bool FILENAME::Delete() const {
    return NotEmpty() && OSYSFILE::RemoveFile(c_str());
}

bool FILENAME::MakeDir() const {
    return NotEmpty() && OSYSFILE::MakeDir(c_str());
}

bool FILENAME::RemoveDir() const {
    return NotEmpty() && OSYSFILE::RemoveDir(c_str());
}

int64_t FILENAME::Size() const {
    OSYSFILE::FILESTATUS status;
    if (IsEmpty() || !OSYSFILE::Stat(c_str(), status))
        return -1;
    return status.Size;
}

int64_t FILENAME::ModTime(bool refresh) {
    if (!Status.Filled || refresh) {
        Status = STATUSCACHE();
        OSYSFILE::FILESTATUS status;
        if (NotEmpty() && OSYSFILE::Stat(c_str(), status)) {
            Status.Filled = true;
            Status.Size = status.Size;
            Status.AccessTime = status.AccessTime;
            Status.ModTime = status.ModTime;
            Status.ChangeTime = status.ChangeTime;
        }
    }
    return Status.ModTime;
}

// ---------------------------------------------------------------------------------------------------------
// Single-file operations

bool FILENAME::Rename(const char* newname, bool overwrite) const {
    if (IsEmpty() || newname == nullptr)
        return false;
    const FILENAME target(Path().c_str(), FILENAME(newname).Name().c_str());
    // Replacing a file by itself would delete it before the move.
    if (OSYSFILE::IsSameFile(c_str(), target.c_str()))
        return std::strcmp(c_str(), target.c_str()) == 0 || OSYSFILE::MoveEntry(c_str(), target.c_str());
    if (overwrite && target.Exists())
        target.Delete();
    return OSYSFILE::MoveEntry(c_str(), target.c_str());
}

bool FILENAME::Copy(const char* target, bool overwrite) const {
    if (IsEmpty() || target == nullptr || target[0] == '\0')
        return false;
    const FILENAME to = [target] {
        FILENAME name;
        name = target;
        return name;
    }();
    if (!overwrite && to.Exists())
        return false;
    // Opening the target for writing would empty the source first.
    if (OSYSFILE::IsSameFile(c_str(), to.c_str()))
        return false;
    FILEPTR in(fsopen(c_str(), "rb"));
    if (!in)
        return false;
    FILEPTR out(fsopen(to.c_str(), "wb"));
    if (!out)
        return false;
    char block[4096];
    bool complete = true;
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, in.get());
        complete = std::fwrite(block, 1, got, out.get()) == got;
        if (!complete || got < sizeof block)
            break;
    }
    if (std::ferror(in.get()))
        complete = false;
    return std::fclose(out.release()) == 0 && complete;
}

int FILENAME::ShareModeFor(const char* mode, int share) {
    if (share != FSOPEN_SHARE_DEFAULT)
        return share;
    if (mode == nullptr)
        return 0;
    const bool reading = std::strchr(mode, 'r') != nullptr;
    if (std::strchr(mode, 'w') != nullptr || std::strchr(mode, 'a') != nullptr ||
        (reading && std::strchr(mode, '+') != nullptr))
        return FSOPEN_DENY_READWRITE;
    if (reading)
        return FSOPEN_DENY_WRITE;
    return 0;
}

FILE* FILENAME::fsopen(const char* path, const char* mode, int share) {
    LogPrintf("FILENAME::fsopen(%s, %s, %d)\n", StringNullPolicy(path, "fsopen path"),
              StringNullPolicy(mode, "fsopen mode"), share);
    if (path == nullptr || mode == nullptr)
        return nullptr;
    const int sharemode = ShareModeFor(mode, share);
    FILE* file = OSYSFILE::OpenShared(path, mode, sharemode);
    LogPrintf("FILENAME::fsopen(%s, %s, %d) returns f= %p, fd= %d\n", path, mode, sharemode,
              static_cast<void*>(file), file != nullptr ? OSYSFILE::FileDescriptor(file) : -1);
    return file;
}

// ---------------------------------------------------------------------------------------------------------
// Shell strings

void FILENAME::ShellStringsInit() {
    SHELLSTRINGTABLE& table = SHELLSTRINGTABLE::Process();
    if (!table.BeginFill())
        return;
    LogPrintf("FILENAME::ShellStringsInit\n");
    OSYSFILE::FillShellStrings();
    table.EndFill();
    LogPrintf("FILENAME::ShellStringsInit done\n");
}

void FILENAME::ShellStringSet(const char* name, const char* value, uint32_t flags) {
    LogPrintf("FILENAME::ShellStringSet %s %s\n", StringNullPolicy(name, "ShellStringSet name"),
              StringNullPolicy(value, "ShellStringSet value"));
    if (name == nullptr || name[0] == '\0')
        return;
    ShellStringsInit();
    SHELLSTRINGTABLE::Process().Set(name, value != nullptr ? value : "", flags);
}

void FILENAME::ExpandShellString(STRING& text) {
    const bool candidate =
        text.NotEmpty() && (text[0] == '%' || text[0] == '~' || text[0] == '$' || text.iFind("%USERNAME%"));
    if (candidate) {
        const STRING before = text;
        ShellStringsInit();
        ToBackslashes(text);
        if (text.Length() >= 2 && text[0] == '~' && text[1] == '\\')
            text = "%USERHOME%" || text.Mid(1);
        if (text.iFind("%USERNAME%")) {
            STRING user = OSYS::GetUserName();
            text.Replace("%USERNAME%", user.NotNull() ? user.c_str() : "", false);
        }
        SHELLSTRINGTABLE::Process().ExpandStart(text);
        LogPrintf("FILENAME::ExpandShellString %s -> %s\n", before.Text(), text.Text());
    }
    ToBackslashes(text);
    StripTrailingSeparators(text);
}

// ---------------------------------------------------------------------------------------------------------
// FILEFIND

struct FILEFIND::SCAN {
    std::unique_ptr<OSYSFILE::DIRECTORYSCAN> Directory;
};

FILEFIND::FILEFIND(const char* pattern, STRING* namereceiver) : Scan(new SCAN), NameReceiver(namereceiver) {
    FILENAME full;
    full = pattern;
    STRING wildcard("*");
    if (full.IsDirectory()) {
        SearchDirectory = full;
    } else {
        SearchDirectory = full.Path();
        wildcard = full.Name();
    }
    Scan->Directory = OSYSFILE::OpenScan(SearchDirectory.c_str(), wildcard.c_str());
    Next();
}

FILEFIND::~FILEFIND() = default;

bool FILEFIND::Next() {
    OSYSFILE::FINDENTRY entry;
    IsFound = Scan->Directory != nullptr && Scan->Directory->Next(entry);
    if (!IsFound) {
        CurrentName = STRING();
        CurrentPath = FILENAME();
        CurrentIsDirectory = CurrentIsLink = false;
        return false;
    }
    CurrentName = entry.Name;
    CurrentIsDirectory = entry.IsDirectory;
    CurrentIsLink = entry.IsLink;
    // Joined by hand: the FILENAME constructor would log every entry of every tree.
    CurrentPath = SearchDirectory || (SearchDirectory.Length() == RootLength(SearchDirectory) ? "" : "\\") ||
                  CurrentName;
    if (NameReceiver != nullptr)
        *NameReceiver = CurrentName;
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Trees

bool MakeDirectoryPath(const char* path) {
    FILENAME full;
    full = path;
    if (full.IsEmpty())
        return false;
    const STRING& text = full;
    // Components of the root ("\", "X:\", "\\server\share") are never created.
    int pos = RootLength(text);
    if (text.Length() >= 2 && text[0] == '\\' && text[1] == '\\') {
        int separators = 0;
        pos = 2;
        while (pos < text.Length() && separators < 2) {
            if (text[pos] == '\\')
                ++separators;
            ++pos;
        }
    } else if (pos == 0 && text.Length() >= 2 && text[1] == ':') {
        pos = 2;
    }
    while (pos <= text.Length()) {
        int end = text.Pos("\\", pos);
        if (end < 0)
            end = text.Length();
        if (end > pos) {
            FILENAME partial;
            partial = text.Left(end);
            if (!partial.IsDirectory() && !partial.MakeDir() && !partial.IsDirectory())
                return false;
        }
        pos = end + 1;
    }
    return full.IsDirectory();
}

int ListTree(const char* directory, const char* pattern, STRINGARRAY* list, bool recurse) {
    int count = 0;
    const FILENAME searched(directory, pattern);
    for (FILEFIND find(searched.c_str()); find.Found(); find.Next()) {
        if (!find.IsDirectory()) {
            ++count;
            if (list != nullptr)
                list->Append(find.FullPath());
            continue;
        }
        if (!recurse || find.Name()[0] == '.')
            continue;
        // A link is not entered: deleting "its contents" would delete what it points to.
        if (!find.IsLink())
            count += ListTree(find.FullPath().c_str(), pattern, list, recurse);
        ++count;
        if (list != nullptr)
            list->Append(find.FullPath());
    }
    return count;
}

bool CopyTree(const char* fromdir, const char* todir, const STRINGARRAY& list, bool keepexisting) {
    FILENAME from;
    from = fromdir;
    FILENAME to;
    to = todir;
    const int fromlen = from.Length();
    bool ok = true;
    for (int i = list.Count() - 1; i >= 0; --i) {
        const STRING* entry = list.Get(i);
        if (entry == nullptr)
            continue;
        const STRING& source = *entry;
        if (source.Left(fromlen) != from) {
            const STRING info = source || "::" || from;
            // clang-format off: the condition's text is what the assertion report shows
            ORVIK_ASSERT_INFO(source.Left(fromlen)==from, info.c_str());
            // clang-format on
            continue;
        }
        FILENAME sourcename;
        sourcename = source;
        FILENAME target;
        target = to || source.Mid(fromlen);
        if (sourcename.IsDirectory()) {
            if (!MakeDirectoryPath(target.c_str()))
                ok = false;
        } else if (keepexisting && target.Exists()) {
            continue;
        } else if (!sourcename.Copy(target.c_str(), !keepexisting)) {
            ok = false;
        }
    }
    return ok;
}

int DeleteTree(const char* directory, const char* pattern, bool recurse) {
    STRINGARRAY list;
    ListTree(directory, pattern, &list, recurse);
    FILENAME top;
    top = directory;
    list.Append(top);
    // Files and links first (a link is removed itself, never what it points to), then the directories.
    for (int i = 0; i < list.Count(); ++i) {
        FILENAME entry;
        entry = *list.Get(i);
        if (OSYSFILE::IsLink(entry.c_str())) {
            if (!entry.Delete())
                entry.RemoveDir();
        } else if (!entry.IsDirectory()) {
            entry.Delete();
        }
    }
    int removed = 0;
    for (int i = 0; i < list.Count(); ++i) {
        FILENAME entry;
        entry = *list.Get(i);
        if (entry.IsDirectory() && entry.RemoveDir())
            ++removed;
    }
    return removed;
}

bool CopyDirectory(const char* from, const char* pattern, const char* to, bool recurse, bool keepexisting) {
    STRINGARRAY list;
    ListTree(from, pattern, &list, recurse);
    FILENAME top;
    top = from;
    list.Append(top);
    return CopyTree(top.c_str(), to, list, keepexisting);
}
