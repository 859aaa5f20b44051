#include "lib/net/email.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "lib/net/mailplatform.h"
#include "lib/net/tcpio.h"
#include "lib/orvik.h"

namespace {
constexpr int ReplySize = 256;
const char* const TimeoutText = "Timeout reading server reply";
const char* const FirstBoundary = "----=_Orvik_Mime_Part_08154711";

bool HasEightBitBytes(const STRING& text) {
    for (int i = 0; i < text.Length(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return true;
    return false;
}

bool HasLineBreak(const STRING& text) {
    return text.Pos("\r") >= 0 || text.Pos("\n") >= 0;
}

int ReplyCode(const char* line) {
    return atoi(line);
}

bool IsContinuation(const char* line) {
    return strlen(line) > 3 && line[3] == '-';
}

void CopyOut(const STRING& text, char* buffer, int size) {
    if (buffer == nullptr || size <= 0)
        return;
    memset(buffer, 0, static_cast<size_t>(size));
    strncpy(buffer, text.Text(), static_cast<size_t>(size - 1));
}
} // namespace

// One SMTP conversation over a connected device: commands, replies with their continuation lines, and the
// error text of the failure that ended it.
class EMAIL::DIALOGUE {
public:
    DIALOGUE(BASEIO* device, const TIMEOUTS& timeouts) : Device(device), Timeouts(timeouts) {}

    // What the server's EHLO reply offers.
    struct OFFERS {
        bool Login = false;
        bool CramMd5 = false;
        bool StartTls = false;
    };

    // Reads a reply (all its lines) into Reply; the first line within timeoutms.
    bool ReadReply(int timeoutms) {
        return TCP::ReadLine(Device, Reply, ReplySize, timeoutms) ? Continue(nullptr) : Failed();
    }

    // Sends command and reads its reply, noting what the reply offers.
    bool Command(const STRING& command, int timeoutms, bool secret = false, OFFERS* offers = nullptr) {
        if (!TCP::WriteCmd(Device, command.Text(), Reply, ReplySize, timeoutms, secret))
            return Failed();
        return Continue(offers);
    }

    // Reads the further lines of a multi-line reply: the last one stays in Reply. Only the continuation lines
    // tell which AUTH mechanisms the server offers; any line may offer STARTTLS.
    bool Continue(OFFERS* offers) {
        for (;;) {
            const STRING line(Reply);
            if (offers != nullptr && line.Length() >= 12 &&
                StringCompareNoCase(line.Mid(4, 8).Text(), "STARTTLS") == 0)
                offers->StartTls = true;
            if (!IsContinuation(Reply))
                return true;
            if (offers != nullptr && line.iFind("AUTH")) {
                offers->Login = offers->Login || line.iFind("LOGIN");
                offers->CramMd5 = offers->CramMd5 || line.iFind("CRAM-MD5");
            }
            if (!TCP::ReadLine(Device, Reply, ReplySize, Timeouts.ContinuationMs))
                return Failed();
        }
    }

    // The command's reply must have a code in [low, high]; otherwise the reply becomes the error.
    bool Expect(const STRING& command, int timeoutms, int low, int high, bool secret = false) {
        if (!Command(command, timeoutms, secret))
            return false;
        return CodeIn(low, high);
    }

    bool CodeIn(int low, int high) {
        const int code = ReplyCode(Reply);
        if (code >= low && code <= high)
            return true;
        Error = Reply;
        return false;
    }

    bool WriteLine(const STRING& line) {
        const STRING wire = line || "\r\n";
        if (Device->Write(wire.Text(), wire.Length()))
            return true;
        return Failed();
    }

    // No reply line: a lost connection says why, anything else is a time-out.
    bool Failed() {
        if (Device->GetProperty("ONLINE") == "0" && Device->GetProperty("LASTERROR") != "0")
            Error = Device->GetProperty("LASTERRORSTRING");
        else
            Error = TimeoutText;
        return false;
    }

    BASEIO* Device;
    const TIMEOUTS& Timeouts;
    char Reply[ReplySize] = {};
    STRING Error;
};

EMAIL::EMAIL(const char* sender, const char* receiver, const char* subject, const char* body,
             const char* smtphost)
    : Sender(sender), Subject(subject), SmtpHost(smtphost), Body(body) {
    STRING first(receiver);
    first.Strip('B', " ");
    Sender.Strip('B', " ");
    SmtpHost.Strip('B', " ");
    Receivers.Append(first);
    LogPrintf("EMAIL::Sender %s\n", Sender.Text());
    LogPrintf("EMAIL::Receiver %s\n", first.Text());
    LogPrintf("EMAIL::Subject %s\n", Subject.Text());
    LogPrintf("EMAIL::SmtpHost %s\n", SmtpHost.Text());
    if (Sender.IsEmpty()) {
        Sender = STRING("anonymous@") || MakerMailDomain;
        Sender.ToLower();
    }
}

void EMAIL::AddReceiver(const char* receiver) {
    STRING text(receiver);
    text.Strip('B', " ");
    Receivers.Append(text);
}

STRING EMAIL::GetReceiver() const {
    const STRING* first = Receivers.Count() > 0 ? Receivers.Get(0) : nullptr;
    return first != nullptr ? *first : STRING("");
}

void EMAIL::SetReceiver(const char* receiver) {
    Receivers.Clear();
    AddReceiver(receiver);
}

STRING EMAIL::ZoneText(int biasminutes) {
    const int magnitude = biasminutes < 0 ? -biasminutes : biasminutes;
    STRING text;
    text.Printf(" %c%02d%02d", biasminutes < 0 ? '+' : '-', magnitude / 60, magnitude % 60);
    return text;
}

STRING EMAIL::DateText() const {
    const MAILPLATFORM::ZONE zone = MAILPLATFORM::LocalZone();
    const int bias = zone.Bias + (zone.Daylight ? zone.DaylightBias : 0);
    LogPrintf("EMAIL::CreateMailString zone=%d, tz.Bias= %d, tz.DaylightBias= %d\n", bias, zone.Bias,
              zone.DaylightBias);
    const time_t now = time(nullptr);
    struct tm local = *localtime(&now);
    char date[64] = {};
    strftime(date, sizeof(date), "%a, %d %b %Y %H:%M:%S", &local);
    STRING text(date);
    text.Append(ZoneText(bias));
    LogPrintf("EMAIL::CreateMailString datebuf= %s\n", text.Text());
    return text;
}

STRING EMAIL::Boundary(const STRINGARRAY& parts) {
    STRING boundary(FirstBoundary);
    auto anyPartHolds = [&parts](const STRING& text) {
        for (int i = 0; i < parts.Count(); ++i)
            if (parts.Get(i)->Find(text.Text()))
                return true;
        return false;
    };
    while (boundary.Length() < 64 && anyPartHolds(boundary))
        boundary.Append("$");
    ORVIK_ASSERT(boundary.Length() < 64);
    return boundary;
}

STRING EMAIL::CharsetName(int codepage) {
    STRING name;
    if (codepage == 65001)
        name = "utf-8";
    else if (codepage == 28591)
        name = "iso-8859-1";
    else
        name.Printf("windows-%d", codepage);
    return name;
}

STRING EMAIL::EncodeHeaderText(const STRING& text, int codepage) {
    if (!HasEightBitBytes(text))
        return text;
    // Base64 encoded words of at most 75 characters, folded onto continuation lines.
    const STRING prefix = STRING("=?") || CharsetName(codepage) || "?B?";
    const int chunk = (75 - prefix.Length() - 2) / 4 * 3;
    STRING result;
    for (int pos = 0; pos < text.Length();) {
        int take = chunk < text.Length() - pos ? chunk : text.Length() - pos;
        // A UTF-8 character stays within one word.
        if (codepage == 65001)
            while (pos + take < text.Length() && take > 1 &&
                   (static_cast<unsigned char>(text[pos + take]) & 0xC0) == 0x80)
                --take;
        if (result.NotEmpty())
            result.Append("\r\n ");
        result.Append(prefix);
        result.Append(STRING(text.Mid(pos, take)).ToBase64());
        result.Append("?=");
        pos += take;
    }
    return result;
}

STRING EMAIL::CreateMailString() {
    const bool eightbit = HasEightBitBytes(Subject) || HasEightBitBytes(Body);
    const STRING textType = STRING("Content-Type: text/plain; charset=") || CharsetName(CodePage) || "\r\n";
    STRING mail;
    mail.Append("From: ");
    if (SenderName.NotEmpty()) {
        mail.Append("\"");
        mail.Append(EncodeHeaderText(SenderName, CodePage));
        mail.Append("\" <");
        mail.Append(Sender);
        mail.Append(">");
    } else {
        mail.Append(Sender);
    }
    mail.Append("\r\nTo: ");
    for (int i = 0; i < Receivers.Count(); ++i) {
        if (i > 0)
            mail.Append(", ");
        mail.Append(*Receivers.Get(i));
    }
    mail.Append("\r\nDate: ");
    mail.Append(DateText());
    mail.Append("\r\nSubject: ");
    mail.Append(EncodeHeaderText(Subject, CodePage));
    mail.Append("\r\n");
    STRING boundary;
    if (Parts.Count() > 0) {
        boundary = Boundary(Parts);
        mail.Append("Content-Type: multipart/mixed; boundary=\"");
        mail.Append(boundary);
        mail.Append("\"\r\nMIME-Version: 1.0\r\n\r\n");
        mail.Append("This is a multi-part MIME message\r\n");
        mail.Append("Please use a MIME compliant mail\r\n");
        mail.Append(" reader to display this message.\r\n\r\n");
        mail.Append("--");
        mail.Append(boundary);
        mail.Append("\r\n");
        if (eightbit) {
            mail.Append(textType);
            mail.Append("Content-Transfer-Encoding: 8bit\r\n");
        } else {
            mail.Append("Content-Type: text/plain\r\n");
        }
    } else if (eightbit) {
        mail.Append("MIME-Version: 1.0\r\n");
        mail.Append(textType);
        mail.Append("Content-Transfer-Encoding: 8bit\r\n");
    }
    mail.Append("\r\n");

    // Line by line without an array of them: a long comment has many.
    for (int start = 0; start <= Body.Length();) {
        int end = Body.Pos("\n", start);
        if (end < 0)
            end = Body.Length();
        STRING line = Body.Mid(start, end - start);
        start = end + 1;
        line.Strip('R', " \t");
        line.Strip('B', "\r\n");
        line.Replace("\r", " ");
        if (line == ".")
            line = ". ";
        mail.Append(line);
        mail.Append("\r\n");
    }
    mail.Append("\r\n");
    for (int i = 0; i < Parts.Count(); ++i) {
        mail.Append("--");
        mail.Append(boundary);
        mail.Append("\r\n");
        mail.Append(*Parts.Get(i));
        mail.Append("\r\n");
    }
    if (Parts.Count() > 0) {
        mail.Append("--");
        mail.Append(boundary);
        mail.Append("--\r\n\r\n");
    }
    return mail;
}

const char* EMAIL::FieldWithLineBreak() const {
    const struct {
        const STRING& Field;
        const char* Name;
    } fields[] = {{Sender, "sender"},      {SenderName, "sender name"},
                  {Subject, "subject"},    {SmtpHost, "mail server"},
                  {UserName, "user name"}, {GreetingDomain, "greeting domain"}};
    for (const auto& field : fields)
        if (HasLineBreak(field.Field))
            return field.Name;
    for (int i = 0; i < Receivers.Count(); ++i)
        if (HasLineBreak(*Receivers.Get(i)))
            return "receiver";
    return nullptr;
}

// One SMTP exchange that hands a message over, step by step as the protocol has them: connection,
// greeting, EHLO (or HELO), STARTTLS, AUTH, MAIL FROM and RCPT TO, DATA, the final "." and QUIT. Each step
// returns false when the exchange ends there; the dialogue's Error then says why.
class EMAIL::SESSION {
public:
    SESSION(const EMAIL& mail, BASEIO* device, int timeoutms)
        : Mail(mail), Device(device), Talk(device, mail.Timeouts), TimeoutMs(timeoutms) {}

    // 1 when the server accepted the message.
    int Run(const STRING& message) {
        if (!Connect() || !Greeting() || !Hello() || !Encrypt() || !Authenticate() || !Envelope() ||
            !Data(message))
            return 0;
        return Finish();
    }

    const STRING& Error() const { return Talk.Error; }

private:
    bool Connect() {
        if (!Device->MakeCall((Mail.SmtpHost || ":smtp").Text())) {
            Talk.Error = Device->GetProperty("LastErrorString");
            LogPrintf("EMAIL::SendMail error: %s\n", Talk.Error.Text());
            return false;
        }
        if (Mail.Device != nullptr && Mail.ConnectCheck != nullptr) {
            char text[ReplySize] = {};
            if (Mail.ConnectCheck(Device, text, sizeof(text)) == 0) {
                Talk.Error = text;
                return false;
            }
        }
        return true;
    }

    // A server that does not greet, or greets with a refusal (421 busy, 554), is not spoken to.
    bool Greeting() { return Talk.ReadReply(TimeoutMs) && Talk.CodeIn(200, 299); }

    bool Hello() {
        STRING domain = Mail.GreetingDomain;
        if (domain.IsEmpty())
            domain = Mail.GetReceiver().Word(1, "@", WORD_NOTNULL);
        if (domain.IsEmpty())
            domain = MakerMailDomain;
        const bool anonymous =
            Mail.Sender.IsEmpty() || StringCompareNoCase(Mail.Sender.Text(), "anonymous") == 0;
        HelloArgument = anonymous ? STRING("anonymous") : domain;
        if (!Talk.Command(STRING("EHLO ") || HelloArgument, TimeoutMs, false, &Offers))
            return false;
        Extended = Talk.CodeIn(200, 299);
        return Extended || Talk.Command(STRING("HELO ") || HelloArgument, TimeoutMs);
    }

    bool HasCredentials() const { return Mail.UserName.NotEmpty() && Mail.Password.NotEmpty(); }
    bool MustVerify() const { return HasCredentials() && !Mail.AuthInClearAllowed; }

    // Encryption whenever the server offers it and the device can: the dialogue goes on encrypted, and
    // starts again with EHLO. With credentials to protect, a certificate that fails the check ends the
    // handshake; without, the mail still goes encrypted, only the log says it was not verified.
    bool Encrypt() {
        CouldEncrypt = Extended && Offers.StartTls && Device->CanStartTls();
        if (CouldEncrypt) {
            if (!Talk.Command("STARTTLS", TimeoutMs))
                return false;
            if (ReplyCode(Talk.Reply) == 220 && !Handshake())
                return false;
        }
        if (!Encrypted)
            LogPrintf("EMAIL::SendMail connection not encrypted\n");
        return true;
    }

    bool Handshake() {
        TLSPOLICY policy;
        if (Mail.CaFile.NotEmpty())
            policy.CaFile = Mail.CaFile.Text();
        policy.RequireVerified = MustVerify();
        if (!Device->StartTls(Mail.SmtpHost.Word(0, ":", WORD_NOTNULL).Text(), TimeoutMs, policy)) {
            Talk.Error = Device->GetProperty("LASTERRORSTRING");
            if (MustVerify())
                Talk.Error = STRING("The connection to the server could not be secured, so the password "
                                    "was not sent (") ||
                             Talk.Error || ")";
            return false;
        }
        Encrypted = true;
        Verified = Device->GetProperty("TLSVERIFIED") == "1";
        if (Verified)
            LogPrintf("EMAIL::SendMail connection encrypted and verified\n");
        else
            LogPrintf("EMAIL::SendMail connection encrypted, not verified (%s)\n",
                      Device->GetProperty("TLSVERIFYERROR").Text());
        Offers = DIALOGUE::OFFERS();
        return Talk.Command(STRING("EHLO ") || HelloArgument, TimeoutMs, false, &Offers) &&
               Talk.CodeIn(200, 299);
    }

    bool Authenticate() {
        if (!HasCredentials())
            return true;
        if (!ConnectionFitForCredentials())
            return false;
        if (Offers.CramMd5 && Mail.CramMd5Allowed)
            return AuthCramMd5();
        if (Offers.Login)
            return AuthLogin();
        return true;
    }

    // Credentials go only over a connection whose server proved who it is.
    bool ConnectionFitForCredentials() {
        if (Mail.AuthInClearAllowed)
            return true;
        if (CouldEncrypt && !Encrypted) {
            Talk.Error =
                STRING("The server refused to encrypt the connection, so the password was not sent (") ||
                Talk.Reply || ")";
            return false;
        }
        if (!CouldEncrypt) {
            Talk.Error = "The server does not offer an encrypted connection (STARTTLS), so the password was "
                         "not sent";
            return false;
        }
        if (Encrypted && !Verified) {
            Talk.Error =
                STRING("The server's certificate was not accepted, so the password was not sent (") ||
                Device->GetProperty("TLSVERIFYERROR") || ")";
            return false;
        }
        return true;
    }

    bool AuthCramMd5() {
        if (!Talk.Expect("AUTH CRAM-MD5", TimeoutMs, 334, 334))
            return false;
        const STRING challenge = STRING(strlen(Talk.Reply) > 4 ? Talk.Reply + 4 : "").FromBase64();
        const STRING digest(MAILPLATFORM::HmacMd5(Mail.Password, challenge));
        const STRING answer = Mail.UserName || " " || digest.ToHex();
        return Talk.Expect(answer.ToBase64(), TimeoutMs, 200, 299, true);
    }

    bool AuthLogin() {
        return Talk.Expect("AUTH LOGIN", TimeoutMs, 334, 334) &&
               Talk.Expect(Mail.UserName.ToBase64(), TimeoutMs, 334, 334, true) &&
               Talk.Expect(Mail.Password.ToBase64(), TimeoutMs, 200, 299, true);
    }

    // MAIL FROM and a RCPT TO for every receiver; the last reply decides.
    bool Envelope() {
        const STRING from =
            StringCompareNoCase(Mail.Sender.Text(), "anonymous") == 0 ? STRING("") : Mail.Sender;
        if (!Talk.Expect(STRING("MAIL FROM:<") || from || ">", TimeoutMs, 200, 299))
            return false;
        for (int i = 0; i < Mail.Receivers.Count(); ++i)
            if (!Talk.Command(STRING("RCPT TO:<") || *Mail.Receivers.Get(i) || ">", TimeoutMs))
                return false;
        return Talk.CodeIn(200, 299);
    }

    // DATA and the message's lines, dot-stuffed.
    bool Data(const STRING& message) {
        if (!Talk.Expect("DATA", TimeoutMs, 200, 399))
            return false;
        LogPrintf("EMAIL::SendMail before writing the message\n");
        const STRING text = message || "\n";
        for (int start = 0, end; (end = text.Pos("\n", start)) >= 0; start = end + 1) {
            if (start < text.Length() && text[start] == '\r')
                ++start;
            STRING line = start < end ? text.Mid(start, end - start) : STRING("");
            line.Strip('R', " \r");
            // A lone "." keeps the blank the message builder gave it (". ").
            if (line == ".")
                line = ". ";
            // Dot transparency: the server takes one leading "." away again.
            if (line.Length() > 0 && line[0] == '.')
                line.Insert(".", 0);
            if (!Talk.WriteLine(line))
                return false;
        }
        return true;
    }

    // The "." that ends the message, whose reply is the verdict, and QUIT, whose reply does not matter.
    int Finish() {
        if (!Talk.Command(".", Mail.Timeouts.FinalDotMs))
            return 0;
        const int accepted = Talk.CodeIn(200, 299) ? 1 : 0;
        Talk.Error = Talk.Reply;
        char quitreply[ReplySize];
        TCP::WriteCmd(Device, "QUIT", quitreply, sizeof(quitreply), Mail.Timeouts.QuitMs);
        return accepted;
    }

    const EMAIL& Mail;
    BASEIO* Device;
    DIALOGUE Talk;
    const int TimeoutMs;
    STRING HelloArgument;
    DIALOGUE::OFFERS Offers;
    bool Extended = false;
    bool CouldEncrypt = false;
    bool Encrypted = false;
    bool Verified = false;
};

int EMAIL::SendMail(const STRING& message, char* error, int size, int timeoutms) {
    LogPrintf("EMAIL::SendMail host= %s, timeout= %d\n", SmtpHost.Text(), timeoutms);
    // A line break in a field would let its rest pass as a command or a header of its own.
    if (const char* field = FieldWithLineBreak()) {
        STRING text;
        text.Printf("The %s contains a line break; nothing was sent", field);
        LogPrintf("EMAIL::SendMail error: %s\n", text.Text());
        CopyOut(text, error, size);
        return 0;
    }
    std::unique_ptr<TCPIPIO> own;
    BASEIO* device = Device;
    if (device == nullptr) {
        own.reset(new TCPIPIO("", "", ""));
        if (Timeouts.ConnectMs >= 0)
            own->SetConnectTimeout(Timeouts.ConnectMs);
        if (Timeouts.SendStallMs >= 0)
            own->SetSendStallTimeout(Timeouts.SendStallMs);
        device = own.get();
    }
    SESSION session(*this, device, timeoutms);
    const int result = session.Run(message);
    if (device->DevIsConnected())
        device->DropCall();
    if (!result)
        LogPrintf("EMAIL::SendMail failed: %s\n", session.Error().Text());
    CopyOut(session.Error(), error, size);
    return result;
}

int EMAIL::Send(char* error) {
    const STRING message = CreateMailString();
    char text[ErrorSize] = {};
    const int result = SendMail(message, text, sizeof(text), SendTimeoutMs);
    if (error != nullptr)
        strcpy(error, text);
    return result;
}
