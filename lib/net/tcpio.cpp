#include "lib/net/tcpio.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "lib/orvik.h"

using SOCKETAPI::NOSOCKET;
using SOCKETAPI::SOCKETID;

namespace {
constexpr uint32_t LogCalls = 0x202;   // TCP/IP, detail 2
constexpr uint32_t LogDetails = 0x204; // detail 4
constexpr uint32_t LogHexDump = 0x207; // detail 7
constexpr int ListenBacklog = 32;

struct ERRORENTRY {
    int Code;
    int Class;
    const char* Text;
};
constexpr ERRORENTRY ErrorTable[] = {
    {0, 200, "No Error"},
    {TCPERR_NORESPONSE, 400, "No response. *"},
    {TCPERR_NOSOCKET, 500, "No TCP/IP socket or service. *"},
    {TCPERR_HOSTNOTFOUND, 500, "Host not found. *"},
    {TCPERR_DISCONNECTED, 500, "Remote disconnected"},
    {TCPERR_RECVFAILED, 500, "Recv failed"},
    {TCPERR_IOCTLFAILED, 500, "Error Ioctl failed. *"},
    {TCPERR_LISTENFAILED, 500, "Listen failed. *"},
    {TCPERR_ACCEPTFAILED, 500, "Accept failed. *"},
    {TCPERR_BINDFAILED, 500, "Bind failed. *"},
    {TCPERR_SENDSTALLED, 400, "Send timed out. *"},
    {TCPERR_SENDFAILED, 500, "Send failed. *"},
    {TCPERR_TLSFAILED, 500, "Encryption failed. *"},
};

const ERRORENTRY* FindError(int code) {
    for (const ERRORENTRY& entry : ErrorTable)
        if (entry.Code == code)
            return &entry;
    return nullptr;
}

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t NowSeconds() {
    return static_cast<int64_t>(time(nullptr));
}

long long SocketNumber(SOCKETID socket) {
    return static_cast<long long>(socket);
}

bool HasLetters(const STRING& text) {
    for (int i = 0; i < text.Length(); ++i)
        if (isalpha(static_cast<unsigned char>(text[i])))
            return true;
    return false;
}
} // namespace

TCPIPIO::SLOT TCPIPIO::InSockets[TCPIPIO::MaxListeningSockets];

MUTEXSEM& TCPIPIO::InSocketsLock() {
    static MUTEXSEM lock;
    return lock;
}

TCPIPIO::TCPIPIO(const char* ourid, const char* calltype, const char* parameter)
    : BASEIO(ourid, calltype, parameter, 3), semAcceptDone(false), WriteLock(false), PeerName("<unknown>") {
    const int colon = OurId.Pos(":");
    if (colon >= 0) {
        STRING rewritten;
        rewritten.Printf("%s[%s]", OurId.Mid(colon + 1).Text(), OurId.Left(colon).Text());
        OurId = rewritten;
    }
    LogPrintf("TCPIPIO::TCPIPIO this= %p, this->OurId= %s\n", static_cast<void*>(this), OurId.Text());
    STRING description;
    WinsockReady = SOCKETAPI::Startup(description);
    LogPrintf("TCP::InitWinsock WSAStartup %s\n", description.Text());
    if (WinsockReady)
        LocalHostName = SOCKETAPI::LocalHostName();
    semAcceptDone.Set();
    ConstructorDone();
    LogPrintf("TCPIPIO::TCPIPIO done\n");
}

TCPIPIO::~TCPIPIO() {
    LogPrintf("TCPIPIO::~TCPIPIO this= %p\n", static_cast<void*>(this));
    if (DevIsConnected()) {
        DropCall();
        LogPrintf("TCPIPIO::~TCPIPIO after DropCall()\n");
    }
    const SOCKETID held = InSocket.exchange(NOSOCKET);
    if (held != NOSOCKET) {
        FreeAcceptSocket(held, true);
        LogPrintf("TCPIPIO::~TCPIPIO after FreeAcceptSocket()\n");
    }
    ORVIK_ASSERT(!this->DevIsConnected());
    KillDaemon(true);
    semAcceptDone.Wait();
    LogPrintf("TCPIPIO::~TCPIPIO after semAcceptDone.Wait()\n");
    if (WinsockReady)
        SOCKETAPI::Cleanup();
}

