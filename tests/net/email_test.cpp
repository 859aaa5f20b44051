// EMAIL: the message it builds, and the SMTP dialogue against the real mail servers of the tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/net/email.h"
#include "tests/common/test_support.h"
#include "tests/common/mailbox.h"

namespace {
std::string Send(EMAIL& mail, int timeoutms = 5000) {
    char error[EMAIL::ErrorSize] = {};
    const int ok = mail.SendMail(mail.CreateMailString(), error, sizeof(error), timeoutms);
    return (ok ? "sent: " : "failed: ") + std::string(error);
}

std::string Base64(const char* text) {
    return STRING(text).ToBase64().Text();
}

// The text of an unfolded header made of "=?windows-1252?B?...?=" words.
std::string DecodeWords(const std::string& header) {
    const std::string prefix = "=?windows-1252?B?";
    std::string text;
    for (size_t start = 0; (start = header.find(prefix, start)) != std::string::npos;) {
        const size_t end = header.find("?=", start + prefix.size());
        text += STRING(header.substr(start + prefix.size(), end - start - prefix.size()).c_str())
                    .FromBase64()
                    .Text();
        start = end;
    }
    return text;
}
} // namespace

TEST(MailMessage, ZoneBoundaryAndHeaderEncoding) {
    EXPECT_EQ(" +0100", std::string(EMAIL::ZoneText(-60).Text()));
    EXPECT_EQ(" -0530", std::string(EMAIL::ZoneText(330).Text()));

    STRINGARRAY parts;
    parts.Append(STRING("Content-Type: text/plain\r\n\r\nnothing special"));
    EXPECT_EQ("----=_Orvik_Mime_Part_08154711", std::string(EMAIL::Boundary(parts).Text()));
    parts.Append(STRING("quoted: ----=_Orvik_Mime_Part_08154711$ and ----=_Orvik_Mime_Part_08154711"));
    EXPECT_EQ("----=_Orvik_Mime_Part_08154711$$", std::string(EMAIL::Boundary(parts).Text()));

    EXPECT_EQ("plain words", std::string(EMAIL::EncodeHeaderText("plain words", 1252).Text()));
    EXPECT_EQ("=?windows-1252?B?" +
                  Base64("Gr\xfc\xdf"
                         "e") +
                  "?=",
              std::string(EMAIL::EncodeHeaderText("Gr\xfc\xdf"
                                                  "e",
                                                  1252)
                              .Text()));
    // A long text is folded into several words, each within 75 characters; UTF-8 characters stay whole.
    std::string longtext;
    for (int i = 0; i < 40; ++i)
        longtext += "\xc3\xa4";
    const std::string encoded = EMAIL::EncodeHeaderText(longtext.c_str(), 65001).Text();
    size_t start = 0, words = 0;
    std::string decoded;
    for (size_t end; start < encoded.size(); start = end + 3, ++words) {
        end = encoded.find("\r\n ", start);
        if (end == std::string::npos)
            end = encoded.size();
        const std::string word = encoded.substr(start, end - start);
        EXPECT_LE(word.size(), 75u) << word;
        ASSERT_EQ(0u, word.find("=?utf-8?B?")) << word;
        const std::string payload = STRING(word.substr(10, word.size() - 12).c_str()).FromBase64().Text();
        EXPECT_EQ(0u, payload.size() % 2) << "a character was split";
        decoded += payload;
    }
    EXPECT_GT(words, 1u);
    EXPECT_EQ(longtext, decoded);
}

TEST(MailMessage, AsciiMailsCarryNoMimeHeadersAndBodyLinesAreCleaned) {
    EMAIL mail("  me@loopback.test ", "you@loopback.test", "Subject line", "one  \t\n.\n.x\nc\rr\n",
               "127.0.0.1");
    const std::string text = mail.CreateMailString().Text();
    EXPECT_EQ(0u, text.find("From: me@loopback.test\r\nTo: you@loopback.test\r\nDate: ")) << text;
    EXPECT_EQ(std::string::npos, text.find("MIME-Version"));
    EXPECT_NE(std::string::npos,
              text.find("\r\nSubject: Subject line\r\n\r\none\r\n. \r\n.x\r\nc r\r\n\r\n\r\n"))
        << text;
}

