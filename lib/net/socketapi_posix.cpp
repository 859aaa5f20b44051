// Berkeley sockets for the native build of the TCP/IP device.
#include "lib/net/socketapi.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>

#include "lib/osys.h"

namespace SOCKETAPI {

namespace {
int Fd(SOCKETID socket) {
    return static_cast<int>(socket);
}

sockaddr_in ToSockaddr(const ENDPOINT& endpoint) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.Address;
    address.sin_port = htons(static_cast<uint16_t>(endpoint.Port));
    return address;
}
} // namespace

bool Startup(STRING& description) {
    description = "Berkeley sockets";
    return true;
}

void Cleanup() {}

int LastError() {
    return errno;
}

STRING ErrorText(int code) {
    return OSYS::GetLastErrorString(code);
}

STRING PendingErrorText(SOCKETID socket, int* code) {
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (code != nullptr)
        *code = error;
    return ErrorText(error);
}

bool IsWouldBlock(int code) {
    return code == EWOULDBLOCK || code == EAGAIN || code == EINPROGRESS;
}

bool IsNotSocket(int code) {
    return code == ENOTSOCK || code == EBADF || code == EINVAL;
}

int ErrorBase() {
    return 0;
}

SOCKETID Create() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd < 0 ? NOSOCKET : fd;
}

bool Close(SOCKETID socket) {
    return close(Fd(socket)) == 0;
}

int Shutdown(SOCKETID socket) {
    return shutdown(Fd(socket), SHUT_RDWR);
}

bool SetBlocking(SOCKETID socket, bool blocking) {
    const int flags = fcntl(Fd(socket), F_GETFL);
    if (flags < 0)
        return false;
    return fcntl(Fd(socket), F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

int Connect(SOCKETID socket, const ENDPOINT& peer) {
    const sockaddr_in address = ToSockaddr(peer);
    return connect(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
}

int Select(SOCKETID socket, bool* read, bool* write, bool* except, int timeoutms) {
    const int fd = Fd(socket);
    if (fd < 0 || fd >= FD_SETSIZE) {
        errno = EBADF;
        return -1;
    }
    fd_set readset, writeset, exceptset;
    FD_ZERO(&readset);
    FD_ZERO(&writeset);
    FD_ZERO(&exceptset);
    if (read != nullptr && *read)
        FD_SET(fd, &readset);
    if (write != nullptr && *write)
        FD_SET(fd, &writeset);
    if (except != nullptr && *except)
        FD_SET(fd, &exceptset);
    timeval timeout = {timeoutms / 1000, (timeoutms % 1000) * 1000};
    const int count = select(fd + 1, &readset, &writeset, &exceptset, timeoutms < 0 ? nullptr : &timeout);
    if (count < 0)
        return -1;
    if (read != nullptr)
        *read = FD_ISSET(fd, &readset);
    if (write != nullptr)
        *write = FD_ISSET(fd, &writeset);
    if (except != nullptr)
        *except = FD_ISSET(fd, &exceptset);
    return count;
}

int Recv(SOCKETID socket, void* buffer, int size) {
    return static_cast<int>(recv(Fd(socket), buffer, static_cast<size_t>(size), 0));
}

int Send(SOCKETID socket, const void* bytes, int length) {
    return static_cast<int>(send(Fd(socket), bytes, static_cast<size_t>(length), MSG_NOSIGNAL));
}

bool BytesAvailable(SOCKETID socket, int* count) {
    int n = 0;
    if (ioctl(Fd(socket), FIONREAD, &n) != 0)
        return false;
    *count = n;
    return true;
}

bool Bind(SOCKETID socket, const ENDPOINT& local) {
    const int on = 1;
    setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    const sockaddr_in address = ToSockaddr(local);
    return bind(Fd(socket), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

bool Listen(SOCKETID socket, int backlog) {
    return listen(Fd(socket), backlog) == 0;
}

SOCKETID Accept(SOCKETID socket, ENDPOINT* peer) {
    sockaddr_in address = {};
    socklen_t length = sizeof(address);
    const int fd = accept4(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    if (fd < 0)
        return NOSOCKET;
    if (peer != nullptr) {
        peer->Address = address.sin_addr.s_addr;
        peer->Port = ntohs(address.sin_port);
    }
    return fd;
}

int LocalPort(SOCKETID socket) {
    sockaddr_in address = {};
    socklen_t length = sizeof(address);
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    return ntohs(address.sin_port);
}

STRING LocalHostName() {
    char name[HOST_NAME_MAX + 1] = {};
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
        error = rc == EAI_SYSTEM ? ErrorText(errno) : STRING(gai_strerror(rc));
        return false;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    result->Address = address->sin_addr.s_addr;
    result->Port = ntohs(address->sin_port);
    freeaddrinfo(list);
    return true;
}

int ServicePort(const char* service) {
    servent entry = {};
    servent* found = nullptr;
    char buffer[1024];
    if (getservbyname_r(service, "tcp", &entry, buffer, sizeof(buffer), &found) == 0 && found != nullptr)
        return ntohs(static_cast<uint16_t>(found->s_port));
    return 0;
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