void TCPIPIO::SetError(int code, const STRING& text) {
    LastError = code;
    LastErrorString = text;
}

void TCPIPIO::Touch() {
    LastActivity = NowSeconds();
}

int TCPIPIO::RawRecv(intptr_t socket, void* buffer, int size) {
    return SOCKETAPI::Recv(socket, buffer, size);
}

int TCPIPIO::RawSend(intptr_t socket, const void* bytes, int length) {
    return SOCKETAPI::Send(socket, bytes, length);
}

bool TCPIPIO::Resolv(const char* destination, RESOLVED& result, STRING& error, bool noreverselookup) {
    LogPrintfLevel(LogCalls, "TCPIPIO::Resolv dest= %s, no_iptoname= %d\n",
                   StringNullPolicy(destination, "dest"), noreverselookup ? 1 : 0);
    STRING dest(destination);
    dest.Strip('B', " :*#");
    STRING host = dest.Word(0, " :", WORD_NOTNULL);
    STRING service = dest.Word(1, " :", WORD_NOTNULL);
    if (service.IsEmpty())
        service = "23";
    const bool numeric = !HasLetters(host);
    int a, b, c, d;
    if (numeric && sscanf(host.Text(), "%d.%d.%d.%d", &a, &b, &c, &d) == 4)
        host.Printf("%d.%d.%d.%d", a, b, c, d);

    result = RESOLVED();
    if (!SOCKETAPI::Lookup(host.Text(), service.Text(), &result.Endpoint, error)) {
        result.Endpoint.Port = SOCKETAPI::ServicePort(service.Text());
        if (result.Endpoint.Port == 0)
            result.Endpoint.Port = service.ToInt();
        result.Name = host;
        return false;
    }
    result.HasAddress = true;
    result.Numeric = SOCKETAPI::NumericAddress(result.Endpoint.Address);
    if (noreverselookup)
        result.Name = numeric ? STRING("<unknown>") : host;
    else
        result.Name = SOCKETAPI::ReverseName(result.Endpoint.Address);
    if (result.Name.IsEmpty())
        result.Name = host;
    return true;
}

int TCPIPIO::Select(bool* read, bool* write, bool* connectrequest, int timeoutms, STRING* error) {
    LogPrintfLevel(LogDetails, "TCPIPIO::Select for skt %lld before select timout= %d/%d\n",
                   SocketNumber(Socket), timeoutms / 1000, (timeoutms % 1000) * 1000);
    bool except = connectrequest != nullptr && *connectrequest;
    const int count = SOCKETAPI::Select(Socket, read, write, &except, timeoutms);
    if (count < 0) {
        const STRING text = TCP::GetLastErrorString(-9999);
        if (error != nullptr)
            *error = text;
        LogPrintf("TCPIPIO::Select for skt %lld failed with %s\n", SocketNumber(Socket), text.Text());
        return -1;
    }
    if (connectrequest != nullptr && *connectrequest && except)
        return -1;
    return count;
}

