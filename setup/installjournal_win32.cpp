#include "setup/installjournal.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include "lib/orvik.h"
#include "lib/ownedpath.h"
#include "lib/scopedhandle.h"
#include "lib/textcodec.h"
#include "lib/winhandles.h"
#include "setup/deletionguard.h"

namespace {

constexpr const char* LOGCONTEXT = "Rollback";
constexpr const char* BACKUP_PREFIX = ".setup-backup-";

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

INSTALLJOURNAL::INSTALLJOURNAL(const STRING& destination)
    : Destination(NormalFolder(destination)), DestinationExisted(IsFolder(Destination)) {}

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
        else
            Files.push_back({FILEENTRY::NewFile, relative, STRING("")});
        return 0;
    }
    // A folder stays where it is: writing a file over it fails, and a folder member leaves it as it is.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || folder) {
        Seen.erase(TEXTCODEC::FoldCase(TEXTCODEC::ToWide(relative.Text())));
        return 0;
    }
    if (!RoomBeside(path, newsize)) {
        LogPrintf("SETUP::Rollback no room to keep %s beside its replacement: replaced without a backup\n",
                  relative.Text());
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
    if (!MoveFileExA(path.Text(), Joined(Destination, backup).Text(), 0)) {
        const int error = static_cast<int>(GetLastError());
        LogPrintf("SETUP::Rollback cannot back up %s: error %d\n", path.Text(), error);
        return error != 0 ? error : ERROR_ACCESS_DENIED;
    }
    LogPrintf("SETUP::Rollback %s backed up as %s\n", original.Text(), backup.Text());
    Files.push_back({FILEENTRY::Replaced, original, backup});
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
            Keys.push_back({root, part, true, {}});
            continue;
        }
        if (at == full.Length() - 1) // only the written key's own values change
            Keys.push_back({root, part, false, ReadValues<VALUE>(opened.get())});
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

void INSTALLJOURNAL::UndoFile(const FILEENTRY& entry) {
    const STRING path = Joined(Destination, entry.Name);
    const DWORD attributes = Attributes(path);
    switch (entry.Kind) {
    case FILEENTRY::NewFolder:
        if (attributes != INVALID_FILE_ATTRIBUTES)
            RemoveEmptyFolderBelow(Destination, entry.Name, LOGCONTEXT);
        return;
    case FILEENTRY::NewFile:
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ClearReadOnly(path);
            DeleteFileBelow(Destination, entry.Name, LOGCONTEXT);
        }
        return;
    case FILEENTRY::Replaced: {
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ClearReadOnly(path);
            DeleteFileBelow(Destination, entry.Name, LOGCONTEXT);
        }
        // entry.Name is the name the file had on disk, whatever letter case the member used.
        const bool restored = MoveFileExA(Joined(Destination, entry.Backup).Text(), path.Text(), 0) != 0;
        LogPrintf("SETUP::Rollback %s %s\n", path.Text(),
                  restored ? "restored" : "NOT restored: its backup stays");
        return;
    }
    }
}

void INSTALLJOURNAL::Undo() {
    LogPrintf("SETUP::Rollback undoing %d files and folders, %d registry keys in %s\n",
              static_cast<int>(Files.size()), static_cast<int>(Keys.size()), Destination.Text());
    for (auto entry = Keys.rbegin(); entry != Keys.rend(); ++entry)
        UndoKey(*entry);
    for (auto entry = Files.rbegin(); entry != Files.rend(); ++entry)
        UndoFile(*entry);
    RemoveBackupFolder();
    // The destination itself when this run made it: it is removed from its parent folder, and only empty.
    const int separator = static_cast<int>(std::string(Destination.Text()).rfind('\\'));
    if (!DestinationExisted && !IsRootFolder(Destination) && separator > 0)
        RemoveEmptyFolderBelow(Destination.Left(separator), Destination.Mid(separator + 1), LOGCONTEXT);
    Files.clear();
    Keys.clear();
}

void INSTALLJOURNAL::Commit() {
    for (const FILEENTRY& entry : Files) {
        if (entry.Kind != FILEENTRY::Replaced)
            continue;
        ClearReadOnly(Joined(Destination, entry.Backup));
        DeleteFileBelow(Destination, entry.Backup, LOGCONTEXT);
    }
    RemoveBackupFolder();
    Files.clear();
    Keys.clear();
}

void INSTALLJOURNAL::RemoveBackupFolder() {
    if (BackupFolder.IsEmpty())
        return;
    RemoveEmptyFolderBelow(Destination, BackupFolder, LOGCONTEXT);
    BackupFolder = STRING("");
}
