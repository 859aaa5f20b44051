// TLSCLIENT: the client side of a TLS session whose records travel over a connection of the caller's. The
// caller moves the bytes: what came from the server goes in, what is to be sent comes out. SChannel on
// Windows (tlsclient_win32.cpp), libssl natively (tlsclient_posix.cpp). Used by TCPIPIO for STARTTLS; the
// peer's certificate is not checked (opportunistic encryption: better than clear text, no proof of identity).
#pragma once

#include <memory>
#include <string>

class TLSCLIENT {
public:
    enum class STATE {
        NEEDINPUT, // send what came out, then wait for more bytes from the server
        CONTINUE,  // send what came out, then call again with what is left of the input
        DONE,      // the session is up
        FAILED,    // see Error()
    };

    // A session for servername (a host name for the server to choose its certificate by; may be empty).
    static std::unique_ptr<TLSCLIENT> Create(const char* servername);
    virtual ~TLSCLIENT() = default;

    // One step of the handshake: consumes what it could use of incoming, appends to outgoing.
    virtual STATE Handshake(std::string& incoming, std::string& outgoing) = 0;
    // Appends the records that carry length bytes to outgoing.
    virtual bool Encrypt(const void* bytes, int length, std::string& outgoing) = 0;
    // Consumes the whole records at the start of incoming and appends their text to plain; a partial record
    // stays. False when the session failed or the server closed it.
    virtual bool Decrypt(std::string& incoming, std::string& plain) = 0;
    // std::string: the Windows security headers behind the SChannel side define a STRING of their own.
    const std::string& Error() const { return ErrorText; }

protected:
    std::string ErrorText;
};