bool TCPIPIO::MakeCall(const char* destination) {
    LogPrintf("TCPIPIO::MakeCall\n");
    ORVIK_ASSERT(!this->IsDead);
    ORVIK_ASSERT(!this->DevIsConnected());
    LastErrorString = "";
    LogPrintf("TCPIPIO::MakeCall(%s)\n", StringNullPolicy(destination, "destination"));

    RESOLVED peer;
    STRING error;
    if (!Resolv(destination, peer, error, !ReverseLookup)) {
        SetError(TCPERR_HOSTNOTFOUND, error);
        LogPrintf("TCPIPIO::~MakeCall last error= %d WSABASEERR+%d\n", LastError,
                  SOCKETAPI::LastError() - SOCKETAPI::ErrorBase());
        return false;
    }
    LogPrintf("TCPIPIO::MakeCall after resolv() hnm= %p host %s/%s, port= %d\n", static_cast<void*>(&peer),
              peer.Name.Text(), peer.Numeric.Text(), peer.Endpoint.Port);
    SOCKETID socket = SOCKETAPI::Create();
    if (socket == NOSOCKET || peer.Endpoint.Port == 0) {
        const STRING text = TCP::GetLastErrorString(-9999);
        if (socket != NOSOCKET)
            SOCKETAPI::Close(socket);
        SetError(TCPERR_NOSOCKET, text);
        return false;
    }
    LogPrintf("TCPIPIO::MakeCall after socket(): sock= %lld\n", SocketNumber(socket));
    SOCKETAPI::SetBlocking(socket, false);
    bool connected = SOCKETAPI::Connect(socket, peer.Endpoint) == 0;
    if (!connected && SOCKETAPI::IsWouldBlock(SOCKETAPI::LastError())) {
        const int timeout = ConnectTimeoutMs < 0 ? DefaultConnectTimeoutMs : ConnectTimeoutMs;
        bool write = true, except = true;
        const int rc = SOCKETAPI::Select(socket, nullptr, &write, &except, timeout);
        int pending = 0;
        STRING text = SOCKETAPI::PendingErrorText(socket, &pending);
        if (rc > 0 && write && !except && pending == 0) {
            LogPrintf("TCPIPIO::MakeCall sock %lld in writefds\n", SocketNumber(socket));
            connected = true;
        } else if (rc > 0 && pending != 0) {
            LastErrorString = text; // refused or unreachable: the system says which
        } else if (rc == 0) {
            LastErrorString.Printf("no connection within %d ms", timeout);
        }
    } else if (!connected) {
        LastErrorString = TCP::GetLastErrorString(-9999);
    }
    if (connected) {
        LogPrintf("TCPIPIO::MakeCall after connect(): rc= %d\n", 0);
        PeerName.Printf("%s (%s)", peer.Name.Text(), peer.Numeric.Text());
        LastError = 0;
        Socket = socket;
        Touch();
    } else {
        LastError = TCPERR_NORESPONSE;
        if (LastErrorString.IsEmpty())
            LastErrorString = SOCKETAPI::PendingErrorText(socket, nullptr);
        SOCKETAPI::Close(socket);
    }
    LogPrintf("TCPIPIO::~MakeCall last error= %d WSABASEERR+%d\n", LastError,
              SOCKETAPI::LastError() - SOCKETAPI::ErrorBase());
    return DevIsConnected();
}

int TCPIPIO::DevGetNumAvail() {
    if (!DevIsConnected())
        return 0;
    if (!TlsPlain.empty())
        return static_cast<int>(TlsPlain.size());
    int avail = 0;
    if (!SOCKETAPI::BytesAvailable(Socket, &avail))
        SetError(TCPERR_IOCTLFAILED, TCP::GetLastErrorString(-9999));
    LogPrintfLevel(LogDetails, "TCPIPIO::DevGetNumAvail avail=%d \n", avail);
    return avail;
}

// Bytes as they come from the socket: their count, 0 after a time-out, -1 when the connection failed or the
// peer closed it (then dropped, unless the parameter keeps it after a receive error).
int TCPIPIO::ReceiveRaw(void* buffer, int wanted, int timeoutms) {
    bool read = true;
    STRING error;
    const int rc = Select(&read, nullptr, nullptr, timeoutms, &error);
    if (rc == 0)
        return 0;
    if (rc > 0) {
        ORVIK_ASSERT(read);
        int avail = 0;
        if (!SOCKETAPI::BytesAvailable(Socket, &avail))
            SetError(TCPERR_IOCTLFAILED, TCP::GetLastErrorString(-9999));
        const int got = avail > 0 ? RawRecv(Socket, buffer, std::min(avail, wanted)) : 0;
        if (got > 0) {
            Touch();
            return got;
        }
        // Readable with nothing to read: the peer has closed the connection.
        const STRING text = TCP::GetLastErrorString(-9999);
        LogPrintf("TCPIPIO::DevRead read disconnect rc=%d, lasterror= %d\n", got, SOCKETAPI::LastError());
        DropCall();
        SetError(TCPERR_DISCONNECTED, text);
    } else {
        LogPrintf("TCPIPIO::DevRead read error rc=%d, lasterror= %d\n", rc, SOCKETAPI::LastError());
        if (Parameter.ToInt() == 0)
            DropCall();
        SetError(TCPERR_RECVFAILED, error);
    }
    return -1;
}

