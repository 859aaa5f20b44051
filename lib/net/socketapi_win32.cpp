// Windows Sockets for the TCP/IP device.
#include "lib/net/socketapi.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "lib/osys.h"

namespace SOCKETAPI {

namespace {
SOCKET Handle(SOCKETID socket) {
    return static_cast<SOCKET>(socket);
}

sockaddr_in ToSockaddr(const ENDPOINT& endpoint) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.Address;
    address.sin_port = htons(static_cast<u_short>(endpoint.Port));
    return address;
}
} // namespace

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

STRING PendingErrorText(SOCKETID socket, int* code) {
    int error = 0;
    int length = sizeof(error);
    if (getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = WSAGetLastError();
    if (code != nullptr)
        *code = error;
    return ErrorText(error);
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
    return closesocket(Handle(socket)) == 0;
}

int Shutdown(SOCKETID socket) {
    return shutdown(Handle(socket), SD_BOTH);
}

bool SetBlocking(SOCKETID socket, bool blocking) {
    u_long nonblocking = blocking ? 0 : 1;
    return ioctlsocket(Handle(socket), FIONBIO, &nonblocking) == 0;
}

int Connect(SOCKETID socket, const ENDPOINT& peer) {
    const sockaddr_in address = ToSockaddr(peer);
    return connect(Handle(socket), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
}

int Select(SOCKETID socket, bool* read, bool* write, bool* except, int timeoutms) {
    fd_set readset, writeset, exceptset;
    FD_ZERO(&readset);
    FD_ZERO(&writeset);
    FD_ZERO(&exceptset);
    if (read != nullptr && *read)
        FD_SET(Handle(socket), &readset);
    if (write != nullptr && *write)
        FD_SET(Handle(socket), &writeset);
    if (except != nullptr && *except)
        FD_SET(Handle(socket), &exceptset);
    timeval timeout = {timeoutms / 1000, (timeoutms % 1000) * 1000};
    const int count = select(0, &readset, &writeset, &exceptset, timeoutms < 0 ? nullptr : &timeout);
    if (count == SOCKET_ERROR)
        return -1;
    if (read != nullptr)
        *read = FD_ISSET(Handle(socket), &readset);
    if (write != nullptr)
        *write = FD_ISSET(Handle(socket), &writeset);
    if (except != nullptr)
        *except = FD_ISSET(Handle(socket), &exceptset);
    return count;
}

int Recv(SOCKETID socket, void* buffer, int size) {
    return recv(Handle(socket), static_cast<char*>(buffer), size, 0);
}

int Send(SOCKETID socket, const void* bytes, int length) {
    return send(Handle(socket), static_cast<const char*>(bytes), length, 0);
}

bool BytesAvailable(SOCKETID socket, int* count) {
    u_long n = 0;
    if (ioctlsocket(Handle(socket), FIONREAD, &n) != 0)
        return false;
    *count = static_cast<int>(n);
    return true;
}

bool Bind(SOCKETID socket, const ENDPOINT& local) {
    const sockaddr_in address = ToSockaddr(local);
    return bind(Handle(socket), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

bool Listen(SOCKETID socket, int backlog) {
    return listen(Handle(socket), backlog) == 0;
}

SOCKETID Accept(SOCKETID socket, ENDPOINT* peer) {
    sockaddr_in address = {};
    int length = sizeof(address);
    const SOCKET s = accept(Handle(socket), reinterpret_cast<sockaddr*>(&address), &length);
    if (s == INVALID_SOCKET)
        return NOSOCKET;
    if (peer != nullptr) {
        peer->Address = address.sin_addr.s_addr;
        peer->Port = ntohs(address.sin_port);
    }
    return static_cast<SOCKETID>(s);
}

int LocalPort(SOCKETID socket) {
    sockaddr_in address = {};
    int length = sizeof(address);
    if (getsockname(Handle(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    return ntohs(address.sin_port);
}

STRING LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return STRING("<unknown>");
    return STRING(name);
}

bool Lookup(const char* host, const char* service, ENDPOINT* result, STRING& error) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(host, service, &hints, &list);
    if (rc != 0 || list == nullptr) {
        error = ErrorText(rc != 0 ? rc : WSAGetLastError());
        return false;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    result->Address = address->sin_addr.s_addr;
    result->Port = ntohs(address->sin_port);
    freeaddrinfo(list);
    return true;
}

int ServicePort(const char* service) {
    const servent* found = getservbyname(service, "tcp");
    return found != nullptr ? ntohs(static_cast<u_short>(found->s_port)) : 0;
}

STRING NumericAddress(uint32_t address) {
    in_addr in = {};
    in.s_addr = address;
    return STRING(inet_ntoa(in));
}

STRING ReverseName(uint32_t address) {
    const sockaddr_in peer = ToSockaddr(ENDPOINT{address, 0});
    char name[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&peer), sizeof(peer), name, sizeof(name), nullptr, 0,
                    NI_NAMEREQD) != 0)
        return STRING();
    return STRING(name);
}

} // namespace SOCKETAPI