TEST(SmtpMail, APlainMailArrivesAsBuiltWithDotsBlanksAndEveryReceiver) {
    const std::string token = MAILBOX::UniqueToken();
    EMAIL mail("sender@loopback.test", "first@loopback.test", ("Report " + token).c_str(),
               "Hello,\n.\n.hidden line\n..two dots\ntrailing   \nlast", MAILBOX::Server("plain").c_str());
    mail.AddReceiver("second@loopback.test");
    mail.SetSenderName("Test Sender");
    ASSERT_EQ(0u, Send(mail).find("sent: 250 OK")) << Send(mail);
    const auto received = MAILBOX::Find(token, 2);
    ASSERT_GE(received.size(), 1u);
    const RECEIVEDMAIL& got = received[0];
    EXPECT_EQ("sender@loopback.test", got.From);
    EXPECT_EQ((std::vector<std::string>{"first@loopback.test", "second@loopback.test"}), got.To);
    EXPECT_EQ("loopback.test", got.Helo);
    EXPECT_EQ("\"Test Sender\" <sender@loopback.test>", got.Header("From"));
    EXPECT_EQ("first@loopback.test, second@loopback.test", got.Header("To"));
    EXPECT_EQ("Report " + token, got.Header("Subject"));
    EXPECT_EQ(31u, got.Header("Date").size()) << got.Header("Date"); // "Tue, 08 Dec 2026 09:12:13 +0100"
    EXPECT_EQ("Hello,\r\n. \r\n.hidden line\r\n..two dots\r\ntrailing\r\nlast\r\n\r\n\r\n", got.Body());
}

TEST(SmtpMail, AnAnonymousSenderGreetsAsAnonymousWithAnEmptyReversePath) {
    const std::string token = MAILBOX::UniqueToken();
    EMAIL mail("anonymous", "you@loopback.test", token.c_str(), "text", MAILBOX::Server("plain").c_str());
    ASSERT_EQ(0u, Send(mail).find("sent: ")) << Send(mail);
    const auto received = MAILBOX::Find(token);
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ("anonymous", received[0].Helo);
    EXPECT_EQ("<>", received[0].From);
}

TEST(SmtpMail, GermanTextArrivesWithItsCharacterSet) {
    const std::string token = MAILBOX::UniqueToken();
    const std::string subject = "Gr\xfc\xdf"
                                "e " +
                                token;
    const std::string body = "Sch\xf6n, aber zu gro\xdf.\n\xc4rger " + token;
    EMAIL mail("me@loopback.test", "you@loopback.test", subject.c_str(), body.c_str(),
               MAILBOX::Server("plain").c_str());
    mail.SetCodePage(1252);
    ASSERT_EQ(0u, Send(mail).find("sent: ")) << Send(mail);
    const auto received = MAILBOX::Find(token);
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ("1.0", received[0].Header("MIME-Version"));
    EXPECT_EQ("text/plain; charset=windows-1252", received[0].Header("Content-Type"));
    EXPECT_EQ("8bit", received[0].Header("Content-Transfer-Encoding"));
    EXPECT_EQ(subject, DecodeWords(received[0].Header("Subject")));
    EXPECT_EQ("Sch\xf6n, aber zu gro\xdf.\r\n\xc4rger " + token + "\r\n\r\n\r\n", received[0].Body());
}

TEST(SmtpMail, PartsMakeAMultipartMailWithABoundaryNoPartContains) {
    const std::string token = MAILBOX::UniqueToken();
    EMAIL mail("me@loopback.test", "you@loopback.test", token.c_str(), "see the attachment",
               MAILBOX::Server("plain").c_str());
    const std::string part =
        "Content-Type: text/plain; name=\"notes.txt\"\r\n\r\nboundary ----=_Orvik_Mime_Part_08154711";
    mail.AddPart(part.c_str());
    ASSERT_EQ(0u, Send(mail).find("sent: ")) << Send(mail);
    const auto received = MAILBOX::Find(token);
    ASSERT_EQ(1u, received.size());
    const std::string boundary = "----=_Orvik_Mime_Part_08154711$";
    EXPECT_EQ("multipart/mixed; boundary=\"" + boundary + "\"", received[0].Header("Content-Type"));
    EXPECT_EQ(
        "This is a multi-part MIME message\r\nPlease use a MIME compliant mail\r\n reader to display this "
        "message.\r\n\r\n--" +
            boundary + "\r\nContent-Type: text/plain\r\n\r\nsee the attachment\r\n\r\n--" + boundary +
            "\r\n" + part + "\r\n--" + boundary + "--\r\n\r\n\r\n",
        received[0].Body());
}

