// EMAIL against scripted servers that misbehave, each on a loopback port of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "lib/net/email.h"
#include "lib/net/tcpio.h"
#include "tests/net/scripted_server.h"

namespace {
using LINES = std::vector<std::string>;

// The mail of these tests, with short waits so that no case takes long.
struct SHORTMAIL {
    explicit SHORTMAIL(const std::string& host, const char* body = "feedback text")
        : Mail("me@loopback.test", "you@loopback.test", "subject", body, host.c_str()) {
        EMAIL::TIMEOUTS timeouts;
        timeouts.ContinuationMs = 300;
        timeouts.FinalDotMs = 500;
        timeouts.QuitMs = 300;
        timeouts.ConnectMs = 2000;
        timeouts.SendStallMs = 300;
        Mail.SetTimeouts(timeouts);
    }
    std::string Send() {
        char error[EMAIL::ErrorSize] = {};
        const int ok = Mail.SendMail(Mail.CreateMailString(), error, sizeof(error), 500);
        return (ok ? "sent: " : "failed: ") + std::string(error);
    }
    EMAIL Mail;
};

// The rest of a successful dialogue after the 354.
void TakeMessage(SCRIPTEDSERVER& peer) {
    peer.HearUntil(".");
    peer.Say("250 accepted\r\n");
    peer.Hear();
    peer.Say("221 bye\r\n");
}
} // namespace

TEST(SmtpMisbehaving, NoGreetingIsATimeOutAndARefusingGreetingIsTheError) {
    // The server hangs up after 2 s: the time-out text shows that the sender gave up before that.
    SCRIPTEDSERVER silent([](SCRIPTEDSERVER& peer) { peer.Hear(2000); });
    EXPECT_EQ("failed: Timeout reading server reply", SHORTMAIL(silent.Address()).Send());
    EXPECT_EQ(LINES{}, silent.Finish()) << "nothing is said to a server that does not greet";

    SCRIPTEDSERVER busy([](SCRIPTEDSERVER& peer) {
        peer.Say("421-loopback busy\r\n421 try again later\r\n");
        peer.Hear(1000);
    });
    EXPECT_EQ("failed: 421 try again later", SHORTMAIL(busy.Address()).Send());
}

TEST(SmtpMisbehaving, TheFirstOfTwoReceiversRefusedStillSendsToTheSecond) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.Say("220-loopback\r\n220 ready\r\n");
        peer.Hear();
        peer.Say("250-loopback\r\n250 SIZE 1000\r\n");
        peer.Hear();
        peer.Say("250 ok\r\n");
        peer.Hear();
        peer.Say("550 no such user\r\n");
        peer.Hear();
        peer.Say("250 ok\r\n");
        peer.Hear();
        peer.Say("354 go on\r\n");
        TakeMessage(peer);
    });
    SHORTMAIL mail(server.Address());
    mail.Mail.AddReceiver("other@loopback.test");
    EXPECT_EQ("sent: 250 accepted", mail.Send());
    const LINES heard = server.Finish();
    ASSERT_GE(heard.size(), 5u);
    EXPECT_EQ((LINES{"EHLO loopback.test", "MAIL FROM:<me@loopback.test>", "RCPT TO:<you@loopback.test>",
                     "RCPT TO:<other@loopback.test>", "DATA"}),
              LINES(heard.begin(), heard.begin() + 5));
    EXPECT_EQ("QUIT", heard.back());
}

TEST(SmtpMisbehaving, AuthOfferedOnlyOnTheLastEhloLineIsNotUsed) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.AcceptEnvelope("250-loopback\r\n250 AUTH LOGIN CRAM-MD5\r\n");
        TakeMessage(peer);
    });
    SHORTMAIL mail(server.Address());
    mail.Mail.SetCredentials("user", "password");
    mail.Mail.AllowCramMd5(true);
    mail.Mail.AllowAuthInClear(true);
    EXPECT_EQ("sent: 250 accepted", mail.Send());
    EXPECT_EQ("MAIL FROM:<me@loopback.test>", server.Finish().at(1));
}

