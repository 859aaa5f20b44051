#include "lib/net/ios.h"

#include <chrono>
#include <cstring>
#include <memory>

#include "lib/orvik.h"

namespace {
constexpr uint32_t LogCalls = 0x102;   // device input/output, detail 2
constexpr uint32_t LogDetails = 0x104; // detail 4
constexpr uint32_t LogHexDump = 0x108; // detail 8

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool IsStopByte(const char* set, unsigned char byte) {
    return set != nullptr && byte != 0 && strchr(set, byte) != nullptr;
}
} // namespace

BASEIO::BASEIO(const char* ourid, const char* calltype, const char* parameter, int deviceflags)
    : Queue(QueueSize), semKillThread(false), DeviceFlags(deviceflags), OurId(ourid), CallType(calltype),
      Parameter(parameter), Spare(""), LastErrorString("<unknown>"),
      semConstructorDone((deviceflags & BASEIO_DEVICE_CONSTRUCTOR_SIGNALS) == 0) {
    LogPrintf("BASEIO::BASEIO this= %p, ourid= %s, calltype= %s, parm= %s\n", static_cast<void*>(this),
              OurId.Text(), CallType.Text(), Parameter.Text());
    LogPrintf("BASEIO::BASEIO semKillThreadHandle= %p\n", static_cast<void*>(&semKillThread));
    LogPrintf("BASEIO::BASEIO ConstructorDoneHandle= %p\n", static_cast<void*>(&semConstructorDone));
    if ((DeviceFlags & BASEIO_DEVICE_NO_DAEMON) == 0)
        hThread = OSYS::CreateThread(DaemonEntry, this);
    LogPrintf("BASEIO::BASEIO done\n");
}

BASEIO::~BASEIO() {
    LogPrintf("BASEIO::~BASEIO this= %p\n", static_cast<void*>(this));
    ORVIK_ASSERT(!this->hThread);
    IsDead = 1;
    LogPrintf("BASEIO::~BASEIO done\n");
}

void BASEIO::DaemonEntry(void* device) {
    static_cast<BASEIO*>(device)->Daemon();
}

void BASEIO::Daemon() {
    ORVIK_ASSERT(!this->IsDead);
    semConstructorDone.Wait();
    LogPrintf("BASEIO::Daemon (this= %p)\n", static_cast<void*>(this));
    do {
        if (Magic1 != GuardWord || Magic2 != GuardWord) {
            STRING info;
            info.Printf("magic1= %08x, magic2= %08x", Magic1, Magic2);
            Assert(false, "FALSE", __FILE__, __LINE__, info.Text(), false);
        }
        if (!ReadDeviceToRingbuffer(-1)) {
            LogPrintf("BASEIO::Daemon about to Sleep(100)\n");
            OSYS::Sleep(100);
        }
    } while (!semKillThread.Wait(0));
    LogPrintf("BASEIO::~Daemon\n");
}

bool BASEIO::IsActive() {
    return GetNumAvail() > 0 || DevIsConnected();
}

void BASEIO::SetNotifyHook(void (*hook)(intptr_t), intptr_t userdata) {
    pfnNotifyHook = hook;
    NotifyUserData = userdata;
}

bool BASEIO::StartDaemon(BASEIODATACALLBACK callback, intptr_t userdata) {
    pfnDataCallback = callback;
    CallbackUserData = userdata;
    if (hThread != nullptr)
        return true;
    semConstructorDone.Reset();
    hThread = OSYS::CreateThread(DaemonEntry, this);
    semConstructorDone.Set();
    return hThread != nullptr;
}

void BASEIO::SetCallType(const char* calltype) {
    LogPrintf("ISDNIO::SetCallType old=%s, new=%s\n", CallType.Text(),
              StringNullPolicy(calltype, "calltype"));
    CallType = calltype;
}

void BASEIO::SetOurId(const char* ourid) {
    LogPrintf("ISDNIO::SetOurId old=%s, new=%s\n", OurId.Text(), StringNullPolicy(ourid, "ourid"));
    OurId = ourid;
}

STRING BASEIO::GetProperty(const char* name) {
    STRING key(name);
    key.ToUpper();
    if (key == "ONLINE")
        return STRING("0");
    if (key == "LASTERROR")
        return STRING(LastError);
    if (key == "LASTERRORSTRING")
        return LastErrorString;
    if (key == "OWNID")
        return OurId;
    if (key == "CALLERID")
        return STRING("<unknown>");
    if (key == "DEVICENAME")
        return STRING("BASEIO");
    return STRING("BASEIO::BAD-REQUEST");
}

void BASEIO::SetProperty(const char* name, const char* value) {
    const STRING prefix = STRING(name) || "=";
    DYNARRAYLOCK hold(NamedSettings);
    for (int i = 0; i < NamedSettings.Count(); ++i)
        if (NamedSettings.Get(i)->iPos(prefix.Text()) == 0) {
            NamedSettings.DeleteItem(i);
            break;
        }
    NamedSettings.Append(prefix || value);
}

int BASEIO::GetNumAvail() {
    return Queue.Available() + DevGetNumAvail();
}

void BASEIO::PushBack(const char* bytes, int length) {
    STRING front(BINARY(bytes, length));
    front.Append(Pushback);
    Pushback = front;
}

