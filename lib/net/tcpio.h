// TCPIPIO: the TCP/IP device on the platform's sockets, outwards (MakeCall to "host:port-or-service") and
// inwards (AcceptCall on a port shared through a process-wide table of listening sockets), and the TCP
// helpers for line protocols on top of any BASEIO device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "lib/net/ios.h"
#include "lib/net/socketapi.h"
#include "lib/net/tlsclient.h"

// LastError codes of the device; "LASTERRORCLASS" and "LASTERRORSTRING" give their class and text.
constexpr int TCPERR_NORESPONSE = 0x1000;
constexpr int TCPERR_NOSOCKET = 0x1001;
constexpr int TCPERR_HOSTNOTFOUND = 0x1002;
constexpr int TCPERR_DISCONNECTED = 0x1003;
constexpr int TCPERR_RECVFAILED = 0x1004;
constexpr int TCPERR_IOCTLFAILED = 0x1005;
constexpr int TCPERR_LISTENFAILED = 0x1006;
constexpr int TCPERR_ACCEPTFAILED = 0x1007;
constexpr int TCPERR_BINDFAILED = 0x1008;
constexpr int TCPERR_SENDSTALLED = 0x1009; // the peer took no data within the send time-out
constexpr int TCPERR_SENDFAILED = 0x100A;
constexpr int TCPERR_TLSFAILED = 0x100B;

class TCPIPIO : public BASEIO {
public:
    static constexpr int DefaultConnectTimeoutMs = 60000;
    static constexpr int DefaultSendStallMs = 2500;
    static constexpr int MaxListeningSockets = 64;

    // ourid: for a listening device its port, optionally preceded by a bind address and ":"; parameter: a
    // non-zero number keeps the connection after a receive error.
    TCPIPIO(const char* ourid, const char* calltype, const char* parameter);
    ~TCPIPIO() override;

    bool DevRead(void* buffer, int* length, int timeoutms) override;
    bool DevWrite(const void* bytes, int length) override;
    int DevGetNumAvail() override;
    bool DevIsConnected() override { return Socket != SOCKETAPI::NOSOCKET; }
    bool IsNetworkReady() override { return WinsockReady; }
    bool MakeCall(const char* destination) override;
    bool AcceptCall() override;
    bool DropCall() override;
    // TLS over the connection from here on (STARTTLS): the handshake within timeoutms. On failure the
    // connection is dropped, with LastError TCPERR_TLSFAILED.
    bool StartTls(const char* servername, int timeoutms, const TLSPOLICY& policy = TLSPOLICY()) override;
    bool CanStartTls() override { return DevIsConnected(); }
    STRING GetProperty(const char* name) override;
    int RawRecv(intptr_t socket, void* buffer, int size) override;
    int RawSend(intptr_t socket, const void* bytes, int length) override;

    // Takes the listening socket for the device's port from the shared table (creating, binding and
    // listening on it when no device holds it yet). AcceptCall does this itself when needed; calling it
    // first lets the caller learn the port ("ACCEPTPORT") before a peer connects.
    bool MakeAcceptSocket();

    // How long MakeCall waits for the peer (-1: 60 s) and how long a send waits for the peer to take data.
    void SetConnectTimeout(int ms) { ConnectTimeoutMs = ms; }
    void SetSendStallTimeout(int ms) { SendStallMs = ms; }
    void SetReverseLookup(bool oncall, bool onaccept) {
        ReverseLookup = oncall;
        ReverseLookupOnAccept = onaccept;
    }

    // What Resolv found for a destination.
    struct RESOLVED {
        SOCKETAPI::ENDPOINT Endpoint;
        bool HasAddress = false;
        STRING Name;
        STRING Numeric;
    };
    // Splits "host:service" (or "host service"; service defaults to "23") and looks it up. With a failed
    // lookup the port still comes from the service table and error receives the system's text.
    static bool Resolv(const char* destination, RESOLVED& result, STRING& error, bool noreverselookup);

private:
    struct SLOT {
        int InUse = 0;
        SOCKETAPI::SOCKETID Socket = SOCKETAPI::NOSOCKET;
        int Port = 0;
    };
    static SLOT InSockets[MaxListeningSockets];
    static MUTEXSEM& InSocketsLock();
    static void FreeAcceptSocket(SOCKETAPI::SOCKETID socket, bool hard);

    void SetError(int code, const STRING& text);
    int ReceiveRaw(void* buffer, int wanted, int timeoutms);
    int Select(bool* read, bool* write, bool* connectrequest, int timeoutms, STRING* error);
    void Touch();
    bool SendAll(const unsigned char* bytes, int length);
    void HexDump(const char* title, const unsigned char* bytes, int length);

    int ReverseLookup = 1;
    // Read by a daemon while DropCall may withdraw it.
    std::atomic<SOCKETAPI::SOCKETID> Socket{SOCKETAPI::NOSOCKET};
    // Withdrawn by DropCall or the destructor while AcceptCall may poll it on another thread.
    std::atomic<SOCKETAPI::SOCKETID> InSocket{SOCKETAPI::NOSOCKET};
    SOCKETAPI::SOCKETID AcceptedFrom = SOCKETAPI::NOSOCKET;
    EVENTSEM semAcceptDone;
    MUTEXSEM WriteLock;
    int ConnectTimeoutMs = -1;
    int SendStallMs = DefaultSendStallMs;
    int ReverseLookupOnAccept = 0;
    int64_t LastActivity = 0;
    bool WinsockReady = false;
    STRING LocalHostName;
    STRING PeerName;
    // The encrypted session after StartTls: records not yet decrypted, text not yet handed out.
    std::unique_ptr<TLSCLIENT> Tls;
    std::string TlsRaw;
    std::string TlsPlain;
};

// Line protocols over any device.
namespace TCP {
// Reads one line ended by "\n" into buffer (at most size - 1 bytes), without its line end and CRs. A line
// longer than the buffer is cut there and its rest is read and dropped, so that it cannot pose as the next
// line. 1 when at least one byte arrived (a time-out with a partial line gives that part); 0 otherwise.
int ReadLine(BASEIO* device, char* buffer, int size, int timeoutms);
// Sends command with CR LF; with a reply buffer and a non-zero time-out reads one reply line and returns
// ReadLine's result (0 also when the command could not be sent), else 1 (0 when not sent). Passwords do not
// reach the log; a secret command (an encoded credential) is logged as "******" only.
int WriteCmd(BASEIO* device, const char* command, char* reply, int replysize, int timeoutms,
             bool secret = false);
// System text of a socket error (numbers below 10000 are offsets from 10000 under Windows Sockets); -9999:
// the current one.
STRING GetLastErrorString(int error);
STRING GetLastSocketErrorString(intptr_t socket, int* error = nullptr);
// The command as the log shows it.
STRING LoggedCommand(const char* command);
// Class and table text of a device error code.
int ErrorClass(int code);
STRING ErrorText(int code);
} // namespace TCP