bool TCPIPIO::DevRead(void* buffer, int* length, int timeoutms) {
    LogPrintfLevel(LogCalls, "TCPIPIO::DevRead %d\n", *length);
    const int wanted = *length;
    *length = 0;
    if (!DevIsConnected())
        return false;
    int got = 0;
    if (Tls == nullptr) {
        got = ReceiveRaw(buffer, wanted, timeoutms);
    } else {
        // Encrypted: whole records are decrypted; their text is handed out as asked for.
        if (TlsPlain.empty()) {
            std::unique_ptr<char[]> raw(new char[MaxDeviceRead]);
            got = ReceiveRaw(raw.get(), MaxDeviceRead, timeoutms);
            if (got > 0) {
                TlsRaw.append(raw.get(), static_cast<size_t>(got));
                if (!Tls->Decrypt(TlsRaw, TlsPlain)) {
                    const STRING text(Tls->Error().c_str());
                    DropCall();
                    SetError(TCPERR_TLSFAILED, text);
                    got = -1;
                }
            }
        }
        if (got >= 0) {
            got = std::min(wanted, static_cast<int>(TlsPlain.size()));
            memcpy(buffer, TlsPlain.data(), static_cast<size_t>(got));
            TlsPlain.erase(0, static_cast<size_t>(got));
        }
    }
    if (got > 0) {
        *length = got;
        LogPrintfLevel(LogCalls, "TCPIPIO::DevRead done ok=%d *plen=%d\n", 1, got);
        return true;
    }
    LogPrintfLevel(LogCalls, "TCPIPIO::DevRead done ok=%d rrc= %d, *plen=%d\n", 0, got, *length);
    return false;
}

bool TCPIPIO::StartTls(const char* servername, int timeoutms, const TLSPOLICY& policy) {
    LogPrintf("TCPIPIO::StartTls(%s)\n", StringNullPolicy(servername, "servername"));
    if (!DevIsConnected() || Tls != nullptr)
        return false;
    // What came in clear before the handshake must not pass for part of the encrypted dialogue.
    Pushback = "";
    char sink[4096];
    for (int n = sizeof(sink); Queue.Read(sink, &n, 0); n = sizeof(sink)) {
    }
    std::unique_ptr<TLSCLIENT> session = TLSCLIENT::Create(servername, policy);
    std::string incoming, outgoing;
    std::unique_ptr<char[]> raw(new char[MaxDeviceRead]);
    const int64_t deadline = NowMs() + timeoutms;
    STRING failure;
    for (;;) {
        const TLSCLIENT::STATE state = session->Handshake(incoming, outgoing);
        if (!outgoing.empty()) {
            WriteLock.Obtain();
            const bool sent = SendAll(reinterpret_cast<const unsigned char*>(outgoing.data()),
                                      static_cast<int>(outgoing.size()));
            WriteLock.Release();
            outgoing.clear();
            if (!sent) {
                failure = LastErrorString;
                break;
            }
        }
        if (state == TLSCLIENT::STATE::DONE) {
            Tls = std::move(session);
            TlsRaw = incoming;
            TlsPlain.clear();
            LogPrintf("TCPIPIO::~StartTls encrypted, %s%s\n",
                      Tls->Verified() ? "verified" : "not verified: ", Tls->VerifyError().c_str());
            return true;
        }
        if (state == TLSCLIENT::STATE::FAILED) {
            failure = session->Error().c_str();
            break;
        }
        if (state == TLSCLIENT::STATE::CONTINUE)
            continue;
        const int64_t remaining = deadline - NowMs();
        const int got = remaining > 0 ? ReceiveRaw(raw.get(), MaxDeviceRead, static_cast<int>(remaining)) : 0;
        if (got <= 0) {
            failure = got == 0 ? STRING("no answer to the TLS handshake") : LastErrorString;
            break;
        }
        incoming.append(raw.get(), static_cast<size_t>(got));
    }
    DropCall();
    SetError(TCPERR_TLSFAILED, failure);
    LogPrintf("TCPIPIO::~StartTls failed: %s\n", failure.Text());
    return false;
}

