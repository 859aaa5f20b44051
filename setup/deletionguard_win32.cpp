#include "setup/deletionguard.h"

#include <windows.h>

#include <shlobj.h>

#include "lib/canonicalpath.h"
#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/textcodec.h"
#include "lib/winhandles.h"
#include "setup/record/installrecord.h"

namespace {

using U16 = std::u16string;
using GUARDED = std::vector<std::pair<U16, GUARDKIND>>;

const wchar_t* Wide(const U16& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

U16 FromWide(const wchar_t* text) {
    return text == nullptr ? U16() : U16(reinterpret_cast<const char16_t*>(text));
}

std::string Narrow(const U16& text) {
    return TEXTCODEC::FromWide(text);
}

// The "\\?\" form: the system takes the name as it stands, without parsing it again and without a length
// limit.
U16 Literal(const U16& path) {
    if (path.size() > 2 && path[0] == u'\\' && path[1] == u'\\')
        return u"\\\\?\\UNC\\" + path.substr(2);
    return u"\\\\?\\" + path;
}

// The shell folders whose whole tree belongs to the system.
constexpr int SYSTEM_TREES[] = {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_FONTS, CSIDL_RESOURCES};

// Every shell folder that a user or the system keeps something in, and that a product's folder may lie
// below.
constexpr int GUARDED_SHELL_FOLDERS[] = {CSIDL_PROGRAM_FILES,
                                         CSIDL_PROGRAM_FILESX86,
                                         CSIDL_PROGRAM_FILES_COMMON,
                                         CSIDL_PROGRAM_FILES_COMMONX86,
                                         CSIDL_COMMON_APPDATA,
                                         CSIDL_PROFILE,
                                         CSIDL_DESKTOPDIRECTORY,
                                         CSIDL_COMMON_DESKTOPDIRECTORY,
                                         CSIDL_PERSONAL,
                                         CSIDL_COMMON_DOCUMENTS,
                                         CSIDL_APPDATA,
                                         CSIDL_LOCAL_APPDATA,
                                         CSIDL_STARTMENU,
                                         CSIDL_COMMON_STARTMENU,
                                         CSIDL_PROGRAMS,
                                         CSIDL_COMMON_PROGRAMS,
                                         CSIDL_STARTUP,
                                         CSIDL_COMMON_STARTUP,
                                         CSIDL_MYMUSIC,
                                         CSIDL_MYPICTURES,
                                         CSIDL_MYVIDEO,
                                         CSIDL_FAVORITES,
                                         CSIDL_TEMPLATES,
                                         CSIDL_COMMON_TEMPLATES,
                                         CSIDL_SENDTO,
                                         CSIDL_RECENT,
                                         CSIDL_INTERNET_CACHE,
                                         CSIDL_COOKIES,
                                         CSIDL_HISTORY,
                                         CSIDL_NETHOOD,
                                         CSIDL_PRINTHOOD,
                                         CSIDL_ADMINTOOLS,
                                         CSIDL_COMMON_ADMINTOOLS};

U16 ShellFolder(int csidl) {
    wchar_t path[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return U16();
    return FromWide(path);
}

U16 Expanded(const U16& text) {
    std::vector<wchar_t> buffer(text.size() + MAX_PATH);
    for (int round = 0; round < 4; ++round) {
        const DWORD length =
            ExpandEnvironmentStringsW(Wide(text), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return U16();
        if (length <= buffer.size())
            return FromWide(buffer.data());
        buffer.resize(length);
    }
    return U16();
}

// A text value of any length; REG_EXPAND_SZ expanded. Empty when it is missing or no text.
U16 ReadText(HKEY key, const wchar_t* value) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return U16();
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return U16();
    const U16 text = FromWide(buffer.data());
    return type == REG_EXPAND_SZ ? Expanded(text) : text;
}

// Calls visit(name) for every value name (values) or subkey name of key.
template <typename VISIT> void ForEachName(HKEY key, bool values, VISIT visit) {
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG rc = values
                            ? RegEnumValueW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr)
                            : RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            return;
        visit(name.data());
    }
}

void Add(GUARDED& folders, const U16& path, GUARDKIND kind) {
    if (!path.empty())
        folders.emplace_back(path, kind);
}

// The users' profiles: their folder, the current user's profile (below which the user's own shell folders
// lie), and every other profile with its whole tree, found both on disk and in the profile list.
void AddProfiles(GUARDED& folders) {
    const U16 own = ShellFolder(CSIDL_PROFILE);
    U16 owncanonical;
    const bool ownknown = !own.empty() && CanonicalPath(own, &owncanonical);
    std::vector<U16> roots;
    if (!own.empty() && own.find_last_of(u'\\') != U16::npos)
        roots.push_back(own.substr(0, own.find_last_of(u'\\')));
    std::vector<U16> profiles;
    REGKEY list;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                      KEY_READ | KEY_WOW64_64KEY, list.receive()) == ERROR_SUCCESS) {
        for (const wchar_t* value : {L"ProfilesDirectory", L"Default", L"Public", L"AllUsersProfile"}) {
            const U16 folder = ReadText(list.get(), value);
            if (value == std::wstring_view(L"ProfilesDirectory"))
                roots.push_back(folder);
            else
                profiles.push_back(folder);
        }
        ForEachName(list.get(), false, [&](const wchar_t* sid) {
            REGKEY profile;
            if (RegOpenKeyExW(list.get(), sid, 0, KEY_READ, profile.receive()) == ERROR_SUCCESS)
                profiles.push_back(ReadText(profile.get(), L"ProfileImagePath"));
        });
    }
    for (const U16& root : roots) {
        Add(folders, root, GUARDKIND::Folder);
        if (root.empty())
            continue;
        WIN32_FIND_DATAW found;
        const FINDHANDLE find(FindFirstFileW(Wide(Literal(root) + u"\\*"), &found));
        for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found) != 0) {
            const U16 name = FromWide(found.cFileName);
            if (name != u"." && name != u".." && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                profiles.push_back(root + u"\\" + name);
        }
    }
    Add(folders, own, GUARDKIND::Folder);
    for (const U16& profile : profiles) {
        U16 canonical;
        if (profile.empty() ||
            (ownknown && CanonicalPath(profile, &canonical) && CanonicalAtOrBelow(owncanonical, canonical)))
            continue; // the current user's (or a folder that holds it: guarded as an ancestor anyway)
        Add(folders, profile, GUARDKIND::Tree);
    }
}

