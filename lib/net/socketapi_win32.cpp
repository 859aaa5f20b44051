// Windows Sockets for the TCP/IP device: what differs from Berkeley sockets.
#include "lib/net/socketsystem.h"

#include "lib/osys.h"

namespace SOCKETAPI {

bool Startup(STRING& description) {
    WSADATA data = {};
    const int status = WSAStartup(MAKEWORD(1, 1), &data);
    description.Printf("vers= %x, highvers= %x, desc= %s, status= %s, maxsocket %d, maxuppdgram= %d",
                       data.wVersion, data.wHighVersion, data.szDescription, data.szSystemStatus,
                       data.iMaxSockets, data.iMaxUdpDg);
    return status == 0;
}

void Cleanup() {
    WSACleanup();
}

int LastError() {
    return WSAGetLastError();
}

STRING ErrorText(int code) {
    return OSYS::GetLastErrorString(code);
}

STRING LookupErrorText(int rc) {
    return ErrorText(rc != 0 ? rc : WSAGetLastError());
}

bool IsWouldBlock(int code) {
    return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS;
}

bool IsNotSocket(int code) {
    return code == WSAENOTSOCK;
}

int ErrorBase() {
    return WSABASEERR;
}

SOCKETID Create() {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? NOSOCKET : static_cast<SOCKETID>(s);
}

bool Close(SOCKETID socket) {
    return closesocket(Sys(socket)) == 0;
}

bool SetBlocking(SOCKETID socket, bool blocking) {
    u_long nonblocking = blocking ? 0 : 1;
    return ioctlsocket(Sys(socket), FIONBIO, &nonblocking) == 0;
}

int Send(SOCKETID socket, const void* bytes, int length) {
    return send(Sys(socket), static_cast<const char*>(bytes), length, 0);
}

bool BytesAvailable(SOCKETID socket, int* count) {
    u_long n = 0;
    if (ioctlsocket(Sys(socket), FIONREAD, &n) != 0)
        return false;
    *count = static_cast<int>(n);
    return true;
}

int ServicePort(const char* service) {
    const servent* found = getservbyname(service, "tcp");
    return found != nullptr ? ntohs(static_cast<u_short>(found->s_port)) : 0;
}

} // namespace SOCKETAPI