void TCPIPIO::HexDump(const char* title, const unsigned char* bytes, int length) {
    if (!LogPrintfLevel(LogHexDump, nullptr))
        return;
    LogPrintfLevel(LogHexDump, "TCPIPIO::%s : \n", title);
    for (int line = 0; line < length; line += 16) {
        STRING hex, printable;
        for (int i = line; i < std::min(length, line + 16); ++i) {
            hex.AppendPrintf(i - line == 8 ? " %02x " : "%02x ", bytes[i]);
            const char ch = static_cast<char>(bytes[i]);
            printable.Append(isprint(bytes[i]) ? &ch : ".", 1);
        }
        LogPrintfLevel(LogHexDump, "    %s [%s]\n", hex.Text(), printable.Text());
    }
}

// Under the write lock: every byte, or false when the socket failed or took nothing for SendStallMs.
bool TCPIPIO::SendAll(const unsigned char* bytes, int length) {
    int sent = 0;
    while (sent < length) {
        bool write = true;
        STRING error;
        const int rc = Select(nullptr, &write, nullptr, SendStallMs, &error);
        if (rc <= 0) {
            LogPrintf("TCPIPIO::DevWrite select for write failed, rrc= %d\n", rc);
            if (rc == 0) {
                LogPrintf("TCPIPIO::DevWrite send rc=%d \n", 0);
                STRING text;
                text.Printf("the peer took no data for %d ms", SendStallMs);
                SetError(TCPERR_SENDSTALLED, text);
            } else {
                SetError(TCPERR_SENDFAILED, error);
            }
            return false;
        }
        LogPrintfLevel(LogDetails, "TCPIPIO::DevWrite pending done ok on skt= %lld\n", SocketNumber(Socket));
        const int n = RawSend(Socket, bytes + sent, length - sent);
        if (n < 0 && SOCKETAPI::IsWouldBlock(SOCKETAPI::LastError()))
            continue;
        if (n <= 0) {
            const STRING text = TCP::GetLastErrorString(-9999);
            LogPrintf("TCPIPIO::DevWrite error rc=%d on skt=%lld, error=%s\n", n, SocketNumber(Socket),
                      text.Text());
            SetError(TCPERR_SENDFAILED, text);
            return false;
        }
        sent += n;
        if (sent < length)
            LogPrintfLevel(LogDetails,
                           "TCPIPIO::DevWrite wrote partial packet. thismany= %d, howmany= %d, l= %d\n", n,
                           sent, length);
    }
    return true;
}

bool TCPIPIO::DevWrite(const void* bytes, int length) {
    LogPrintfLevel(LogCalls, "TCPIPIO::DevWrite l=%d on skt= %lld \n", length, SocketNumber(Socket));
    if (!DevIsConnected())
        return false;
    WriteLock.Obtain();
    bool ok = true;
    if (Tls != nullptr) {
        std::string records;
        ok = Tls->Encrypt(bytes, length, records);
        if (!ok)
            SetError(TCPERR_TLSFAILED, STRING(Tls->Error().c_str()));
        else
            ok = SendAll(reinterpret_cast<const unsigned char*>(records.data()),
                         static_cast<int>(records.size()));
    } else {
        ok = SendAll(static_cast<const unsigned char*>(bytes), length);
    }
    WriteLock.Release();
    if (!ok) {
        // A connection with a half-sent command is of no further use; keep the reason across the drop.
        const int code = LastError;
        const STRING text = LastErrorString;
        DropCall();
        SetError(code, text);
        return false;
    }
    HexDump("SEND", static_cast<const unsigned char*>(bytes), length);
    Touch();
    LogPrintfLevel(LogCalls, "TCPIPIO::DevWrite done rc= %d, l=%d\n", 1, length);
    return true;
}

