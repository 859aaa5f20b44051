// The mail servers of the tests (tests/net/smtp_servers.py, started by CTest around the tests that need them)
// and the mails they received.
#pragma once

#include <map>
#include <string>
#include <vector>

struct RECEIVEDMAIL {
    std::string Server; // "plain", "login", "cram", "tls", "tlsca" or "tlsname"
    std::string Helo;
    std::string From;
    std::vector<std::string> To;
    std::string Auth;       // the user who authenticated ("cram:" first with CRAM-MD5), or empty
    bool Encrypted = false; // the session was encrypted (STARTTLS)
    std::string Content;    // the message bytes as delivered

    // The value of a header (unfolded lines joined), "" when missing.
    std::string Header(const std::string& name) const;
    // Everything after the blank line that ends the headers.
    std::string Body() const;
};

namespace MAILBOX {
// "host:port" of one of the servers (which listen on 127.0.0.1; "localhost" names it too).
std::string Server(const std::string& name, const std::string& host = "127.0.0.1");
// The PEM file of the test authority whose certificates the "tlsca" and "tlsname" servers show.
std::string TestAuthority();
// The user and password the login and cram servers accept.
constexpr const char* User = "mailer";
constexpr const char* Password = "s3cret pass";
// The mails whose content holds token; waits up to a few seconds for one to arrive.
std::vector<RECEIVEDMAIL> Find(const std::string& token, int expected = 1);
// A text unique to the running test, to find its mails by.
std::string UniqueToken();
} // namespace MAILBOX