bool BASEIO::ReadDeviceToRingbuffer(int timeoutms) {
    int n = DevGetNumAvail();
    if (n < 1)
        n = timeoutms == -1 ? 1 : 128;
    if (n > MaxDeviceRead)
        n = MaxDeviceRead;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[n]);
    int got = n;
    const bool ok = DevRead(buffer.get(), &got, timeoutms);
    LogPrintfLevel(LogDetails, "BASEIO::ReadDeviceToRingbuffer numavail %d\n", n);
    if (ok)
        LogPrintfLevel(LogDetails, "BASEIO::ReadDeviceToRingbuffer got %d bytes\n", got);
    if (ok && got > 0)
        Feed(buffer.get(), got);
    return ok;
}

void BASEIO::Feed(const unsigned char* bytes, int length) {
    ORVIK_ASSERT(!this->IsDead);
    LogPrintfLevel(LogDetails, "BASEIO::Feed len %d\n", length);
    if (LogPrintfLevel(LogHexDump, nullptr)) {
        STRING dump("BASEIO::Feed data=\n");
        for (int i = 0; i < length; ++i) {
            if (i > 0 && i % 16 == 0)
                dump.Append("\n     ");
            dump.AppendPrintf(" %02x", bytes[i]);
        }
        dump.Append("\n");
        LogPrintfLevel(LogHexDump, "%s", dump.Text());
    }
    bool ok = true;
    if (pfnDataCallback != nullptr)
        pfnDataCallback(CallbackUserData, bytes, length);
    else
        ok = Queue.Write(bytes, length);
    LogPrintfLevel(LogDetails, "BASEIO::~Feed ok %d\n", ok ? 1 : 0);
}

bool BASEIO::Read(void* buffer, int* length, int timeoutms, const char* readuntil) {
    const int wanted = *length;
    LogPrintfLevel(LogCalls, "BASEIO::Read %d %d\n", wanted, timeoutms);
    ORVIK_ASSERT(!this->IsDead);
    ORVIK_ASSERT((this->DeviceFlags & BASEIO_DEVICE_IS_PACKETBASED) == 0);
    ORVIK_ASSERT(this->pfnDataCallback == NULL);
    auto* out = static_cast<unsigned char*>(buffer);
    const int64_t start = NowMs();
    const int poll = timeoutms / 10;
    int done = 0;
    while (done < wanted) {
        int got = 0;
        if (Pushback.Length() > 0) {
            out[done] = static_cast<unsigned char>(Pushback[0]);
            Pushback.CutLeft(1);
            got = 1;
            LogPrintfLevel(LogDetails, "BASEIO::Read got %d byte from pushback\n", got);
        } else {
            got = wanted - done;
            if (Queue.Available() == 0 && hThread == nullptr &&
                (DeviceFlags & BASEIO_DEVICE_READS_BY_DAEMON) == 0) {
                ReadDeviceToRingbuffer(poll);
                Queue.Read(out + done, &got, 0, readuntil);
            } else {
                Queue.Read(out + done, &got, poll, readuntil);
            }
            if (got > 0)
                LogPrintfLevel(LogDetails, "BASEIO::Read got %d byte packet\n", got);
        }
        done += got;
        const int64_t duration = NowMs() - start;
        LogPrintfLevel(LogDetails, "BASEIO::Read loop fill= %d, dura= %d\n", done,
                       static_cast<int>(duration));
        if (got > 0 && IsStopByte(readuntil, out[done - 1])) {
            LogPrintfLevel(LogDetails, "BASEIO::Read got readuntil byte ... break;\n");
            break;
        }
        if (duration >= timeoutms || !IsActive())
            break;
    }
    *length = done;
    LogPrintfLevel(LogCalls, "BASEIO::~Read done ldone=%d, *plen= %d, dura= %d\n", done, *length,
                   static_cast<int>(NowMs() - start));
    return done > 0;
}

bool BASEIO::Write(const void* bytes, int length) {
    if (length < 0)
        length = static_cast<int>(strlen(static_cast<const char*>(bytes)));
    LogPrintfLevel(LogCalls, "BASEIO::Write len %d\n", length);
    ORVIK_ASSERT(!this->IsDead);
    const bool ok = DevWrite(bytes, length);
    LogPrintfLevel(LogCalls, "BASEIO::~Write ok %d\n", ok ? 1 : 0);
    return ok;
}

void BASEIO::KillDaemon(bool markdead) {
    LogPrintf("BASEIO::KillDaemon\n");
    if (hThread != nullptr) {
        LogPrintf("BASEIO::KillDaemon about to post semKillThread\n");
        semKillThread.Set();
        LogPrintf("BASEIO::KillDaemon after semKillThread posted\n");
        OSYS::WaitThread(hThread, OSYS::WAIT_FOREVER);
        LogPrintf("BASEIO::KillDaemon thread completed\n");
        hThread = nullptr;
    } else {
        LogPrintf("BASEIO::KillDaemon nothing to do (deamonless device or already killed)\n");
    }
    if (markdead)
        IsDead = 1;
    LogPrintf("BASEIO::KillDaemon done\n");
}