bool TCPIPIO::DropCall() {
    LogPrintf("TCPIPIO::DropCall socket= %lld\n", SocketNumber(Socket));
    const SOCKETID held = InSocket.exchange(NOSOCKET);
    if (held != NOSOCKET) {
        FreeAcceptSocket(held, true);
        LogPrintf("TCPIPIO::~TCPIPIO after FreeAcceptSocket()\n");
    }
    const SOCKETID socket = Socket.exchange(NOSOCKET);
    if (socket != NOSOCKET) {
        const int rc = SOCKETAPI::Shutdown(socket);
        LogPrintf("TCPIPIO::DropCall shutdown(%lld) done, err= %d\n", SocketNumber(socket),
                  rc == 0 ? 0 : SOCKETAPI::LastError());
        SOCKETAPI::SetBlocking(socket, true);
        LogPrintf("TCPIPIO::DropCall before soclose(%lld)\n", SocketNumber(socket));
        const bool closed = SOCKETAPI::Close(socket);
        LogPrintf("TCPIPIO::DropCall soclose(%lld) done, rc= %d\n", SocketNumber(socket), closed ? 0 : -1);
        if (AcceptedFrom != NOSOCKET) {
            FreeAcceptSocket(AcceptedFrom, false);
            AcceptedFrom = NOSOCKET;
        }
        LastError = 0;
        PeerName = "<unknown>";
    }
    Tls.reset();
    TlsRaw.clear();
    TlsPlain.clear();
    LogPrintf("TCPIPIO::~DropCall\n");
    return !DevIsConnected();
}

bool TCPIPIO::MakeAcceptSocket() {
    const int port = OurId.ToInt();
    STRING address = OurId.Word(1, "[]", WORD_NOTNULL);
    MUTEXSEM& lock = InSocketsLock();
    lock.Obtain();
    if (port != 0) {
        for (int i = 0; i < MaxListeningSockets; ++i) {
            if (InSockets[i].InUse > 0 && InSockets[i].Port == port) {
                ++InSockets[i].InUse;
                InSocket = InSockets[i].Socket;
                LogPrintf("TCPIPIO::MakeAcceptSocket skt=%lld bind already done, for i= %d InUse= %d now\n",
                          SocketNumber(InSockets[i].Socket), i, InSockets[i].InUse);
                lock.Release();
                return true;
            }
        }
    }
    bool ok = false;
    const SOCKETID socket = SOCKETAPI::Create();
    SOCKETAPI::ENDPOINT local;
    local.Port = port;
    STRING error;
    if (socket == NOSOCKET) {
        SetError(TCPERR_NOSOCKET, TCP::GetLastErrorString(-9999));
    } else if (!address.IsEmpty() && address != "*" &&
               !SOCKETAPI::Lookup(address.Text(), "0", &local, error)) {
        SetError(TCPERR_BINDFAILED, error);
    } else if (local.Port = port, !SOCKETAPI::Bind(socket, local)) {
        SetError(TCPERR_BINDFAILED, TCP::GetLastErrorString(-9999));
    } else if (!SOCKETAPI::Listen(socket, ListenBacklog)) {
        SetError(TCPERR_LISTENFAILED, TCP::GetLastErrorString(-9999));
    } else {
        int i = 0;
        while (i < MaxListeningSockets && InSockets[i].InUse > 0)
            ++i;
        Assert(i < MaxListeningSockets, "i<ARRAYMAX(TCPIPIO::InSockets)", __FILE__, __LINE__, nullptr, false);
        if (i < MaxListeningSockets) {
            InSockets[i] = SLOT{1, socket, SOCKETAPI::LocalPort(socket)};
            InSocket = socket;
            ok = true;
        }
    }
    if (!ok && socket != NOSOCKET)
        SOCKETAPI::Close(socket);
    lock.Release();
    return ok;
}

