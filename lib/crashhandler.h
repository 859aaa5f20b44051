// The crash dump handler (log prefix ORVIKAPP): when a crash level is requested ("/CRASHDUMP[:n]",
// "/LOGITHARD"), an unhandled fault anywhere in the process asks the user whether to write a
// crash-information file, writes a minidump of the process, compresses it with gzip and opens the maker's
// upload page. The naming, the texts and the compression are portable and tested natively; catching the fault
// and writing the dump are Windows only.
#pragma once

#include <cstdint>
#include <functional>

#include "lib/strings.h"

// Raises the process-wide crash level to level (it is never lowered). At a level above 0 the handler is
// installed (unless a debugger is attached) and the memory reserve is allocated once. Registers itself with
// the log's crash dump switches on the first call.
void CrashHandlerInstall(unsigned level);
unsigned CrashHandlerLevel();
// Frees the memory reserve at normal exit; the handler stays installed.
void CrashHandlerRelease();

// A dump kind: its name in the file name and the minidump type flags.
struct CRASHDUMPKIND {
    const char* Name;
    uint32_t MiniDumpType;
};
// The kind chosen by a crash level: level modulo 5 indexes TINY, MINI, ORVIK, MIDI, MAXI.
CRASHDUMPKIND CrashDumpKindFor(unsigned level);

// gAppName followed by gAppVersion, without ".", upper case: "SETUP100".
STRING CrashProgramTag(const char* appname, const char* appversion);

// The dump's full name in folder: "Orvik.CrashInfo.<tag>.<user><counter>.<kind>.dmp". The counter is empty
// first, then 1, 2, ...; a name is free when neither it nor the name with ".gz" exists (taken asks that);
// after 100 attempts the last name is used.
STRING CrashDumpFileName(const char* folder, const char* tag, const char* user, const char* kind,
                         const std::function<bool(const char* name)>& taken);

// The question shown before anything is written, in English or German (in the program's code page), with the
// tag, the file's name and its folder filled in.
STRING CrashQuestionText(bool german, const char* tag, const char* filename, const char* folder);

// The upload page for a dump: site + "/common/crashreport.php?filename=" + the dump's name without its folder
// (percent-encoded), + "&html=htm" for German.
STRING CrashReportAddress(const char* site, const char* dumppath, bool german);
// The site of the upload page this build was configured with.
const char* CrashReportSite();

// Compresses source into target with gzip in 4096-byte blocks. Returns the number of blocks written; -1 when
// either file cannot be opened or a write fails.
long CrashCompressFile(const char* source, const char* target);