// The program-files folders of both views as the system records them, with their shared folders.
void AddProgramFiles(GUARDED& folders) {
    std::vector<U16> programfiles{ShellFolder(CSIDL_PROGRAM_FILES), ShellFolder(CSIDL_PROGRAM_FILESX86)};
    REGKEY current;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ | KEY_WOW64_64KEY, current.receive()) == ERROR_SUCCESS) {
        for (const wchar_t* value : {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir"})
            programfiles.push_back(ReadText(current.get(), value));
        for (const wchar_t* value : {L"CommonFilesDir", L"CommonFilesDir (x86)", L"CommonW6432Dir"})
            Add(folders, ReadText(current.get(), value), GUARDKIND::Folder);
    }
    for (const U16& folder : programfiles) {
        if (folder.empty())
            continue;
        Add(folders, folder, GUARDKIND::Folder);
        Add(folders, folder + u"\\Common Files", GUARDKIND::Folder);
        Add(folders, folder + u"\\WindowsApps", GUARDKIND::Tree);
    }
}

void AddRegistryShellFolders(GUARDED& folders) {
    for (const wchar_t* root : {L"Shell Folders", L"User Shell Folders"}) {
        const std::wstring key =
            std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + root;
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            REGKEY opened;
            if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ, opened.receive()) != ERROR_SUCCESS)
                continue;
            ForEachName(opened.get(), true, [&](const wchar_t* name) {
                Add(folders, ReadText(opened.get(), name), GUARDKIND::Folder);
            });
        }
    }
}