TEST(SmtpMail, AuthLoginAndCramMd5AuthenticateAndAWrongPasswordIsTheServersReply) {
    const std::string token = MAILBOX::UniqueToken();
    EMAIL login("me@loopback.test", "you@loopback.test", ("login " + token).c_str(), "x",
                MAILBOX::Server("login").c_str());
    login.SetCredentials(MAILBOX::User, MAILBOX::Password);
    login.AllowAuthInClear(true);
    EXPECT_EQ(0u, Send(login).find("sent: ")) << Send(login);

    EMAIL cram("me@loopback.test", "you@loopback.test", ("cram " + token).c_str(), "x",
               MAILBOX::Server("cram").c_str());
    cram.SetCredentials(MAILBOX::User, MAILBOX::Password);
    cram.AllowCramMd5(true);
    cram.AllowAuthInClear(true);
    EXPECT_EQ(0u, Send(cram).find("sent: ")) << Send(cram);

    // Without the permission the same server is answered with AUTH LOGIN.
    EMAIL notallowed("me@loopback.test", "you@loopback.test", ("notallowed " + token).c_str(), "x",
                     MAILBOX::Server("cram").c_str());
    notallowed.SetCredentials(MAILBOX::User, MAILBOX::Password);
    notallowed.AllowAuthInClear(true);
    EXPECT_EQ(0u, Send(notallowed).find("sent: ")) << Send(notallowed);

    const auto received = MAILBOX::Find(token, 3);
    std::map<std::string, std::string> auth;
    for (const RECEIVEDMAIL& mail : received)
        auth[mail.Header("Subject").substr(0, mail.Header("Subject").find(' '))] =
            mail.Server + "/" + mail.Auth;
    EXPECT_EQ("login/mailer", auth["login"]);
    EXPECT_EQ("cram/cram:mailer", auth["cram"]);
    EXPECT_EQ("cram/mailer", auth["notallowed"]);

    EMAIL wrong("me@loopback.test", "you@loopback.test", token.c_str(), "x", MAILBOX::Server("cram").c_str());
    wrong.SetCredentials(MAILBOX::User, "not the password");
    wrong.AllowCramMd5(true);
    wrong.AllowAuthInClear(true);
    EXPECT_EQ("failed: 535 5.7.8 Authentication credentials invalid", Send(wrong));
}

TEST(SmtpMail, WithoutCredentialsAServerThatRequiresThemRefusesTheSender) {
    EMAIL mail("me@loopback.test", "you@loopback.test", "no auth", "x", MAILBOX::Server("login").c_str());
    EXPECT_EQ("failed: 530 5.7.0 Authentication required", Send(mail));
}

TEST(SmtpMail, CredentialsAndPasswordsNeverReachTheLog) {
    SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
    LOGCAPTURE log(scratch.File("mail.log"));
    EMAIL mail("me@loopback.test", "you@loopback.test", "logged", "x", MAILBOX::Server("login").c_str());
    mail.SetCredentials(MAILBOX::User, MAILBOX::Password);
    mail.AllowAuthInClear(true);
    EXPECT_EQ(0u, Send(mail).find("sent: "));
    const std::string logged = log.Finish();
    EXPECT_NE(std::string::npos, logged.find("EMAIL::SendMail before writing the message"));
    EXPECT_EQ(std::string::npos, logged.find(Base64(MAILBOX::Password)));
}

TEST(SmtpMail, WithoutPermissionNoPasswordGoesToAServerThatDoesNotEncrypt) {
    const std::string token = MAILBOX::UniqueToken();
    EMAIL mail("me@loopback.test", "you@loopback.test", token.c_str(), "x", MAILBOX::Server("login").c_str());
    mail.SetCredentials(MAILBOX::User, MAILBOX::Password);
    EXPECT_EQ(
        "failed: The server does not offer an encrypted connection (STARTTLS), so the password was not sent",
        Send(mail));
}

// The test authority trusted for one test. Natively the mail's own file of authorities; Windows has no such
// file, and Wine's chain engine takes no authority added to the user's root store
// (CertAddEncodedCertificateToStore succeeds, the chain still ends short of it), so there it is not trusted.
struct TRUSTEDAUTHORITY {
    explicit TRUSTEDAUTHORITY(EMAIL& mail) {
#if !defined(_WIN32)
        mail.SetTrustedAuthorities(MAILBOX::TestAuthority().c_str());
        IsTrusted = true;
#endif
    }
    bool Trusted() const {
        return IsTrusted;
    }
    bool IsTrusted = false;
};

TEST(SmtpTls, ACertificateOfATrustedAuthorityForTheServersNameCarriesTheCredentials) {
    // Natively the address the certificate names is checked too; the Windows check matches host names only.
    std::vector<std::string> hosts = {"localhost"};
#if !defined(_WIN32)
    hosts.push_back("127.0.0.1");
#endif
    for (const std::string& host : hosts) {
        SCOPED_TRACE(host);
        SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
        LOGCAPTURE log(scratch.File("mail.log"));
        const std::string token = MAILBOX::UniqueToken();
        EMAIL mail("me@loopback.test", "you@loopback.test", token.c_str(), "encrypted text\n.\nend",
                   MAILBOX::Server("tlsca", host).c_str());
        mail.SetCredentials(MAILBOX::User, MAILBOX::Password);
        TRUSTEDAUTHORITY authority(mail);
        if (!authority.Trusted())
            GTEST_SKIP() << "the test authority cannot be trusted here (Wine)";
        ASSERT_EQ(0u, Send(mail).find("sent: ")) << Send(mail);
        const auto received = MAILBOX::Find(token);
        ASSERT_EQ(1u, received.size());
        EXPECT_TRUE(received[0].Encrypted);
        EXPECT_EQ("mailer", received[0].Auth);
        EXPECT_EQ("encrypted text\r\n. \r\nend\r\n\r\n\r\n", received[0].Body());
        const std::string logged = log.Finish();
        EXPECT_NE(std::string::npos, logged.find("EMAIL::SendMail connection encrypted and verified"))
            << logged;
    }
}

