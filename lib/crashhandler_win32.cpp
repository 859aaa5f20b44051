// Catching the fault and writing the dump. The report is made on a thread of its own that the faulting
// thread starts and waits for: after a stack overflow the faulting thread has no stack left for the message
// box, the debug-help library and the compression.
#include <windows.h>

#include <dbghelp.h>

#include <atomic>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/crashhandler.h"
#include "lib/crashhandler_platform.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/winhandles.h"

namespace {

constexpr size_t ReserveSize = 65536;

std::atomic<char*> Reserve{nullptr};
std::atomic<bool> Installed{false};
std::atomic<bool> Handling{false};
std::atomic<DWORD> ReporterThreadId{0};

using MINIDUMPWRITEDUMP = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                        PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

void FreeReserve() {
    delete[] Reserve.exchange(nullptr);
}

bool Taken(const char* name) {
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

STRING WithoutTrailingSeparator(STRING folder) {
    while (folder.Length() > 0 && (folder[folder.Length() - 1] == '\\' || folder[folder.Length() - 1] == '/'))
        folder.Truncate(folder.Length() - 1);
    return folder;
}

// The fault as the handler received it.
struct CRASHREPORT {
    EXCEPTION_POINTERS* Pointers;
    DWORD FaultingThreadId;

    void Make() const;

private:
    bool WriteDump(MINIDUMPWRITEDUMP writedump, const char* filename, const CRASHDUMPKIND& kind) const;
};

bool CRASHREPORT::WriteDump(MINIDUMPWRITEDUMP writedump, const char* filename,
                            const CRASHDUMPKIND& kind) const {
    FILEHANDLE file(
        CreateFileA(filename, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        LogPrintf("ORVIKAPP::WriteDumpToFileHandler cannot create %s: %s\n", filename,
                  OSYS::GetLastErrorString().Text());
        return false;
    }
    MINIDUMP_EXCEPTION_INFORMATION exception = {FaultingThreadId, Pointers, FALSE};
    const BOOL written = writedump(GetCurrentProcess(), GetCurrentProcessId(), file.get(),
                                   static_cast<MINIDUMP_TYPE>(kind.MiniDumpType),
                                   Pointers ? &exception : nullptr, nullptr, nullptr);
    if (!written)
        LogPrintf("ORVIKAPP::WriteDumpToFileHandler MiniDumpWriteDump failed: %s\n",
                  OSYS::GetLastErrorString().Text());
    else
        LogPrintf("ORVIKAPP::WriteDumpToFileHandler minidump type %03x written\n", kind.MiniDumpType);
    return written != FALSE;
}

void CRASHREPORT::Make() const {
    const STRING user = OSYS::GetUserName();
    const STRING desktop = WithoutTrailingSeparator(OSYS::GetSystemPath(OSYS::SYSTEMPATH_DESKTOP));
    const CRASHDUMPKIND kind = CrashDumpKindFor(CrashHandlerLevel());

    LIBRARYHANDLE dbghelp(LoadSystemLibrary("dbghelp.dll"));
    const auto writedump = dbghelp ? reinterpret_cast<MINIDUMPWRITEDUMP>(reinterpret_cast<void*>(
                                         GetProcAddress(dbghelp.get(), "MiniDumpWriteDump")))
                                   : nullptr;
    if (!writedump) {
        LogPrintf("ORVIKAPP::WriteDumpToFileHandler failed to load dll or proc address (%p/%p)\n",
                  static_cast<void*>(dbghelp.get()), reinterpret_cast<void*>(writedump));
        return;
    }

    const STRING tag = CrashProgramTag(gAppName.c_str(), gAppVersion.c_str());
    const bool inprogramfolder = desktop.IsEmpty();
    const STRING folder = inprogramfolder ? DirectoryOf(OSYS::GetModulePath().c_str()) : desktop;
    const STRING dumpname =
        CrashDumpFileName(folder.c_str(), tag.c_str(), user.IsEmpty() ? "" : user.c_str(), kind.Name, Taken);
    const STRING shortname = dumpname.Mid(folder.Length() + 1);

    const STRING question = CrashQuestionText(IsGerman(), tag.c_str(), shortname.c_str(), folder.c_str());
    if (!WINORVIK::YesNoMsgBox(nullptr, gAppName.c_str(), question.c_str()))
        return;

    if (!WriteDump(writedump, dumpname.c_str(), kind)) {
        DeleteFileA(dumpname.c_str());
        return;
    }
    const STRING compressed = dumpname || ".gz";
    const long blocks = CrashCompressFile(dumpname.c_str(), compressed.c_str());
    if (blocks > 0)
        DeleteFileA(dumpname.c_str());
    else
        LogPrintf("ORVIKAPP::WriteDumpToFileHandler cannot compress into %s: the dump stays uncompressed\n",
                  compressed.c_str());
    LogPrintf("ORVIKAPP::WriteDumpToFileHandler dump file written (%s)\n", dumpname.c_str());

    if (!inprogramfolder) {
        const STRING address = CrashReportAddress(CrashReportSite(), dumpname.c_str(), IsGerman());
        LogPrintf("ORVIKAPP::WriteDumpToFileHandler opening %s\n", address.c_str());
        OSYS::OpenDocument(address.c_str(), nullptr);
    }
}

DWORD WINAPI ReportThread(void* argument) {
    ReporterThreadId = GetCurrentThreadId();
    static_cast<const CRASHREPORT*>(argument)->Make();
    return 0;
}

LONG WINAPI WriteDumpToFileHandler(EXCEPTION_POINTERS* pointers) {
    // A fault of the reporting thread itself ends the process at once; a second fault elsewhere waits for
    // the first report, after which the process ends.
    if (Handling.exchange(true)) {
        if (GetCurrentThreadId() != ReporterThreadId.load())
            Sleep(INFINITE);
        return EXCEPTION_EXECUTE_HANDLER;
    }
    FreeReserve();
    LogPrintf("ORVIKAPP::WriteDumpToFileHandler entered\n");

    const CRASHREPORT report{pointers, GetCurrentThreadId()};
    KERNELHANDLE thread(
        ::CreateThread(nullptr, 0, ReportThread, const_cast<CRASHREPORT*>(&report), 0, nullptr));
    if (thread)
        WaitForSingleObject(thread.get(), INFINITE);
    else
        report.Make(); // no thread to be had: try on what is left of this one

    LogPrintf("ORVIKAPP::WriteDumpToFileHandler finished\n");
    LogitOption("/LOGITCLOSE");
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

namespace CRASHPLATFORM {

void Install() {
    if (IsDebuggerPresent()) {
        LogPrintfLevel(14, "Not setting crash logger ExceptionHandler when debugging\n");
        return;
    }
    char* expected = nullptr;
    char* block = new char[ReserveSize];
    if (!Reserve.compare_exchange_strong(expected, block))
        delete[] block;
    if (!Installed.exchange(true)) {
        SetUnhandledExceptionFilter(WriteDumpToFileHandler);
        LogPrintf("ORVIKAPP crash handler installed (level %u, %s dumps)\n", CrashHandlerLevel(),
                  CrashDumpKindFor(CrashHandlerLevel()).Name);
    }
}

void Release() {
    FreeReserve();
}

} // namespace CRASHPLATFORM