TEST(SmtpMisbehaving, AnEhloRefusalFallsBackToHelo) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.Say("220 ready\r\n");
        peer.Hear();
        peer.Say("502 command not implemented\r\n");
        for (const char* reply : {"250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) {
            peer.Hear();
            peer.Say(reply);
        }
        TakeMessage(peer);
    });
    EXPECT_EQ("sent: 250 accepted", SHORTMAIL(server.Address()).Send());
    const LINES heard = server.Finish();
    EXPECT_EQ((LINES{"EHLO loopback.test", "HELO loopback.test"}), LINES(heard.begin(), heard.begin() + 2));
}

TEST(SmtpMisbehaving, ARefusalAfterTheMessageIsAFailureWithTheServersReply) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.AcceptEnvelope();
        peer.HearUntil(".");
        peer.Say("554 5.6.0 message refused\r\n");
        peer.Hear();
    });
    EXPECT_EQ("failed: 554 5.6.0 message refused", SHORTMAIL(server.Address()).Send());
}

TEST(SmtpMisbehaving, ADisconnectInTheMiddleOfTheMessageIsAFailure) {
    std::string body;
    for (int i = 0; i < 20000; ++i)
        body += "line " + std::to_string(i) + " of a long comment\n";
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.AcceptEnvelope();
        peer.Hear();
        peer.Drop();
    });
    const std::string result = SHORTMAIL(server.Address(), body.c_str()).Send();
    EXPECT_EQ(0u, result.find("failed: ")) << result;
    EXPECT_NE("failed: ", result);
}

TEST(SmtpMisbehaving, AServerThatNeverReadsMakesTheSendFailWithinTheStallTime) {
    EVENTSEM release;
    // More than the loopback connection's buffers on both sides can take.
    std::string body(24 * 1024 * 1024, 'a');
    for (size_t i = 70; i < body.size(); i += 71)
        body[i] = '\n';
    // The server holds the connection open far longer than the stall time: only the sender's own stall
    // detection can end the send with this text (a closed connection would give another one), however slow
    // a sanitizer build makes the preparation of the message.
    SCRIPTEDSERVER server([&release](SCRIPTEDSERVER& peer) {
        peer.AcceptEnvelope();
        release.Wait(180000);
    });
    const std::string result = SHORTMAIL(server.Address(), body.c_str()).Send();
    release.Set();
    EXPECT_EQ(0u, result.find("failed: Send timed out. (")) << result;
}

TEST(SmtpMisbehaving, HugeAndNulCarryingReplyLinesNeitherCrashNorDerailTheDialogue) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.Say("220 " + std::string(2 * 1024 * 1024, 'g') + "\r\n");
        peer.Hear();
        peer.Say(std::string("250-loop\0back\r\n250-", 20) + std::string(300000, 'e') + "\r\n250 HELP\r\n");
        peer.Hear();
        peer.Say("250 ok\r\n");
        peer.Hear();
        peer.Say("250 ok\r\n");
        peer.Hear();
        peer.Say("354 go\r\n");
        TakeMessage(peer);
    });
    EXPECT_EQ("sent: 250 accepted", SHORTMAIL(server.Address()).Send());
}

TEST(SmtpMisbehaving, UnreachableServersReportTheConnectionError) {
    const std::string unknown = SHORTMAIL("nonexistent.invalid").Send();
    EXPECT_EQ(0u, unknown.find("failed: Host not found. (")) << unknown;

    std::string closed;
    {
        SCRIPTEDSERVER gone([](SCRIPTEDSERVER&) {});
        closed = gone.Address();
    }
    const std::string refused = SHORTMAIL(closed).Send();
    EXPECT_EQ(0u, refused.find("failed: No response. (")) << refused;
}