#if defined(_WIN32)
const char* const ShortChain = "0x800b010a"; // CERT_E_CHAINING
#else
const char* const ShortChain = "unable to get local issuer certificate";
#endif

TEST(SmtpTls, WithCredentialsACertificateThatFailsEndsTheSendBeforeAuth) {
    const struct {
        const char* Server;
        bool TrustAuthority;
        const char* Why; // part of the error text
    } cases[] = {
#if defined(_WIN32)
        {"tlsca", false, ShortChain},    // an authority the system does not know
        {"tls", true, "0x800b0109"},     // self-signed
        {"tlsname", true, "0x800b010f"}, // a trusted authority, but for another host: CERT_E_CN_NO_MATCH
#else
        {"tlsca", false, ShortChain},
        {"tls", true, "self-signed certificate"},
        {"tlsname", true, "hostname mismatch"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Server);
        const std::string token = MAILBOX::UniqueToken();
        EMAIL mail("me@loopback.test", "you@loopback.test", token.c_str(), "x",
                   MAILBOX::Server(c.Server, "localhost").c_str());
        mail.SetCredentials(MAILBOX::User, MAILBOX::Password);
        std::unique_ptr<TRUSTEDAUTHORITY> authority(c.TrustAuthority ? new TRUSTEDAUTHORITY(mail) : nullptr);
        const std::string result = Send(mail);
        EXPECT_EQ(
            0u, result.find("failed: The connection to the server could not be secured, so the password was "
                            "not sent ("))
            << result;
        EXPECT_NE(std::string::npos, result.find(c.Why)) << result;
        EXPECT_EQ(0u, MAILBOX::Find(token, 0).size());
    }
}

TEST(SmtpTls, ACallerThatAllowsAuthInClearStillEncryptsWithAnUnverifiedCertificate) {
    const std::string token = MAILBOX::UniqueToken();
    EMAIL mail("me@loopback.test", "you@loopback.test", token.c_str(), "x", MAILBOX::Server("tls").c_str());
    mail.SetCredentials(MAILBOX::User, MAILBOX::Password);
    mail.AllowAuthInClear(true);
    ASSERT_EQ(0u, Send(mail).find("sent: ")) << Send(mail);
    const auto received = MAILBOX::Find(token);
    ASSERT_EQ(1u, received.size());
    EXPECT_TRUE(received[0].Encrypted);
    EXPECT_EQ("mailer", received[0].Auth);
}

TEST(SmtpTls, WithoutCredentialsTheMailGoesAndTheLogSaysHowItWasProtected) {
    const struct {
        const char* Server;
        bool TrustAuthority;
        bool Encrypted;
        const char* Logged;
    } cases[] = {
        {"tls", false, true, "EMAIL::SendMail connection encrypted, not verified ("},
        {"tlsname", true, true, "EMAIL::SendMail connection encrypted, not verified ("},
        {"tlsca", true, true, "EMAIL::SendMail connection encrypted and verified"},
        {"plain", false, false, "EMAIL::SendMail connection not encrypted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Server);
        SCRATCHFOLDER scratch{SCRATCHFOLDER::Working};
        LOGCAPTURE log(scratch.File("mail.log"));
        const std::string token = MAILBOX::UniqueToken();
        EMAIL mail("anonymous", "you@loopback.test", token.c_str(), "x",
                   MAILBOX::Server(c.Server, "localhost").c_str());
        std::unique_ptr<TRUSTEDAUTHORITY> authority(c.TrustAuthority ? new TRUSTEDAUTHORITY(mail) : nullptr);
        EXPECT_EQ(0u, Send(mail).find("sent: ")) << Send(mail);
        const auto received = MAILBOX::Find(token);
        ASSERT_EQ(1u, received.size());
        EXPECT_EQ(c.Encrypted, received[0].Encrypted);
        EXPECT_EQ("", received[0].Auth);
        const std::string logged = log.Finish();
        const bool untrusted = authority != nullptr && !authority->Trusted();
        const std::string expected =
            untrusted ? "EMAIL::SendMail connection encrypted, not verified (" : c.Logged;
        EXPECT_NE(std::string::npos, logged.find(expected)) << logged;
    }
}