void AddProductsOf(std::vector<U16>& folders, HKEY hive, REGSAM view, const STRING& ownkey) {
    REGKEY branch;
    const U16 base = TEXTCODEC::ToWide(UNINSTALL_BASE_KEY);
    if (RegOpenKeyExW(hive, Wide(base), 0, KEY_READ | view, branch.receive()) != ERROR_SUCCESS)
        return;
    const U16 own = TEXTCODEC::ToWide(ownkey.NotNull() ? ownkey.Text() : "");
    ForEachName(branch.get(), false, [&](const wchar_t* name) {
        if (!own.empty() && CompareStringOrdinal(name, -1, Wide(own), -1, TRUE) == CSTR_EQUAL)
            return;
        REGKEY entry;
        if (RegOpenKeyExW(branch.get(), name, 0, KEY_READ | view, entry.receive()) != ERROR_SUCCESS)
            return;
        for (const wchar_t* value : {L"UninstallPath", L"InstallLocation"}) {
            const U16 folder = ReadText(entry.get(), value);
            if (!folder.empty())
                folders.push_back(folder);
        }
        for (const wchar_t* value : {L"UninstallString", L"DisplayIcon"}) {
            const U16 folder = ProgramFolderOf(ReadText(entry.get(), value));
            if (!folder.empty())
                folders.push_back(folder);
        }
    });
}

