// Berkeley sockets for the native build of the TCP/IP device: what differs from Windows Sockets.
#include "lib/net/socketsystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>

#include "lib/osys.h"

namespace SOCKETAPI {

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

STRING LookupErrorText(int rc) {
    return rc == EAI_SYSTEM ? ErrorText(errno) : STRING(gai_strerror(rc));
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
    return close(Sys(socket)) == 0;
}

bool SetBlocking(SOCKETID socket, bool blocking) {
    const int flags = fcntl(Sys(socket), F_GETFL);
    if (flags < 0)
        return false;
    return fcntl(Sys(socket), F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

// A peer that has gone gives an error here, never the signal that would end the process.
int Send(SOCKETID socket, const void* bytes, int length) {
    return static_cast<int>(send(Sys(socket), bytes, static_cast<size_t>(length), MSG_NOSIGNAL));
}

bool BytesAvailable(SOCKETID socket, int* count) {
    int n = 0;
    if (ioctl(Sys(socket), FIONREAD, &n) != 0)
        return false;
    *count = n;
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

} // namespace SOCKETAPI