void TCPIPIO::FreeAcceptSocket(SOCKETID socket, bool hard) {
    MUTEXSEM& lock = InSocketsLock();
    lock.Obtain();
    for (SLOT& slot : InSockets) {
        if (slot.InUse > 0 && slot.Socket == socket) {
            if (--slot.InUse <= 0 || hard) {
                SOCKETAPI::Shutdown(socket);
                SOCKETAPI::Close(socket);
                slot = SLOT();
            }
            break;
        }
    }
    lock.Release();
}

bool TCPIPIO::AcceptCall() {
    Assert(InSocket == NOSOCKET || OurId.ToInt() == 0, "this->InSocket==-1 || (int)this->OurId==0", __FILE__,
           __LINE__, nullptr, false);
    semAcceptDone.Reset();
    bool ok = InSocket != NOSOCKET || MakeAcceptSocket();
    SOCKETID listening = InSocket;
    SOCKETID accepted = NOSOCKET;
    SOCKETAPI::ENDPOINT peer;
    if (ok) {
        SOCKETAPI::SetBlocking(listening, false);
        for (;;) {
            if (InSocket == NOSOCKET) {
                LogPrintf(
                    "TCPIPIO::AcceptCall aborted due to InSocket==-1, looks like destructor or dropcall was "
                    "called\n");
                ok = false;
                break;
            }
            accepted = SOCKETAPI::Accept(listening, &peer);
            if (accepted != NOSOCKET)
                break;
            const int code = SOCKETAPI::LastError();
            if (SOCKETAPI::IsNotSocket(code)) {
                SetError(TCPERR_ACCEPTFAILED, SOCKETAPI::ErrorText(code));
                ok = false;
                break;
            }
            OSYS::Sleep(SOCKETAPI::IsWouldBlock(code) ? 25 : 250);
        }
    }
    if (ok) {
        SOCKETAPI::SetBlocking(listening, true);
        AcceptedFrom = listening;
        InSocket = NOSOCKET;
        SOCKETAPI::SetBlocking(accepted, false);
        Socket = accepted;
        const STRING numeric = SOCKETAPI::NumericAddress(peer.Address);
        const STRING name = ReverseLookupOnAccept ? SOCKETAPI::ReverseName(peer.Address) : STRING();
        if (name.NotEmpty())
            PeerName.Printf("%s (%s)", name.Text(), numeric.Text());
        else
            PeerName = numeric;
        LastError = 0;
        Touch();
        LogPrintf("TCPIPIO::AcceptCall accepted call from %s\n", PeerName.Text());
    }
    semAcceptDone.Set();
    return ok;
}

STRING TCPIPIO::GetProperty(const char* name) {
    STRING key(name);
    key.ToUpper();
    STRING value;
    if (key == "ONLINE")
        value = DevIsConnected() ? "1" : "0";
    else if (key == "OWNID")
        value = LocalHostName;
    else if (key == "CALLERID")
        value = PeerName;
    else if (key == "DEVICENAME")
        value = "TCPIP";
    else if (key == "SOCKET")
        value.Printf("%lld", SocketNumber(Socket));
    else if (key == "ACCEPTPORT")
        value.Printf("%d", InSocket != NOSOCKET ? SOCKETAPI::LocalPort(InSocket) : -1);
    else if (key == "BANDWIDTH")
        value = "10000000";
    else if (key == "IDLE_TIME")
        value.Printf("%llu", static_cast<unsigned long long>(NowSeconds() - LastActivity));
    else if (key == "LASTERROR")
        value.Printf("%d", LastError);
    else if (key == "TLSVERIFIED")
        value = Tls != nullptr && Tls->Verified() ? "1" : "0";
    else if (key == "TLSVERIFYERROR")
        value = Tls != nullptr ? Tls->VerifyError().c_str() : "not encrypted";
    else if (key == "LASTERRORSTRING") {
        value = TCP::ErrorText(LastError);
        if (value.Length() > 0 && value[value.Length() - 1] == '*') {
            value.Truncate(value.Length() - 1);
            value.Append("(");
            value.Append(LastErrorString);
            value.Append(")");
        }
    } else if (key == "LASTERRORCLASS")
        value.Printf("%d", TCP::ErrorClass(LastError));
    else if (key == "WSALASTERRORSTRING")
        value = LastErrorString;
    else {
        STRING info = STRING("*") || key || "*";
        Assert(false, "FALSE", __FILE__, __LINE__, info.Text(), false);
        value = "";
    }
    return value;
}

