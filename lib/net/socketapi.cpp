// The socket calls that Windows Sockets and Berkeley sockets share.
#include "lib/net/socketsystem.h"

namespace SOCKETAPI {

namespace {
sockaddr_in ToSockaddr(const ENDPOINT& endpoint) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.Address;
    address.sin_port = htons(static_cast<uint16_t>(endpoint.Port));
    return address;
}
} // namespace

STRING PendingErrorText(SOCKETID socket, int* code) {
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(Sys(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = LastError();
    if (code != nullptr)
        *code = error;
    return ErrorText(error);
}

int Shutdown(SOCKETID socket) {
    return shutdown(Sys(socket), ShutdownBoth);
}

int Connect(SOCKETID socket, const ENDPOINT& peer) {
    const sockaddr_in address = ToSockaddr(peer);
    return connect(Sys(socket), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
}

int Select(SOCKETID socket, bool* read, bool* write, bool* except, int timeoutms) {
    const SYSSOCKET s = Sys(socket);
#if !defined(_WIN32)
    // Berkeley fd_sets are bit maps of a fixed size.
    if (s < 0 || s >= FD_SETSIZE)
        return -1;
#endif
    fd_set readset, writeset, exceptset;
    FD_ZERO(&readset);
    FD_ZERO(&writeset);
    FD_ZERO(&exceptset);
    if (read != nullptr && *read)
        FD_SET(s, &readset);
    if (write != nullptr && *write)
        FD_SET(s, &writeset);
    if (except != nullptr && *except)
        FD_SET(s, &exceptset);
    timeval timeout = {timeoutms / 1000, (timeoutms % 1000) * 1000};
    const int count =
        select(static_cast<int>(s) + 1, &readset, &writeset, &exceptset, timeoutms < 0 ? nullptr : &timeout);
    if (count < 0)
        return -1;
    if (read != nullptr)
        *read = FD_ISSET(s, &readset);
    if (write != nullptr)
        *write = FD_ISSET(s, &writeset);
    if (except != nullptr)
        *except = FD_ISSET(s, &exceptset);
    return count;
}

int Recv(SOCKETID socket, void* buffer, int size) {
    return static_cast<int>(recv(Sys(socket), static_cast<char*>(buffer), size, 0));
}

bool Bind(SOCKETID socket, const ENDPOINT& local) {
    const sockaddr_in address = ToSockaddr(local);
    return bind(Sys(socket), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

bool Listen(SOCKETID socket, int backlog) {
    return listen(Sys(socket), backlog) == 0;
}

SOCKETID Accept(SOCKETID socket, ENDPOINT* peer) {
    sockaddr_in address = {};
    socklen_t length = sizeof(address);
    const SYSSOCKET s = accept(Sys(socket), reinterpret_cast<sockaddr*>(&address), &length);
#if defined(_WIN32)
    if (s == INVALID_SOCKET)
        return NOSOCKET;
#else
    if (s < 0)
        return NOSOCKET;
#endif
    if (peer != nullptr) {
        peer->Address = address.sin_addr.s_addr;
        peer->Port = ntohs(address.sin_port);
    }
    return static_cast<SOCKETID>(s);
}

int LocalPort(SOCKETID socket) {
    sockaddr_in address = {};
    socklen_t length = sizeof(address);
    if (getsockname(Sys(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
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
        error = LookupErrorText(rc);
        return false;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    result->Address = address->sin_addr.s_addr;
    result->Port = ntohs(address->sin_port);
    freeaddrinfo(list);
    return true;
}

STRING NumericAddress(uint32_t address) {
    in_addr in = {};
    in.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    return STRING(inet_ntop(AF_INET, &in, text, sizeof(text)));
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
