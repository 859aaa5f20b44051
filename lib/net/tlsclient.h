// TLSCLIENT: the client side of a TLS session whose records travel over a connection of the caller's. The
// caller moves the bytes: what came from the server goes in, what is to be sent comes out. SChannel on
// Windows (tlsclient_win32.cpp), libssl natively (tlsclient_posix.cpp). Used by TCPIPIO for STARTTLS. The
// server's certificate chain and name are always checked; the caller decides whether a session that fails
// the check may go on (encrypted, but without proof of whom it talks to) or ends in the handshake.
#pragma once

#include <memory>
#include <string>

// What the session trusts and how strict it is.
struct TLSPOLICY {
    // A PEM file of the authorities to trust instead of the system's store (natively; tests). Not supported
    // by the Windows side, whose sessions then count as unverified.
    std::string CaFile;
    // The handshake fails when the certificate does not check out.
    bool RequireVerified = false;
};

class TLSCLIENT {
public:
    enum class STATE {
        NEEDINPUT, // send what came out, then wait for more bytes from the server
        CONTINUE,  // send what came out, then call again with what is left of the input
        DONE,      // the session is up
        FAILED,    // see Error()
    };

    // A session for servername (the host name or address the certificate must name; may be empty, and the
    // session is then never verified).
    static std::unique_ptr<TLSCLIENT> Create(const char* servername, const TLSPOLICY& policy = TLSPOLICY());
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
    // After the handshake: whether the chain leads to a trusted authority and names the server, and if not,
    // why.
    bool Verified() const { return IsVerified; }
    const std::string& VerifyError() const { return VerifyText; }

protected:
    // Records the outcome of the certificate check; false when the policy ends the session for it.
    bool Checked(bool verified, const std::string& why) {
        IsVerified = verified;
        VerifyText = verified ? std::string() : why;
        if (verified || !Policy.RequireVerified)
            return true;
        ErrorText = "certificate refused: " + why;
        return false;
    }

    TLSPOLICY Policy;
    std::string ErrorText;
    bool IsVerified = false;
    std::string VerifyText = "no handshake";
};
