#include "setup/record/recovery.h"

#include "lib/filename.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/deletionguard.h"
#include "setup/productservice.h"
#include "setup/record/installjournal.h"

namespace {

// The service the interrupted run stopped runs again, with the files it had before.
void StartService(const STRING& destination) {
    const FILENAME service(destination.Text(), SERVICE_PROGRAM);
    if (!service.Exists() || OSYS::GetOSType() < 1)
        return;
    OSYS::StartProgram(service.Text(), "/START", destination.Text(), SERVICE_CONTROL_TITLE, OSYS::START_SYNC,
                       nullptr, nullptr);
    LogPrintf("SETUP::Recovery Application Service was restarted\n");
}

} // namespace

int RecoverInterruptedRuns(const STRING& destination, const STRING& productkey) {
    if (destination.IsEmpty())
        return 0;
    int recovered = 0;
    for (const INSTALLJOURNAL::INTERRUPTED& run : INSTALLJOURNAL::FindInterrupted(destination, productkey)) {
        INSTALLJOURNAL journal(destination, productkey);
        if (!journal.Load(run.Folder))
            continue;
        LogPrintf("SETUP::Recovery an interrupted run of %s in %s is %s\n", productkey.Text(),
                  destination.Text(), run.Committed ? "completed" : "undone");
        if (run.Committed)
            journal.Commit();
        else
            journal.Undo();
        if (journal.ServiceStopped())
            StartService(destination);
        journal.Finish();
        ++recovered;
    }
    return recovered;
}

int RemoveBackupFolders(const STRING& installpath, const STRING& productkey) {
    int removed = 0;
    for (const STRING& name : INSTALLJOURNAL::BackupFolders(installpath)) {
        STRING folder;
        if (!JoinBelow(installpath, name, &folder))
            continue;
        if (DeleteOwnedTree(folder, productkey, "RemoveInstallation") == TREEVERDICT::Allowed)
            ++removed;
    }
    return removed;
}
