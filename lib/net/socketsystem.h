// The system headers of the socket layer and the few names in which Windows Sockets and Berkeley sockets
// differ. Included only by socketapi*.cpp.
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "lib/net/socketapi.h"

namespace SOCKETAPI {

#if defined(_WIN32)
using SYSSOCKET = SOCKET;
constexpr int ShutdownBoth = SD_BOTH;
#else
using SYSSOCKET = int;
constexpr int ShutdownBoth = SHUT_RDWR;
#endif

inline SYSSOCKET Sys(SOCKETID socket) {
    return static_cast<SYSSOCKET>(socket);
}

// Text of a failed getaddrinfo (its result code).
STRING LookupErrorText(int rc);

} // namespace SOCKETAPI
