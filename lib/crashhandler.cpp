// The crash level and what the handler computes before it writes anything: the dump kind, the file's name,
// the question and the upload address; and the gzip compression of the written dump.
#include "lib/crashhandler.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "lib/crashhandler_platform.h"
#include "lib/orvik.h"
#include "lib/textcodec.h"

#ifndef ORVIK_CRASHREPORT_SITE
#define ORVIK_CRASHREPORT_SITE "https://support.orvik.example"
#endif

namespace {

std::atomic<unsigned> CrashLevel{0};
std::atomic<bool> PickedUp{false};

const CRASHDUMPKIND DumpKinds[] = {
    {"TINY", 0x000},  // normal
    {"MINI", 0x150},  // process and thread data, indirectly referenced and scanned memory
    {"ORVIK", 0x155}, // as MINI plus data segments and handle data
    {"MIDI",
     0x325}, // data segments, handles, unloaded modules, process/thread data, private read-write memory
    {"MAXI", 0x126}, // full memory, handles, unloaded modules, process and thread data
};

constexpr int MaxNameAttempts = 100;
constexpr size_t CompressBlock = 4096;

struct FILECLOSER {
    void operator()(FILE* file) const { std::fclose(file); }
};

void RequestFromLog(int requested) {
    CrashHandlerInstall(requested > 0 ? unsigned(requested) : 0);
}

} // namespace

void CrashHandlerInstall(unsigned level) {
    LogitSetCrashDumpHandler(RequestFromLog);
    // A switch read before the handler existed is remembered by the log.
    if (!PickedUp.exchange(true) && LogitCrashDumpLevel() > 0)
        level = std::max(level, unsigned(LogitCrashDumpLevel()));
    unsigned current = CrashLevel.load();
    while (level > current && !CrashLevel.compare_exchange_weak(current, level)) {
    }
    if (CrashLevel.load() == 0)
        return;
    CRASHPLATFORM::Install();
}

unsigned CrashHandlerLevel() {
    return CrashLevel.load();
}

void CrashHandlerRelease() {
    CRASHPLATFORM::Release();
}

CRASHDUMPKIND CrashDumpKindFor(unsigned level) {
    return DumpKinds[level % 5];
}

STRING CrashProgramTag(const char* appname, const char* appversion) {
    STRING tag = STRING(appname ? appname : "") || (appversion ? appversion : "");
    tag.Replace(".", "");
    tag.ToUpper();
    return tag;
}

STRING CrashDumpFileName(const char* folder, const char* tag, const char* user, const char* kind,
                         const std::function<bool(const char* name)>& taken) {
    STRING name;
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        name.Printf("%s\\Orvik.CrashInfo.%s.%s", folder, tag, user);
        if (attempt > 0)
            name.AppendPrintf("%d", attempt);
        name.AppendPrintf(".%s.dmp", kind);
        if (!taken(name.c_str()) && !taken((name || ".gz").c_str()))
            break;
    }
    return name;
}

STRING CrashQuestionText(bool german, const char* tag, const char* filename, const char* folder) {
    static const char* const English =
        "The program %s has encountered an error and will be terminated.\n\nYou can choose to create a file "
        "containing crash-debugging information,\nwhich you can then upload or email to Orvik.\n\n Filename: "
        "%s\n (in folder '%s')\n\nDo you now want to create and send the crash-information (a web browser "
        "will "
        "open with an upload form to send the file)?";
    // Written in UTF-8 and shown in the program's own code page.
    static const char* const German =
        "Das Programm %s hat einen Fehler verursacht und muss beendet werden.\n\nSie können eine Datei "
        "mit "
        "Crash-Informationen erzeugen und diese dann\nper Web-Upload oder Email an Orvik senden.\n\n "
        "Filename: "
        "%s\n (im Ordner '%s')\n\nWollen Sie die Crash-Informationen erzeugen und an Orvik senden(zum Upload "
        "öffnet sich ein Web-Formular)?";
    STRING text;
    text.Printf(german ? TEXTCODEC::FromUtf8(German).c_str() : English, tag, filename, folder);
    return text;
}

STRING CrashReportAddress(const char* site, const char* dumppath, bool german) {
    // Only the file's own name goes out: the folder would disclose the user's profile path, and its blanks
    // and backslashes are no valid part of an address.
    const char* name = dumppath;
    for (const char* p = dumppath; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    STRING address = STRING(site) || "/common/crashreport.php?filename=";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        const bool unreserved = (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') ||
                                (*p >= '0' && *p <= '9') || *p == '-' || *p == '_' || *p == '.' || *p == '~';
        if (unreserved)
            address.Append(reinterpret_cast<const char*>(p), 1);
        else
            address.AppendPrintf("%%%02X", *p);
    }
    if (german)
        address.Append("&html=htm");
    return address;
}

const char* CrashReportSite() {
    return ORVIK_CRASHREPORT_SITE;
}

long CrashCompressFile(const char* source, const char* target) {
    std::unique_ptr<FILE, FILECLOSER> in(std::fopen(source, "rb"));
    if (!in)
        return -1;
    gzFile out = gzopen(target, "wb");
    if (out == nullptr)
        return -1;
    long blocks = 0;
    bool failed = false;
    char block[CompressBlock];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in.get())) > 0) {
        if (gzwrite(out, block, static_cast<unsigned>(got)) != static_cast<int>(got)) {
            failed = true;
            break;
        }
        ++blocks;
    }
    if (gzclose(out) != Z_OK)
        failed = true;
    return failed ? -1 : blocks;
}