// Opens path itself, never what a link there points to; INVALID_HANDLE_VALUE when it cannot. share leaves
// out FILE_SHARE_DELETE for a folder being emptied: nobody can then rename it or put a link in its place.
FILEHANDLE OpenUnfollowed(const U16& path, DWORD access, DWORD share) {
    return FILEHANDLE(CreateFileW(Wide(Literal(path)), access | FILE_READ_ATTRIBUTES, share, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
}

// Only the attributes: the whole file information (volume serial number, index, links) costs several times
// a deletion under some systems.
DWORD AttributesOf(HANDLE file) {
    FILE_BASIC_INFO info = {};
    return GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info) ? info.FileAttributes
                                                                                  : INVALID_FILE_ATTRIBUTES;
}

// Deletes what the handle has open, once the handle is closed; a read-only file is made writable first.
bool DeleteByHandle(HANDLE file, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) | FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Empties and removes the folders of a tree being deleted. Everything is opened without following a link
// and checked to be what it was listed as before it goes: a link goes as a link (never what it points to),
// a folder is emptied only while it is held open against renaming, when it is a real folder inside the tree
// that the guard still lets go.
class TREEREMOVER {
public:
    TREEREMOVER(const FOLDERGUARD& guard, const U16& top, const char* context)
        : Guard(guard), Top(top), Context(context) {}

    bool RemoveFolder(const U16& path) {
        FILEHANDLE folder = OpenUnfollowed(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (!folder) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return true;
            return Stays(path, "cannot be opened");
        }
        const DWORD attributes = AttributesOf(folder.get());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return Stays(path, "cannot be examined");
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            folder.reset();
            return RemoveLink(path);
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            folder.reset();
            return RemoveFile(path);
        }
        if (!StillOwned(folder.get(), path))
            return false;
        bool complete = true;
        {
            WIN32_FIND_DATAW found;
            const FINDHANDLE find(FindFirstFileW(Wide(Literal(path) + u"\\*"), &found));
            if (!find && GetLastError() != ERROR_FILE_NOT_FOUND)
                return Stays(path, "cannot be listed");
            for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found) != 0) {
                const U16 name = FromWide(found.cFileName);
                if (name == u"." || name == u"..")
                    continue;
                const U16 child = path + u"\\" + name;
                bool removed = false;
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
                    removed = RemoveLink(child);
                else if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                    removed = RemoveFolder(child);
                else
                    removed = RemoveFile(child);
                complete = removed && complete;
            }
        }
        if (!complete)
            return false;
        // Opened again for its removal: a handle that listed the folder may still see what was in it. What
        // is opened now must be the emptied folder itself.
        folder.reset();
        folder = OpenUnfollowed(path, DELETE, SHARE_ALL);
        const DWORD emptied = folder ? AttributesOf(folder.get()) : INVALID_FILE_ATTRIBUTES;
        if (emptied == INVALID_FILE_ATTRIBUTES || (emptied & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            (emptied & FILE_ATTRIBUTE_DIRECTORY) == 0 || !StillOwned(folder.get(), path))
            return Stays(path, "no longer the folder that was emptied");
        if (!DeleteByHandle(folder.get(), emptied))
            return Stays(path, "cannot be removed");
        return true;
    }

    // A link goes as a link: its own entry, opened as such, never what it points to. A system that cannot
    // open the link itself (it opens the target instead) keeps it.
    bool RemoveLink(const U16& path) {
        const FILEHANDLE link = OpenUnfollowed(path, DELETE, SHARE_ALL);
        const DWORD attributes = link ? AttributesOf(link.get()) : INVALID_FILE_ATTRIBUTES;
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            return Stays(path, "a link that cannot be opened as a link");
        const bool removed = DeleteByHandle(link.get(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        LogPrintf("SETUP::%s %s is a link: %s\n", Context, Narrow(path).c_str(),
                  removed ? "removed" : "stays");
        return removed;
    }

private:
    // The folder that was opened is the one judged: inside the tree, and one the guard lets go.
    bool StillOwned(HANDLE folder, const U16& path) {
        std::vector<wchar_t> buffer(32768);
        const DWORD length = GetFinalPathNameByHandleW(
            folder, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        U16 opened;
        if (length == 0 || length >= buffer.size() ||
            !ParsePathText(FromWide(buffer.data()), Guard.System(), &opened))
            return Stays(path, "its final path cannot be determined");
        if (!CanonicalAtOrBelow(opened, Top))
            return Stays(path, "it lies outside the tree");
        const TREEVERDICT verdict = Guard.JudgeTree(opened);
        if (verdict != TREEVERDICT::Allowed)
            return Stays(path, TreeVerdictText(verdict));
        return true;
    }

    // A file goes when what is opened is still a plain file (not a folder or link put in its place).
    bool RemoveFile(const U16& path) {
        const FILEHANDLE file = OpenUnfollowed(path, DELETE | FILE_WRITE_ATTRIBUTES, SHARE_ALL);
        if (!file) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return true;
            return Stays(path, "cannot be opened");
        }
        const DWORD attributes = AttributesOf(file.get());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
            return Stays(path, "no longer a plain file");
        if (!DeleteByHandle(file.get(), attributes))
            return Stays(path, "cannot be deleted");
        return true;
    }

    bool Stays(const U16& path, const char* why) {
        LogPrintf("SETUP::%s %s stays: %s (%s)\n", Context, Narrow(path).c_str(), why,
                  OSYS::GetLastErrorString().Text());
        return false;
    }

    const FOLDERGUARD& Guard;
    const U16 Top;
    const char* Context;
};

// The canonical form of the folder a run deletes below, computed once for the files it deletes one by one
// (an uninstall deletes thousands below one folder). A folder replaced by a link afterwards is not followed:
// what is opened below it is judged by where it really lies, against the form computed first.
bool CanonicalFolder(const STRING& folder, U16* canonical) {
    thread_local std::string lastfolder;
    thread_local U16 lastcanonical;
    if (lastfolder.empty() || lastfolder != folder.Text()) {
        U16 computed;
        if (!CanonicalPath(TEXTCODEC::ToWide(folder.Text()), &computed))
            return false;
        lastfolder = folder.Text();
        lastcanonical = computed;
    }
    *canonical = lastcanonical;
    return true;
}

// True when path, joined literally below folder, is still below it as the system resolves both: no link,
// junction or mount point on the way (or at path itself) leads out.
bool ResolvesBelow(const STRING& folder, const STRING& path) {
    U16 base;
    U16 target;
    return CanonicalFolder(folder, &base) &&
           CanonicalPath(TEXTCODEC::ToWide(path.Text()), &target) && CanonicalAtOrBelow(target, base) &&
           TEXTCODEC::FoldCase(target) != TEXTCODEC::FoldCase(base);
}

enum class FILEDELETION { Deleted, Missing, Outside, Failed };

// The final name of what a handle has open, letter case folded, for comparing what was opened with the
// folder it must lie in.
bool FinalNameOf(HANDLE file, U16* name) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int round = 0; round < 3; ++round) {
        const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return false;
        if (length < buffer.size()) {
            *name = TEXTCODEC::FoldCase(FromWide(buffer.data()));
            return true;
        }
        buffer.resize(length + 1);
    }
    return false;
}

