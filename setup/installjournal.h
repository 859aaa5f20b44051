// INSTALLJOURNAL: what one run of the copy step changed, so that a copy that fails or is abandoned can be
// undone and the machine left as it was.
//
// Before a file below the destination is written, the journal learns of it: an existing file is moved into
// the run's backup folder, a missing one is recorded as new together with every folder the run creates on
// the way. Before a registry key is written, its values (names, types, data) are recorded, and so is every
// key of its path that did not exist. Undo() restores all of it in reverse order; Commit() discards the
// backups. Either way the backup folder goes.
//
// The backup folder is a hidden folder inside the destination, "<destination>\.setup-backup-<n>" with the
// first number not in use: inside, a backup is a rename on the same volume (no copy, no extra space, the
// file's bytes, attributes and times kept as they are), it works when the destination is a drive root, and
// the folder lies within what the run owns, so every deletion stays below the destination.
//
// Every deletion goes through the deletion guard, below the destination (or of the destination itself,
// when this run created it and it is empty again).
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "lib/strings.h"

class INSTALLJOURNAL {
public:
    explicit INSTALLJOURNAL(const STRING& destination);
    INSTALLJOURNAL(const INSTALLJOURNAL&) = delete;
    INSTALLJOURNAL& operator=(const INSTALLJOURNAL&) = delete;

    // Before destination\name is written (name as the archive or the configuration gives it, "/" or "\";
    // a name ending in a separator is a folder). 0 when the file may be written, else the system's error
    // code of the backup that failed: an existing file that cannot be backed up must not be replaced.
    // newsize, when known, is the size of what replaces the file: a backup occupies its space until the
    // run ends, so when the volume has no room for both, the file is replaced without one, as an update
    // that fits only in the space of the files it replaces needs it (that file then cannot be put back).
    int BeforeFile(const STRING& name, int64_t newsize = -1);

    // Before values are written to root\path (root: HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE ...).
    void BeforeKey(HKEY root, const STRING& path);

    // Puts back what the run changed, newest first, then removes the backup folder. A backup that could
    // not be put back stays in the folder, and the folder with it: the user's data is never thrown away.
    void Undo();
    // The run completed: the backups are deleted.
    void Commit();

private:
    struct FILEENTRY {
        enum KIND { NewFolder, NewFile, Replaced } Kind;
        STRING Name;   // below the destination, "\" separators
        STRING Backup; // Replaced: below the destination, in the backup folder
    };
    struct VALUE {
        std::string Name;
        DWORD Type;
        std::string Data;
    };
    struct KEYENTRY {
        HKEY Root;
        STRING Path;
        bool Created;              // the run created the key: it goes again
        std::vector<VALUE> Values; // otherwise its values before the run
    };

    bool Known(const STRING& name);
    void RecordFoldersOnTheWay(const STRING& name);
    void RecordNewFolder(const STRING& name);
    bool InNewFolder(const STRING& name) const;
    int BackUp(const STRING& name, const STRING& path);
    bool RoomBeside(const STRING& path, int64_t newsize) const;
    bool MakeBackupFolder();
    void UndoFile(const FILEENTRY& entry);
    void UndoKey(const KEYENTRY& entry);
    void RemoveBackupFolder();

    const STRING Destination;
    const bool DestinationExisted;
    STRING BackupFolder; // its name in the destination; empty until the first backup
    int Backups = 0;
    std::vector<FILEENTRY> Files;
    std::set<std::u16string> Seen; // names already recorded, folded as the file system compares them
    // Folders the run creates, folded: nothing in them existed before, so their files need no look.
    std::set<std::u16string> NewFolders;
    std::vector<KEYENTRY> Keys;
    std::set<std::string> SeenKeys;
};
