// The narrow seam between the TCP/IP device and the platform's socket interface: Windows Sockets in the
// Windows build (socketapi_win32.cpp), Berkeley sockets natively (socketapi_posix.cpp), the calls both share
// in socketapi.cpp. IPv4 stream sockets only. Internal to lib/net.
#pragma once

#include <cstdint>

#include "lib/strings.h"

namespace SOCKETAPI {

using SOCKETID = intptr_t;
constexpr SOCKETID NOSOCKET = -1;

// An IPv4 address in network byte order and a port in host byte order.
struct ENDPOINT {
    uint32_t Address = 0;
    int Port = 0;
};

// Winsock start-up (version 1.1) and its counterpart; natively nothing to do. description: what the socket
// layer reports about itself, for the log.
bool Startup(STRING& description);
void Cleanup();

// The calling thread's last socket error code.
int LastError();
// System text of a socket error code (no trailing line ends).
STRING ErrorText(int code);
// Text of the socket's pending error (SO_ERROR); code receives the number when given.
STRING PendingErrorText(SOCKETID socket, int* code);
bool IsWouldBlock(int code); // the operation would block or is in progress
bool IsNotSocket(int code);  // the handle is no (longer a) socket
int ErrorBase();             // 10000 under Windows Sockets, 0 natively

SOCKETID Create();
bool Close(SOCKETID socket);
// Shuts both directions down; returns the system's result.
int Shutdown(SOCKETID socket);
bool SetBlocking(SOCKETID socket, bool blocking);
// The system's connect result: 0, or -1 with LastError set.
int Connect(SOCKETID socket, const ENDPOINT& peer);
// Waits up to timeoutms for the requested conditions; read/write/except say on entry what is asked for
// and on return what holds. Returns the number of conditions that hold, 0 on time-out, -1 on failure.
int Select(SOCKETID socket, bool* read, bool* write, bool* except, int timeoutms);
// recv and send with no flags (natively a closed peer gives an error, never a signal). -1 on failure.
int Recv(SOCKETID socket, void* buffer, int size);
int Send(SOCKETID socket, const void* bytes, int length);
// Bytes waiting to be received (FIONREAD).
bool BytesAvailable(SOCKETID socket, int* count);
bool Bind(SOCKETID socket, const ENDPOINT& local);
bool Listen(SOCKETID socket, int backlog);
// Accepts a waiting connection; NOSOCKET with LastError set when none could be taken.
SOCKETID Accept(SOCKETID socket, ENDPOINT* peer);
// The local port of a bound socket; -1 when unknown.
int LocalPort(SOCKETID socket);
STRING LocalHostName();

// Name resolution for IPv4 streams. Lookup gives the first address of host and the port of service; on
// failure error receives the system's text.
bool Lookup(const char* host, const char* service, ENDPOINT* result, STRING& error);
// Port of a service name from the system's service table, or 0.
int ServicePort(const char* service);
// Dotted form of an address, and the name registered for it (null when there is none).
STRING NumericAddress(uint32_t address);
STRING ReverseName(uint32_t address);

} // namespace SOCKETAPI