// The folder's own final name, taken once for the files deleted below it one by one (an uninstall
// deletes thousands below one folder); empty when the folder cannot be opened.
U16 FinalNameOfFolder(const STRING& folder) {
    thread_local std::string lastfolder;
    thread_local U16 lastname;
    if (lastfolder.empty() || lastfolder != folder.Text()) {
        // Followed if the folder itself is a link: what lies below it is judged by where it really is.
        const FILEHANDLE opened(CreateFileW(Wide(Literal(TEXTCODEC::ToWide(folder.Text()))), FILE_READ_ATTRIBUTES,
                                            SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                            nullptr));
        U16 name;
        if (!opened || !FinalNameOf(opened.get(), &name))
            return U16();
        while (!name.empty() && name.back() == u'\\') // a drive's root
            name.pop_back();
        lastfolder = folder.Text();
        lastname = name;
    }
    return lastname;
}

// Deletes the file that path names when what is opened there (never followed if it is a link) really lies
// below the folder whose own name is given: no link, junction or mount point on the way leads out. One
// open, checked by its handle.
FILEDELETION DeleteFileOpenedBelow(const U16& folder, const STRING& path) {
    const FILEHANDLE file = OpenUnfollowed(TEXTCODEC::ToWide(path.Text()), DELETE | FILE_WRITE_ATTRIBUTES,
                                           SHARE_ALL);
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FILEDELETION::Missing
                                                                                : FILEDELETION::Failed;
    }
    U16 opened;
    if (folder.empty() || !FinalNameOf(file.get(), &opened) || opened.size() <= folder.size() + 1 ||
        opened.compare(0, folder.size(), folder) != 0 || opened[folder.size()] != u'\\')
        return FILEDELETION::Outside;
    const DWORD attributes = AttributesOf(file.get());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return FILEDELETION::Failed; // a folder is not a file; a link in a file's place goes as a link
    return DeleteByHandle(file.get(), attributes) ? FILEDELETION::Deleted : FILEDELETION::Failed;
}

} // namespace

bool DeleteFileBelow(const STRING& folder, const STRING& name, const char* context) {
    STRING path;
    if (!JoinBelow(folder, name, &path)) {
        LogPrintf("SETUP::%s refuses to delete '%s' below '%s': the name leaves its folder\n", context,
                  name.Text(), folder.Text());
        return false;
    }
    const FILEDELETION result = DeleteFileOpenedBelow(FinalNameOfFolder(folder), path);
    if (result == FILEDELETION::Outside) {
        LogPrintf("SETUP::%s refuses to delete '%s': a link on the way leads out of '%s'\n", context,
                  path.Text(), folder.Text());
        return false;
    }
    const bool deleted = result == FILEDELETION::Deleted;
    LogPrintf("SETUP::%s %s: %s\n", context, path.Text(), deleted ? "deleted" : "not deleted");
    return deleted;
}

bool RemoveEmptyFolderBelow(const STRING& folder, const STRING& name, const char* context) {
    STRING path;
    if (!JoinBelow(folder, name, &path)) {
        LogPrintf("SETUP::%s refuses to remove folder '%s' below '%s': the name leaves its folder\n", context,
                  name.Text(), folder.Text());
        return false;
    }
    if (!ResolvesBelow(folder, path)) {
        LogPrintf("SETUP::%s refuses to remove folder '%s': a link on the way leads out of '%s'\n", context,
                  path.Text(), folder.Text());
        return false;
    }
    FILENAME directory;
    directory = path;
    const bool removed = directory.RemoveDir();
    LogPrintf("SETUP::%s folder %s: %s\n", context, directory.Text(), removed ? "removed" : "stays");
    return removed;
}

