// Recovery first: before a run of setup does anything for the product, it puts back what an interrupted
// run of the same product left half done (the journals of INSTALLJOURNAL in the destination), and the
// uninstall takes the backup folders that nothing can put back any more.
#pragma once

#include "lib/strings.h"

// Undoes every interrupted run of the product productkey (its uninstall key) in destination: the backups
// go back, what the run created goes, the service it stopped is started again, and its journal and backup
// folder are deleted; a run that had completed only loses its backups. Returns how many runs it found.
int RecoverInterruptedRuns(const STRING& destination, const STRING& productkey);

// Deletes the backup folders of interrupted runs in installpath, with whatever they hold (the uninstall
// removes the product's files with them). Returns how many went.
int RemoveBackupFolders(const STRING& installpath, const STRING& productkey);
