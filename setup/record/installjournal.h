// INSTALLJOURNAL: what one run of the copy step changed, so that a copy that fails, is abandoned or ends
// without warning (a power cut, "End task") can be undone and the machine left as it was.
//
// Before a file below the destination is written, the journal learns of it: an existing file gets a second
// name in the run's backup folder (it keeps its own name until the complete new file replaces it), or is
// moved there when it cannot stay; a missing one is recorded as new together with every folder the run
// creates on the way. Before a registry key is written, its values (names, types, data) are recorded, and
// so is every key of its path that did not exist. Undo() restores all of it in reverse order; Commit()
// discards the backups; Finish() then removes the journal and the backup folder.
//
// The backup folder is a hidden folder inside the destination, "<destination>\.setup-backup-<n>" with the
// first number not in use: inside, a backup is a second name or a rename on the same volume (no copy, no
// extra space, the file's bytes, attributes and times kept as they are), it works when the destination is
// a drive root, and the folder lies within what the run owns, so every deletion stays below the
// destination.
//
// Once begun, the journal is also on disk, "setup.journal" in the backup folder (format in
// journalformat.h): each change is recorded there before it is made, and the record is flushed to the disk
// before every change that would lose something if its record were lost (a backup, a registry key, the
// service). The next run of the product finds it (FindInterrupted) and undoes the run through Load().
//
// Every deletion goes through the deletion guard, below the destination (or of the destination itself,
// when this run created it and it is empty again).
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "lib/strings.h"
#include "lib/winhandles.h"
#include "setup/record/journalformat.h"

class INSTALLJOURNAL {
public:
    // productkey: the uninstall key that names the product in its journal on disk.
    explicit INSTALLJOURNAL(const STRING& destination, const STRING& productkey = STRING(""));
    INSTALLJOURNAL(const INSTALLJOURNAL&) = delete;
    INSTALLJOURNAL& operator=(const INSTALLJOURNAL&) = delete;

    // Before destination\name is written (name as the archive or the configuration gives it, "/" or "\";
    // a name ending in a separator is a folder). 0 when the file may be written, else the system's error
    // code of the backup that failed: an existing file that cannot be backed up must not be replaced.
    // newsize, when known, is the size of what replaces the file: a backup occupies its space until the
    // run ends, so when the volume has no room for both, the file is replaced without one, as an update
    // that fits only in the space of the files it replaces needs it (that file then cannot be put back).
    int BeforeFile(const STRING& name, int64_t newsize = -1);

    // Puts the journal on disk: makes the destination when it is missing, the run's backup folder and the
    // journal in it. False (logged) when that fails; the journal then lives in memory only.
    bool Begin();

    // Around the stop of the product's service: before it, and when it did not stop after all.
    void BeforeServiceStop();
    void ServiceKept();
    // Whether the service was stopped and not known to be started again (a loaded journal).
    bool ServiceStopped() const { return StoppedService; }

    // Before values are written to root\path (root: HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE ...).
    void BeforeKey(HKEY root, const STRING& path);

    // Puts back what the run changed, newest first. What is in use now is put back at the next restart
    // (the system's pending renames). A backup that can be put back neither now nor then stays in the
    // folder, and the folder and the journal with it: the user's data is never thrown away, and the next
    // run tries again.
    void Undo();
    // The run completed: its completion is recorded and the backups are deleted.
    void Commit();
    // After Undo or Commit: deletes the journal and the backup folder, and after Undo the destination
    // when the run made it and it is empty.
    void Finish();

    // A journal on disk of an interrupted run: its backup folder below destination, and whether the run
    // had completed (Committed) when it ended.
    struct INTERRUPTED {
        STRING Folder;
        bool Committed = false;
    };
    // The journals of interrupted runs of productkey (letter case ignored) in destination.
    static std::vector<INTERRUPTED> FindInterrupted(const STRING& destination, const STRING& productkey);
    // Takes over the journal of an interrupted run, found by FindInterrupted; false when it cannot be read.
    bool Load(const STRING& backupfolder);
    // The backup folders in destination: a journal's or those left without one by older versions.
    static std::vector<STRING> BackupFolders(const STRING& destination);

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
    bool MakeDestination();
    void Append(const journalformat::RECORD& record, bool flush);
    void DeleteJournalFile();
    bool RestoreOrSchedule(const STRING& path, const STRING& backup);
    void DeleteOrSchedule(const STRING& name);

    const STRING Destination;
    const STRING ProductKey;
    bool DestinationExisted;
    STRING BackupFolder; // its name in the destination; empty until the first backup
    int Backups = 0;
    std::vector<FILEENTRY> Files;
    std::set<std::u16string> Seen; // names already recorded, folded as the file system compares them
    // Folders the run creates, folded: nothing in them existed before, so their files need no look.
    std::set<std::u16string> NewFolders;
    std::vector<KEYENTRY> Keys;
    std::set<std::string> SeenKeys;
    FILEHANDLE JournalFile; // the journal on disk, once begun
    int Unflushed = 0;      // records written since the last flush
    bool StoppedService = false;
    bool Undone = false;
    bool Scheduled = false; // something goes back at the next restart
    bool Kept = false;      // something could not be put back: the journal stays for the next run
};