TREEVERDICT DeleteOwnedTree(const STRING& folder, const STRING& ownkey, const char* context, bool* complete) {
    if (complete != nullptr)
        *complete = false;
    const FOLDERGUARD guard = SystemGuard(ownkey, true);
    const U16 text = TEXTCODEC::ToWide(folder.NotNull() ? folder.Text() : "");
    U16 canonical;
    const TREEVERDICT verdict = guard.JudgeTree(text, &canonical);
    if (verdict != TREEVERDICT::Allowed) {
        LogPrintf("SETUP::%s refuses to delete the tree of '%s': %s\n", context, folder.Text(),
                  TreeVerdictText(verdict));
        return verdict;
    }
    TREEREMOVER remover(guard, canonical, context);
    // A link in the product's place: the link goes, never what it points to.
    U16 named;
    bool removed = false;
    const DWORD attributes = ParsePathText(text, guard.System(), &named)
                                 ? GetFileAttributesW(Wide(Literal(named)))
                                 : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        removed = remover.RemoveLink(named);
    } else {
        removed = remover.RemoveFolder(canonical);
        LogPrintf("SETUP::%s tree %s %s\n", context, Narrow(canonical).c_str(),
                  removed ? "deleted" : "not deleted wholly");
    }
    if (complete != nullptr)
        *complete = removed;
    return verdict;
}

bool FolderRemains(const STRING& folder) {
    if (folder.IsEmpty())
        return false;
    U16 canonical;
    if (!CanonicalPath(TEXTCODEC::ToWide(folder.Text()), &canonical))
        return true;
    const DWORD attributes = GetFileAttributesW(Wide(Literal(canonical)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FOLDERGUARD SystemGuard(const STRING& ownkey, bool withproducts) {
    FOLDERGUARD guard;
    for (const auto& [folder, kind] : SystemAndUserFolders())
        guard.Protect(folder, kind);
    if (withproducts) {
        for (const U16& folder : OtherProductFolders(ownkey))
            guard.AddProduct(folder);
    }
    return guard;
}

TREEVERDICT JudgeOwnedTree(const STRING& folder, const STRING& ownkey) {
    return SystemGuard(ownkey, true).JudgeTree(TEXTCODEC::ToWide(folder.NotNull() ? folder.Text() : ""));
}

TREEVERDICT JudgeDestinationFolder(const STRING& folder, STRING* canonical) {
    U16 judged;
    const TREEVERDICT verdict =
        SystemGuard(STRING(""), false)
            .JudgeDestination(TEXTCODEC::ToWide(folder.NotNull() ? folder.Text() : ""), &judged);
    if (canonical != nullptr)
        *canonical = STRING(Narrow(judged).c_str());
    return verdict;
}

std::vector<std::pair<std::u16string, GUARDKIND>> SystemAndUserFolders() {
    GUARDED folders;
    for (int csidl : SYSTEM_TREES)
        Add(folders, ShellFolder(csidl), GUARDKIND::Tree);
    wchar_t windows[MAX_PATH + 1] = {};
    if (GetSystemWindowsDirectoryW(windows, MAX_PATH) > 0)
        Add(folders, FromWide(windows), GUARDKIND::Tree);
    for (int csidl : GUARDED_SHELL_FOLDERS)
        Add(folders, ShellFolder(csidl), GUARDKIND::Folder);
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH, temp) > 0)
        Add(folders, FromWide(temp), GUARDKIND::Folder);
    AddProgramFiles(folders);
    AddProfiles(folders);
    // The registry's shell folders are what the program's own placeholders use; they may differ from the
    // shell's answer on a system whose folders were moved.
    AddRegistryShellFolders(folders);
    return folders;
}

std::vector<std::u16string> OtherProductFolders(const STRING& ownkey) {
    std::vector<U16> folders;
    AddProductsOf(folders, HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, ownkey);
    AddProductsOf(folders, HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, STRING(""));
    AddProductsOf(folders, HKEY_CURRENT_USER, 0, STRING(""));
    return folders;
}