namespace TCP {

int ErrorClass(int code) {
    const ERRORENTRY* entry = FindError(code);
    return entry != nullptr ? entry->Class : 599;
}

STRING ErrorText(int code) {
    const ERRORENTRY* entry = FindError(code);
    return entry != nullptr ? STRING(entry->Text) : STRING(code);
}

STRING GetLastErrorString(int error) {
    if (error == -9999)
        error = SOCKETAPI::LastError();
    else if (SOCKETAPI::ErrorBase() > 0 && error < SOCKETAPI::ErrorBase())
        error += SOCKETAPI::ErrorBase();
    return SOCKETAPI::ErrorText(error);
}

STRING GetLastSocketErrorString(intptr_t socket, int* error) {
    return SOCKETAPI::PendingErrorText(socket, error);
}

STRING LoggedCommand(const char* command) {
    STRING shown(command);
    int pos = shown.Pos("PASS ");
    if (pos >= 0) {
        shown.Truncate(pos + 5);
        shown.Append("******");
    } else if (shown.Find("IMAP") && shown.Find("LOGIN", &pos)) {
        shown.Truncate(std::min(shown.Length(), pos + 6));
        shown.Append("******");
    }
    return shown;
}

int ReadLine(BASEIO* device, char* buffer, int size, int timeoutms) {
    if (buffer == nullptr || size <= 0)
        return 0;
    buffer[0] = '\0';
    int length = size - 1;
    if (length == 0 || !device->Read(buffer, &length, timeoutms, "\n")) {
        LogPrintf("TCP::ReadLine ok= %d, l= %d, data= %s\n", 0, 0, buffer);
        return 0;
    }
    const bool complete = buffer[length - 1] == '\n';
    if (complete) {
        --length;
    } else if (length == size - 1) {
        // The line is longer than the buffer: drop its rest, so that it cannot pose as the next line. Waits
        // for each piece as for the line; a peer that never ends the line is given up after DiscardMax bytes.
        constexpr int Piece = 0x8000;
        constexpr int64_t DiscardMax = 64 * 1024 * 1024;
        std::unique_ptr<char[]> rest(new char[Piece]);
        for (int64_t dropped = 0; dropped < DiscardMax;) {
            int got = Piece;
            if (!device->Read(rest.get(), &got, timeoutms, "\n") || rest[got - 1] == '\n')
                break;
            dropped += got;
        }
    }
    // Carriage returns and NUL bytes are no part of the text.
    int kept = 0;
    for (int i = 0; i < length; ++i)
        if (buffer[i] != '\r' && buffer[i] != '\0')
            buffer[kept++] = buffer[i];
    buffer[kept] = '\0';
    LogPrintf("TCP::ReadLine ok= %d, l= %d, data= %s\n", 1, kept, buffer);
    return 1;
}

int WriteCmd(BASEIO* device, const char* command, char* reply, int replysize, int timeoutms, bool secret) {
    LogPrintf("TCP::WriteCmd %s\n", secret ? "******" : LoggedCommand(command).Text());
    if (reply != nullptr && replysize > 0)
        reply[0] = '\0';
    const STRING line = STRING(command) || "\r\n";
    if (!device->Write(line.Text(), line.Length()))
        return 0;
    if (reply == nullptr || timeoutms == 0)
        return 1;
    const int rc = ReadLine(device, reply, replysize, timeoutms);
    LogPrintf("TCP::WriteCmd returned %s\n", reply);
    return rc;
}

} // namespace TCP
