// EMAIL: one plain-text mail, optionally with prepared MIME parts, sent to one or more receivers over SMTP.
// It opens its own TCP/IP connection (or uses a device its owner supplies), speaks the dialogue command by
// command with reply-code checks and time-outs, authenticates with AUTH LOGIN or CRAM-MD5 when credentials
// are set, and reports success as 1 and failure as a short text for the user. A server that offers STARTTLS
// gets the dialogue encrypted; credentials go only to a server whose certificate was verified, unless the
// caller allows authentication in clear.
#pragma once

#include "lib/net/ios.h"
#include "lib/stringarray.h"
#include "lib/strings.h"
#include "lib/textcodec.h"

// Called right after connecting on a supplied device: 0 aborts the send with text as the error.
using EMAILCONNECTCHECK = int (*)(BASEIO* device, char* text, int size);

class EMAIL {
public:
    // The maker's own mail domain: the sender of anonymous mail and the last greeting-domain fallback.
    static constexpr const char* MakerMailDomain = "orvik.example";
    static constexpr int ErrorSize = 256;
    static constexpr int SendTimeoutMs = 15000;

    // Waits of the dialogue besides the reply time-out given to SendMail; tests shorten them.
    struct TIMEOUTS {
        int ContinuationMs = 5000; // each further line of a multi-line reply
        int FinalDotMs = 20000;    // the reply to the "." that ends the message
        int QuitMs = 5000;
        int ConnectMs = -1;   // own connection: -1 leaves the device's default
        int SendStallMs = -1; // own connection: -1 leaves the device's default
    };

    EMAIL(const char* sender, const char* receiver, const char* subject, const char* body,
          const char* smtphost);
    ~EMAIL() = default;
    EMAIL(const EMAIL&) = delete;
    EMAIL& operator=(const EMAIL&) = delete;

    // The complete message (headers, body, parts) with CR LF line ends.
    STRING CreateMailString();
    // Speaks the SMTP dialogue and hands over message. 1 when the server accepted it; error (size bytes)
    // always receives a text: the server's last reply, a time-out or the connection's error.
    int SendMail(const STRING& message, char* error, int size, int timeoutms);
    // CreateMailString and SendMail with a 15 s reply time-out; error (ErrorSize bytes, may be null)
    // receives the text.
    int Send(char* error = nullptr);
#if defined(_WIN32)
    // The interactive send dialog of template templ (controls of lib/net/emaildialogids.h and IDCANCEL): 1
    // when a mail was sent.
    int SendDialog(int templ, const char* caption, void* owner = nullptr);
#endif

    void SetSenderName(const char* name) {
        SenderName = name;
    }
    void SetCredentials(const char* user, const char* password) {
        UserName = user;
        Password = password;
    }
    void SetGreetingDomain(const char* domain) {
        GreetingDomain = domain;
    }
    void AddReceiver(const char* receiver);
    void AddPart(const char* part) {
        Parts.Append(STRING(part));
    }
    void SetDevice(BASEIO* device, EMAILCONNECTCHECK check = nullptr) {
        Device = device;
        ConnectCheck = check;
    }
    void AllowCramMd5(bool allow) {
        CramMd5Allowed = allow ? 1 : 0;
    }
    // Lets the credentials go to a server that offers no encryption or whose certificate fails the check.
    void AllowAuthInClear(bool allow) {
        AuthInClearAllowed = allow ? 1 : 0;
    }
    // A PEM file of the authorities whose certificates are trusted instead of the system's (native builds).
    void SetTrustedAuthorities(const char* cafile) {
        CaFile = cafile;
    }
    void SetTimeouts(const TIMEOUTS& timeouts) {
        Timeouts = timeouts;
    }
    // Code page of the texts, named as the character set of mails that carry text outside ASCII.
    void SetCodePage(int codepage) {
        CodePage = codepage;
    }

    const STRING& GetSender() const {
        return Sender;
    }
    const STRING& GetSubject() const {
        return Subject;
    }
    const STRING& GetSmtpHost() const {
        return SmtpHost;
    }
    const STRING& GetBody() const {
        return Body;
    }
    STRING GetReceiver() const; // the first one
    void SetSender(const char* sender) {
        Sender = sender;
    }
    void SetSubject(const char* subject) {
        Subject = subject;
    }
    void SetBody(const char* body) {
        Body = body;
    }
    void SetReceiver(const char* receiver); // replaces all receivers

    // Pieces of the message, public for their tests.
    // " +0100" for a bias of -60 minutes: the zone of the Date header.
    static STRING ZoneText(int biasminutes);
    // The multipart boundary that no part contains.
    static STRING Boundary(const STRINGARRAY& parts);
    // The subject as the header carries it: unchanged in ASCII, else RFC 2047 encoded words.
    static STRING EncodeHeaderText(const STRING& text, int codepage);
    static STRING CharsetName(int codepage);

private:
    class DIALOGUE;
    class SESSION;
    STRING DateText() const;
    // A field that must not carry CR or LF, by the name the error text gives it; null when all are clean.
    const char* FieldWithLineBreak() const;

    STRING Sender;
    STRING SenderName;
    STRING Subject;
    STRING SmtpHost;
    STRING UserName;
    STRING Password;
    STRING GreetingDomain;
    STRING Body;
    STRINGARRAY Parts;
    STRINGARRAY Receivers;
    BASEIO* Device = nullptr;
    EMAILCONNECTCHECK ConnectCheck = nullptr;
    int SentFlag = 0;
    int CramMd5Allowed = 0;
    int AuthInClearAllowed = 0;
    STRING CaFile;
    TIMEOUTS Timeouts;
    int CodePage = static_cast<int>(TEXTCODEC::ActiveCodePage());
};