TEST(SmtpMisbehaving, LineBreaksInAnyFieldAreRefusedBeforeConnecting) {
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) { peer.Say("220 ready\r\n"); });
    const std::string host = server.Address();
    struct CASE {
        const char* Field;
        std::function<void(EMAIL&)> Set;
    } cases[] = {
        {"subject", [](EMAIL& m) { m.SetSubject("hi\r\nBcc: victim@loopback.test"); }},
        {"sender", [](EMAIL& m) { m.SetSender("me@loopback.test>\r\nRCPT TO:<victim@loopback.test"); }},
        {"receiver", [](EMAIL& m) { m.AddReceiver("a@loopback.test\nDATA"); }},
        {"sender name", [](EMAIL& m) { m.SetSenderName("Me\r\nX-Evil: 1"); }},
        {"user name", [](EMAIL& m) { m.SetCredentials("user\r\nQUIT", "pw"); }},
        {"greeting domain", [](EMAIL& m) { m.SetGreetingDomain("x\nRSET"); }},
    };
    for (const CASE& c : cases) {
        SHORTMAIL mail(host);
        c.Set(mail.Mail);
        EXPECT_EQ("failed: The " + std::string(c.Field) + " contains a line break; nothing was sent",
                  mail.Send());
    }
    EXPECT_EQ("failed: The mail server contains a line break; nothing was sent",
              SHORTMAIL(host + "\r\nx").Send());
    server.Finish();
    EXPECT_FALSE(server.Accepted()) << "a connection was made";
}

TEST(SmtpMisbehaving, ASuppliedDeviceIsUsedAndItsConnectCheckCanRefuse) {
    SCRIPTEDSERVER refused([](SCRIPTEDSERVER& peer) { peer.Hear(1000); });
    TCPIPIO device("", "", "");
    SHORTMAIL mail(refused.Address());
    mail.Mail.SetDevice(&device, [](BASEIO* connected, char* text, int size) {
        snprintf(text, static_cast<size_t>(size), "checked %s", connected->GetProperty("ONLINE").Text());
        return 0;
    });
    EXPECT_EQ("failed: checked 1", mail.Send());
    EXPECT_EQ(LINES{}, refused.Finish()) << "nothing is said after a refused check";
    EXPECT_EQ("0", device.GetProperty("ONLINE"));

    SCRIPTEDSERVER accepted([](SCRIPTEDSERVER& peer) {
        peer.AcceptEnvelope();
        TakeMessage(peer);
    });
    SHORTMAIL second(accepted.Address());
    second.Mail.SetDevice(&device, [](BASEIO*, char*, int) { return 1; });
    EXPECT_EQ("sent: 250 accepted", second.Send());
    EXPECT_EQ("0", device.GetProperty("ONLINE")) << "the call is dropped after the mail";
}

TEST(SmtpMisbehaving, ARefusedStartTlsKeepsCredentialsBackButLetsAnAnonymousMailGo) {
    const auto script = [](SCRIPTEDSERVER& peer) {
        peer.Say("220 ready\r\n");
        peer.Hear();
        peer.Say("250-loopback\r\n250-AUTH LOGIN\r\n250 STARTTLS\r\n");
        peer.Hear();
        peer.Say("454 4.7.0 TLS not available\r\n");
        for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) {
            if (peer.Hear().empty())
                return;
            peer.Say(reply);
        }
        TakeMessage(peer);
    };
    SCRIPTEDSERVER withpassword(script);
    SHORTMAIL secret(withpassword.Address());
    secret.Mail.SetCredentials("user", "password");
    EXPECT_EQ("failed: The server refused to encrypt the connection, so the password was not sent (454 4.7.0 "
              "TLS not "
              "available)",
              secret.Send());
    EXPECT_EQ((LINES{"EHLO loopback.test", "STARTTLS"}), withpassword.Finish());

    SCRIPTEDSERVER anonymous(script);
    EXPECT_EQ("sent: 250 accepted", SHORTMAIL(anonymous.Address()).Send());
    EXPECT_EQ("MAIL FROM:<me@loopback.test>", anonymous.Finish().at(2));
}

TEST(SmtpMisbehaving, AServerWithoutStartTlsNeverHearsTheCredentials) {
    // It would take them: AUTH on a continuation line, and answers for a whole login.
    SCRIPTEDSERVER server([](SCRIPTEDSERVER& peer) {
        peer.Say("220 ready\r\n");
        peer.Hear();
        peer.Say("250-loopback\r\n250-AUTH LOGIN PLAIN\r\n250 SIZE 1000000\r\n");
        for (const char* reply : {"334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"})
            if (!peer.Hear().empty())
                peer.Say(reply);
    });
    SHORTMAIL secret(server.Address());
    secret.Mail.SetCredentials("user", "password");
    EXPECT_EQ("failed: The server does not offer an encrypted connection (STARTTLS), so the password was not "
              "sent",
              secret.Send());
    EXPECT_EQ((LINES{"EHLO loopback.test"}), server.Finish());
}
