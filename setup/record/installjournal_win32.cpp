#include "setup/record/installjournal.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include "lib/killpoint.h"
#include "lib/orvik.h"
#include "lib/ownedpath.h"
#include "lib/scopedhandle.h"
#include "lib/textcodec.h"
#include "lib/winhandles.h"
#include "setup/deletionguard.h"
#include "unzip/fs.h"

namespace {

constexpr const char* LOGCONTEXT = "Rollback";
constexpr const char* BACKUP_PREFIX = ".setup-backup-";
constexpr const char* JOURNAL_FILE = "setup.journal";
// New files and folders lose nothing when their records are lost, only leave something behind: their
// records go to the disk with the next one that matters, or after this many (a flush is a wait for the
// disk, which a large package must not pay for every file).
constexpr int FLUSH_EVERY = 1024;

using journalformat::KIND;
using journalformat::RECORD;

bool EndsInSeparator(const STRING& name) {
    return name.Length() > 0 && (name[name.Length() - 1] == '/' || name[name.Length() - 1] == '\\');
}

DWORD Attributes(const STRING& path) {
    return GetFileAttributesA(path.Text());
}

bool IsFolder(const STRING& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A read-only file can neither be deleted nor replaced; the mark is the file's, so it is cleared only for
// the deletion itself.
void ClearReadOnly(const STRING& path) {
    const DWORD attributes = Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.Text(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

// name with its last component as the folder holds it: a member may spell it in other letter case, and the
// file must come back under its own name.
STRING OnDiskName(const STRING& name, const STRING& path) {
    WIN32_FIND_DATAA found;
    const FINDHANDLE search(FindFirstFileA(path.Text(), &found));
    if (!search)
        return name;
    const int separator = static_cast<int>(std::string(name.Text()).rfind('\\'));
    return (separator >= 0 ? name.Left(separator + 1) : STRING("")) || found.cFileName;
}

STRING Joined(const STRING& folder, const STRING& name) {
    STRING path;
    return JoinBelow(folder, name, &path) ? path : STRING("");
}

// Registry roots as the journal stores them.
uint32_t RootCode(HKEY root) {
    if (root == HKEY_CLASSES_ROOT)
        return 0;
    if (root == HKEY_LOCAL_MACHINE)
        return 1;
    return 2;
}

HKEY RootOf(uint32_t code) {
    return code == 0 ? HKEY_CLASSES_ROOT : code == 1 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool ReadWholeFile(const STRING& path, std::string* bytes) {
    const FILEHANDLE file(CreateFileA(path.Text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes->append(buffer, got);
    return true;
}

// Whether nobody holds the file open against its deletion or replacement.
bool DeletableNow(const STRING& path) {
    const FILEHANDLE file(CreateFileA(path.Text(), DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

// Whether both names are names of one file (a backup that is a second name of the file still at its name).
bool SameFile(const STRING& a, const STRING& b) {
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const STRING* names[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        const FILEHANDLE file(CreateFileA(names[i]->Text(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !GetFileInformationByHandle(file.get(), &info[i]))
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

const char* RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT)
        return "HKCR";
    if (root == HKEY_LOCAL_MACHINE)
        return "HKLM";
    if (root == HKEY_CURRENT_USER)
        return "HKCU";
    return "HKEY";
}

// The values of an open key: name, type and data of each.
template <typename VALUE> std::vector<VALUE> ReadValues(HKEY key) {
    std::vector<VALUE> values;
    DWORD count = 0, namelength = 0, datalength = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &namelength,
                         &datalength, nullptr, nullptr) != ERROR_SUCCESS)
        return values;
    std::string name(namelength + 1, '\0');
    std::string data(datalength + 1, '\0');
    for (DWORD i = 0; i < count; ++i) {
        DWORD n = static_cast<DWORD>(name.size());
        DWORD d = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, &name[0], &n, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &d) !=
            ERROR_SUCCESS)
            break;
        values.push_back({name.substr(0, n), type, data.substr(0, d)});
    }
    return values;
}

// Registry key names ignore letter case.
std::string KeyIdentity(HKEY root, const STRING& path) {
    std::string id = std::to_string(reinterpret_cast<uintptr_t>(root)) + "\\";
    for (const char* c = path.Text(); *c; ++c)
        id += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return id;
}

} // namespace

INSTALLJOURNAL::INSTALLJOURNAL(const STRING& destination, const STRING& productkey)
    : Destination(NormalFolder(destination)), ProductKey(productkey),
      DestinationExisted(IsFolder(Destination)) {}

bool INSTALLJOURNAL::MakeDestination() {
    if (IsFolder(Destination))
        return true;
    // The folders on the way as well; only the destination itself counts as the run's.
    for (int at = Destination.Pos("\\", 3); at > 0; at = Destination.Pos("\\", at + 1))
        CreateDirectoryA(Destination.Left(at).Text(), nullptr);
    return CreateDirectoryA(Destination.Text(), nullptr) || IsFolder(Destination);
}

bool INSTALLJOURNAL::Begin() {
    if (JournalFile)
        return true;
    DestinationExisted = IsFolder(Destination); // a recovery may have removed it since
    if (!MakeDestination() || !MakeBackupFolder()) {
        LogPrintf("SETUP::Rollback no journal in %s: error %lu\n", Destination.Text(), GetLastError());
        return false;
    }
    const STRING path = Joined(Destination, BackupFolder || "\\" || JOURNAL_FILE);
    JournalFile.reset(CreateFileA(path.Text(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!JournalFile) {
        LogPrintf("SETUP::Rollback cannot write the journal %s: error %lu\n", path.Text(), GetLastError());
        return false;
    }
    const std::string header = journalformat::Header();
    DWORD written = 0;
    WriteFile(JournalFile.get(), header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
    Append({KIND::Begin, DestinationExisted ? 0u : 1u, {ProductKey.Text(), Destination.Text()}, {}}, true);
    LogPrintf("SETUP::Rollback journal %s begun\n", path.Text());
    return true;
}

// Written ahead of the change it describes; flush: it must be on the disk before that change is made.
void INSTALLJOURNAL::Append(const RECORD& record, bool flush) {
    if (!JournalFile)
        return;
    const std::string bytes = journalformat::Encode(record);
    DWORD written = 0;
    if (!WriteFile(JournalFile.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        LogPrintf("SETUP::Rollback cannot write the journal: error %lu\n", GetLastError());
    if (flush || ++Unflushed >= FLUSH_EVERY) {
        FlushFileBuffers(JournalFile.get());
        Unflushed = 0;
    }
}

void INSTALLJOURNAL::BeforeServiceStop() {
    Append({KIND::ServiceStop, 0, {}, {}}, true);
    StoppedService = true;
}

void INSTALLJOURNAL::ServiceKept() {
    Append({KIND::ServiceKept, 0, {}, {}}, false);
    StoppedService = false;
}

bool INSTALLJOURNAL::Known(const STRING& name) {
    return !Seen.insert(TEXTCODEC::FoldCase(TEXTCODEC::ToWide(name.Text()))).second;
}

// The folders of name's path that do not exist yet; the writer creates them.
void INSTALLJOURNAL::RecordFoldersOnTheWay(const STRING& name) {
    for (int at = name.Pos("\\"); at > 0; at = name.Pos("\\", at + 1)) {
        const STRING folder = name.Left(at);
        if (Known(folder))
            continue;
        if (InNewFolder(folder) || !IsFolder(Joined(Destination, folder)))
            RecordNewFolder(folder);
    }
}

void INSTALLJOURNAL::RecordNewFolder(const STRING& name) {
    Append({KIND::NewFolder, 0, {name.Text()}, {}}, false);
    Files.push_back({FILEENTRY::NewFolder, name, STRING("")});
    NewFolders.insert(TEXTCODEC::FoldCase(TEXTCODEC::ToWide(name.Text())));
}

// Whether name lies in a folder this run creates (the destination itself included): then it is new too,
// without asking the file system, which under some systems reads the whole folder to find a name missing.
bool INSTALLJOURNAL::InNewFolder(const STRING& name) const {
    const std::string text(name.Text());
    const size_t separator = text.rfind('\\');
    if (separator == std::string::npos)
        return !DestinationExisted;
    return NewFolders.count(TEXTCODEC::FoldCase(TEXTCODEC::ToWide(text.substr(0, separator).c_str()))) != 0;
}

int INSTALLJOURNAL::BeforeFile(const STRING& name, int64_t newsize) {
    STRING path;
    if (!JoinBelow(Destination, name, &path))
        return 0; // the writer refuses such a name too; nothing of the destination is touched
    // The relative name as it was joined: "\" separators, no "." components.
    STRING relative = path.Mid(Destination.Length());
    while (relative.Length() > 0 && relative[0] == '\\')
        relative = relative.Mid(1);
    const bool folder = EndsInSeparator(name);
    while (EndsInSeparator(relative))
        relative = relative.Left(relative.Length() - 1);
    if (relative.IsEmpty())
        return 0;
    RecordFoldersOnTheWay(relative);
    if (Known(relative))
        return 0;
    const DWORD attributes = InNewFolder(relative) ? INVALID_FILE_ATTRIBUTES : Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (folder)
            RecordNewFolder(relative);
        else {
            Append({KIND::NewFile, 0, {relative.Text()}, {}}, false);
            Files.push_back({FILEENTRY::NewFile, relative, STRING("")});
        }
        return 0;
    }
    // A folder stays where it is: writing a file over it fails, and a folder member leaves it as it is.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || folder) {
        Seen.erase(TEXTCODEC::FoldCase(TEXTCODEC::ToWide(relative.Text())));
        return 0;
    }
    if (!RoomBeside(path, newsize)) {
        // The old file must give its space to the new one, so it goes first; from now on the name is the new
        // version's, and an undo removes it rather than leave a file that may be written only in part.
        LogPrintf("SETUP::Rollback no room to keep %s beside its replacement: replaced without a backup\n",
                  relative.Text());
        Append({KIND::NewFile, 0, {relative.Text()}, {}}, true);
        Files.push_back({FILEENTRY::NewFile, relative, STRING("")});
        SetFileAttributesA(path.Text(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(path.Text()))
            LogPrintf("SETUP::Rollback cannot delete %s: error %lu\n", path.Text(), GetLastError());
        return 0;
    }
    const int error = BackUp(relative, path);
    if (error != 0)
        Seen.erase(TEXTCODEC::FoldCase(TEXTCODEC::ToWide(relative.Text()))); // asked again on a retry
    return error;
}

bool INSTALLJOURNAL::RoomBeside(const STRING& path, int64_t newsize) const {
    if (newsize <= 0)
        return true;
    const std::string file(path.Text());
    const std::string folder = file.substr(0, file.find_last_of('\\') + 1);
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr))
        return true; // unknown: keep the backup, the write reports a full disk itself
    return available.QuadPart >= static_cast<uint64_t>(newsize);
}

int INSTALLJOURNAL::BackUp(const STRING& name, const STRING& path) {
    if (!MakeBackupFolder())
        return static_cast<int>(GetLastError());
    const STRING original = OnDiskName(name, path);
    char number[16];
    std::snprintf(number, sizeof number, "%d", ++Backups);
    const STRING backup = BackupFolder || "\\" || number;
    // A file that another program holds cannot be replaced: asked now, the user can close it and retry.
    if (!DeletableNow(path)) {
        const int error = static_cast<int>(GetLastError());
        LogPrintf("SETUP::Rollback cannot back up %s: error %d\n", path.Text(), error);
        return error != 0 ? error : ERROR_ACCESS_DENIED;
    }
    // On the disk before the backup is made: the journal is the only place that knows its name.
    Append({KIND::Replaced, 0, {original.Text(), backup.Text()}, {}}, true);
    // A second name for the file keeps it at its own name until the complete new one takes its place.
    // A file the new one cannot simply replace (read-only, hidden, system), or a volume without such
    // names, moves into the backup folder instead.
    const STRING target = Joined(Destination, backup);
    const bool linked =
        !(Attributes(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) &&
        CreateHardLinkA(target.Text(), path.Text(), nullptr);
    if (!linked && !MoveFileExA(path.Text(), target.Text(), 0)) {
        const int error = static_cast<int>(GetLastError());
        LogPrintf("SETUP::Rollback cannot back up %s: error %d\n", path.Text(), error);
        return error != 0 ? error : ERROR_ACCESS_DENIED;
    }
    LogPrintf("SETUP::Rollback %s backed up as %s\n", original.Text(), backup.Text());
    Files.push_back({FILEENTRY::Replaced, original, backup});
    KILLPOINT::Count("backup"); // tests: between a backup and the write of its replacement
    return 0;
}

bool INSTALLJOURNAL::MakeBackupFolder() {
    if (BackupFolder.NotEmpty())
        return true;
    for (int n = 1; n < 1000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%d", BACKUP_PREFIX, n);
        const STRING path = Joined(Destination, STRING(name));
        if (CreateDirectoryA(path.Text(), nullptr)) {
            SetFileAttributesA(path.Text(), FILE_ATTRIBUTE_HIDDEN);
            BackupFolder = STRING(name);
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
}

void INSTALLJOURNAL::BeforeKey(HKEY root, const STRING& path) {
    // Each key of the path, from the top: a missing one will be created by the write.
    const STRING full = path || "\\";
    for (int at = full.Pos("\\"); at > 0; at = full.Pos("\\", at + 1)) {
        const STRING part = full.Left(at);
        if (!SeenKeys.insert(KeyIdentity(root, part)).second)
            continue;
        REGKEY opened;
        if (RegOpenKeyExA(root, part.Text(), 0, KEY_READ, opened.receive()) != ERROR_SUCCESS) {
            Append({KIND::KeyCreated, RootCode(root), {part.Text()}, {}}, false);
            Keys.push_back({root, part, true, {}});
            continue;
        }
        if (at != full.Length() - 1) // only the written key's own values change
            continue;
        KEYENTRY entry{root, part, false, ReadValues<VALUE>(opened.get())};
        RECORD record{KIND::KeyValues, RootCode(root), {part.Text()}, {}};
        for (const VALUE& value : entry.Values) {
            record.Texts.push_back(value.Name);
            record.Texts.push_back(value.Data);
            record.Types.push_back(value.Type);
        }
        Append(record, false);
        Keys.push_back(std::move(entry));
    }
    if (JournalFile) { // the key is written next
        FlushFileBuffers(JournalFile.get());
        Unflushed = 0;
    }
}

void INSTALLJOURNAL::UndoKey(const KEYENTRY& entry) {
    if (entry.Created) {
        const LONG rc = RegDeleteKeyA(entry.Root, entry.Path.Text());
        LogPrintf("SETUP::Rollback key %s\\%s: %s\n", RootName(entry.Root), entry.Path.Text(),
                  rc == ERROR_SUCCESS ? "deleted" : "stays");
        return;
    }
    REGKEY key;
    if (RegOpenKeyExA(entry.Root, entry.Path.Text(), 0, KEY_READ | KEY_WRITE, key.receive()) !=
        ERROR_SUCCESS) {
        LogPrintf("SETUP::Rollback cannot open key %s\\%s\n", RootName(entry.Root), entry.Path.Text());
        return;
    }
    for (const VALUE& now : ReadValues<VALUE>(key.get())) {
        const bool before = std::any_of(entry.Values.begin(), entry.Values.end(), [&](const VALUE& v) {
            return StringCompareNoCase(v.Name.c_str(), now.Name.c_str()) == 0;
        });
        if (!before)
            RegDeleteValueA(key.get(), now.Name.empty() ? nullptr : now.Name.c_str());
    }
    for (const VALUE& value : entry.Values)
        RegSetValueExA(key.get(), value.Name.empty() ? nullptr : value.Name.c_str(), 0, value.Type,
                       reinterpret_cast<const BYTE*>(value.Data.data()),
                       static_cast<DWORD>(value.Data.size()));
    LogPrintf("SETUP::Rollback key %s\\%s: %d values restored\n", RootName(entry.Root), entry.Path.Text(),
              static_cast<int>(entry.Values.size()));
}

// Deletes destination\name, or has the system delete it at the next restart when a program holds it open.
void INSTALLJOURNAL::DeleteOrSchedule(const STRING& name) {
    const STRING path = Joined(Destination, name);
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    ClearReadOnly(path);
    if (DeleteFileBelow(Destination, name, LOGCONTEXT) || Attributes(path) == INVALID_FILE_ATTRIBUTES)
        return;
    const bool scheduled = MoveFileExA(path.Text(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    LogPrintf("SETUP::Rollback %s is in use: %s\n", path.Text(),
              scheduled ? "deleted at the next restart" : "it stays");
}

// Puts the backup back at path; when a program holds the file at path, the system does it at the next
// restart. False when neither is possible.
bool INSTALLJOURNAL::RestoreOrSchedule(const STRING& path, const STRING& backup) {
    const auto exists = [&] { return Attributes(path) != INVALID_FILE_ATTRIBUTES; };
    if (exists() && !IsFolder(path)) {
        ClearReadOnly(path);
        DeleteFileBelow(Destination, path.Mid(Destination.Length() + 1), LOGCONTEXT);
    }
    if (!exists() && MoveFileExA(backup.Text(), path.Text(), 0)) {
        LogPrintf("SETUP::Rollback %s restored\n", path.Text());
        return true;
    }
    // The file at the name (or the backup) is held open by another program: the system puts the backup
    // back at the next restart, before any program runs.
    if (IsFolder(path) ||
        !MoveFileExA(backup.Text(), path.Text(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
        LogPrintf("SETUP::Rollback %s NOT restored: its backup stays\n", path.Text());
        return false;
    }
    LogPrintf("SETUP::Rollback %s is in use: restored at the next restart\n", path.Text());
    Scheduled = true;
    return true;
}

void INSTALLJOURNAL::UndoFile(const FILEENTRY& entry) {
    const STRING path = Joined(Destination, entry.Name);
    if (entry.Kind != FILEENTRY::NewFolder) // a member the run was writing when it ended
        DeleteOrSchedule(entry.Name || orvik::unzip::fs::kStagingSuffix);
    switch (entry.Kind) {
    case FILEENTRY::NewFolder:
        if (IsFolder(path))
            RemoveEmptyFolderBelow(Destination, entry.Name, LOGCONTEXT);
        return;
    case FILEENTRY::NewFile:
        DeleteOrSchedule(entry.Name);
        return;
    case FILEENTRY::Replaced:
        // No backup: the run ended before the file left its name (or it is back already), and the file
        // at the name is the earlier one. entry.Name is the name the file had on disk, whatever letter
        // case the member used.
        if (Attributes(Joined(Destination, entry.Backup)) == INVALID_FILE_ATTRIBUTES)
            return;
        if (SameFile(path, Joined(Destination, entry.Backup))) { // never replaced: its second name goes
            DeleteFileBelow(Destination, entry.Backup, LOGCONTEXT);
            return;
        }
        if (!RestoreOrSchedule(path, Joined(Destination, entry.Backup)))
            Kept = true;
        return;
    }
}

void INSTALLJOURNAL::Undo() {
    LogPrintf("SETUP::Rollback undoing %d files and folders, %d registry keys in %s\n",
              static_cast<int>(Files.size()), static_cast<int>(Keys.size()), Destination.Text());
    for (auto entry = Keys.rbegin(); entry != Keys.rend(); ++entry)
        UndoKey(*entry);
    for (auto entry = Files.rbegin(); entry != Files.rend(); ++entry)
        UndoFile(*entry);
    Undone = true;
    Files.clear();
    Keys.clear();
}

void INSTALLJOURNAL::Commit() {
    Append({KIND::Committed, 0, {}, {}}, true);
    for (const FILEENTRY& entry : Files) {
        if (entry.Kind != FILEENTRY::Replaced)
            continue;
        ClearReadOnly(Joined(Destination, entry.Backup));
        DeleteFileBelow(Destination, entry.Backup, LOGCONTEXT);
        KILLPOINT::Count("commit"); // tests: while the backups of a completed run are deleted
    }
    Files.clear();
    Keys.clear();
}

void INSTALLJOURNAL::Finish() {
    if (!Kept)
        DeleteJournalFile();
    RemoveBackupFolder();
    // The destination itself when this run made it and was undone: it is removed from its parent
    // folder, and only empty.
    const int separator = static_cast<int>(std::string(Destination.Text()).rfind('\\'));
    if (Undone && !DestinationExisted && !IsRootFolder(Destination) && separator > 0 && IsFolder(Destination))
        RemoveEmptyFolderBelow(Destination.Left(separator), Destination.Mid(separator + 1), LOGCONTEXT);
}

void INSTALLJOURNAL::DeleteJournalFile() {
    JournalFile.reset();
    if (BackupFolder.NotEmpty())
        DeleteFileBelow(Destination, BackupFolder || "\\" || JOURNAL_FILE, LOGCONTEXT);
}

void INSTALLJOURNAL::RemoveBackupFolder() {
    if (BackupFolder.IsEmpty())
        return;
    const STRING folder = Joined(Destination, BackupFolder);
    // After backups that go back at the next restart, the folder goes then too (the system keeps the order).
    if (!RemoveEmptyFolderBelow(Destination, BackupFolder, LOGCONTEXT) && Scheduled && !Kept)
        MoveFileExA(folder.Text(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    BackupFolder = STRING("");
}

std::vector<STRING> INSTALLJOURNAL::BackupFolders(const STRING& destination) {
    std::vector<STRING> folders;
    WIN32_FIND_DATAA found;
    const STRING pattern = NormalFolder(destination) || "\\" || BACKUP_PREFIX || "*";
    const FINDHANDLE search(FindFirstFileA(pattern.Text(), &found));
    if (!search)
        return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.emplace_back(found.cFileName);
    } while (FindNextFileA(search.get(), &found));
    return folders;
}

std::vector<INSTALLJOURNAL::INTERRUPTED> INSTALLJOURNAL::FindInterrupted(const STRING& destination,
                                                                         const STRING& productkey) {
    std::vector<INTERRUPTED> runs;
    const STRING folder = NormalFolder(destination);
    for (const STRING& backups : BackupFolders(folder)) {
        std::string bytes;
        if (!ReadWholeFile(Joined(folder, backups || "\\" || JOURNAL_FILE), &bytes))
            continue;
        const journalformat::CONTENTS contents = journalformat::Decode(bytes);
        if (!contents.Valid || contents.Records.empty() || contents.Records[0].Kind != KIND::Begin ||
            contents.Records[0].Texts.size() != 2)
            continue;
        const RECORD& begin = contents.Records[0];
        if (StringCompareNoCase(begin.Texts[0].c_str(), productkey.Text()) != 0 ||
            !SameFileName(NormalFolder(STRING(begin.Texts[1].c_str())), folder))
            continue;
        const bool committed =
            std::any_of(contents.Records.begin(), contents.Records.end(),
                        [](const RECORD& record) { return record.Kind == KIND::Committed; });
        runs.push_back({backups, committed});
    }
    return runs;
}

bool INSTALLJOURNAL::Load(const STRING& backupfolder) {
    std::string bytes;
    if (!ReadWholeFile(Joined(Destination, backupfolder || "\\" || JOURNAL_FILE), &bytes))
        return false;
    const journalformat::CONTENTS contents = journalformat::Decode(bytes);
    if (!contents.Valid || contents.Records.empty() || contents.Records[0].Kind != KIND::Begin)
        return false;
    BackupFolder = backupfolder;
    DestinationExisted = contents.Records[0].Number == 0;
    for (const RECORD& record : contents.Records) {
        const std::vector<std::string>& texts = record.Texts;
        switch (record.Kind) {
        case KIND::NewFolder:
        case KIND::NewFile:
            if (texts.size() == 1)
                Files.push_back({record.Kind == KIND::NewFile ? FILEENTRY::NewFile : FILEENTRY::NewFolder,
                                 STRING(texts[0].c_str()), STRING("")});
            break;
        case KIND::Replaced:
            if (texts.size() == 2)
                Files.push_back({FILEENTRY::Replaced, STRING(texts[0].c_str()), STRING(texts[1].c_str())});
            break;
        case KIND::KeyCreated:
            if (texts.size() == 1)
                Keys.push_back({RootOf(record.Number), STRING(texts[0].c_str()), true, {}});
            break;
        case KIND::KeyValues: {
            if (texts.empty() || texts.size() != 1 + 2 * record.Types.size())
                break;
            KEYENTRY entry{RootOf(record.Number), STRING(texts[0].c_str()), false, {}};
            for (size_t i = 0; i < record.Types.size(); ++i)
                entry.Values.push_back({texts[1 + 2 * i], record.Types[i], texts[2 + 2 * i]});
            Keys.push_back(std::move(entry));
            break;
        }
        case KIND::ServiceStop:
            StoppedService = true;
            break;
        case KIND::ServiceKept:
            StoppedService = false;
            break;
        default:
            break;
        }
    }
    LogPrintf("SETUP::Rollback journal of an interrupted run in %s\\%s: %d files and folders, %d keys%s\n",
              Destination.Text(), backupfolder.Text(), static_cast<int>(Files.size()),
              static_cast<int>(Keys.size()), contents.Torn ? ", its last record torn" : "");
    return true;
}
