// EMAIL::SendDialog: the mail shown for a last look, sent from the dialog with the user's consent, the
// outcome in a status line and a message box.
#include "lib/net/email.h"

#include <windows.h>

#include "lib/appglobals.h"
#include "lib/approot.h"
#include "lib/net/emaildialogids.h"
#include "lib/orvik.h"
#include "lib/win/windows_win32.h"

namespace {
constexpr int FieldLimit = 128, BodyLimit = 8192;

// Connection title, connection hint, sending, sent, error prefix, error text, done.
const char* const EnglishTexts = "Internet Connection|Please press OK when an Internet connection is "
                                 "available|Sending mail ...|Your mail has "
                                 "been sent. Thank you!|Error: |An error occurred ($error)!\r\rPlease try "
                                 "the send button again or use fax/mail "
                                 "or your own email program to send the text.|Done";
const char* const GermanTexts =
    "Internet Verbindung|Bitte klicken Sie auf OK, wenn Sie eine Internetverbindung hergestellt haben.|Sende "
    "eMail "
    "...|Die eMail wurde verschickt. Vielen Dank!|Fehler: |Es ist ein Fehler aufgetreten ($error).\r\rBitte "
    "versuchen Sie es noch einmal oder schicken Sie den Text per Post, Fax oder mit Ihrem eigenen eMail "
    "Programm.|Fertig";
enum TEXT { CONNECTTITLE, CONNECTHINT, SENDING, SENT, ERRORPREFIX, ERRORTEXT, DONE };

class EMAILDIALOG : public DIALOG {
public:
    EMAILDIALOG(EMAIL& mail, int templ, HWND owner, const char* caption)
        : DIALOG(templ, owner), Mail(mail), Texts(IsGerman() ? GermanTexts : EnglishTexts) {
        if (!hWnd)
            return;
        SetText(caption);
        Field(IDC_MAIL_RECEIVER, Mail.GetReceiver(), FieldLimit);
        Field(IDC_MAIL_SENDER, Mail.GetSender(), FieldLimit);
        Field(IDC_MAIL_SUBJECT, Mail.GetSubject(), FieldLimit);
        Field(IDC_MAIL_BODY, Mail.GetBody(), BodyLimit);
        CONTROL(hWnd, IDCANCEL).SetText(IsGerman() ? "Abbruch" : "Cancel");
    }

    int Sent = 0;

private:
    STRING Text(TEXT which) const { return Texts.Word(which, "|", WORD_NOTNULL); }

    void Field(int id, const STRING& text, int limit) {
        CONTROL field(hWnd, id);
        field.SetLimit(limit);
        // The edit control wants CR LF between lines.
        STRING shown(text);
        shown.Replace("\r\n", "\n");
        shown.Replace("\n", "\r\n");
        field.SetText(shown.Text());
    }

    // The text is what the user came to write.
    int OnCreate() override {
        CONTROL(hWnd, IDC_MAIL_BODY).SetFocus();
        return 0;
    }

    int OnButton(int id) override {
        if (id == IDC_MAIL_SEND) {
            SendPressed();
            return 1;
        }
        if (id == IDCANCEL) {
            EndModal(0);
            return 1;
        }
        return 0;
    }

    // The close box counts as the cancel button, and does nothing while that one is disabled.
    int OnClose() override {
        if (CONTROL(hWnd, IDCANCEL).IsEnabled())
            EndModal(0);
        return 1;
    }

    void SendPressed() {
        CONTROL send(hWnd, IDC_MAIL_SEND), cancel(hWnd, IDCANCEL), status(hWnd, IDC_MAIL_STATUS);
        Mail.SetReceiver(CONTROL(hWnd, IDC_MAIL_RECEIVER).GetText().Text());
        Mail.SetSender(CONTROL(hWnd, IDC_MAIL_SENDER).GetText().Text());
        Mail.SetSubject(CONTROL(hWnd, IDC_MAIL_SUBJECT).GetText().Text());
        Mail.SetBody(CONTROL(hWnd, IDC_MAIL_BODY).GetText().Text());
        Mail.SetCodePage(static_cast<int>(GetACP()));
        send.Disable();
        cancel.Disable();
        LogPrintf("EMAIL::SendDialog send pressed, body length %d\n", Mail.GetBody().Length());
        if (Mail.GetBody().Length() >= 4) {
            WINORVIK::InfoMsgBox(nullptr, Text(CONNECTTITLE).Text(), Text(CONNECTHINT).Text());
            status.SetText(Text(SENDING).Text());
            char error[EMAIL::ErrorSize] = {};
            if (Mail.Send(error)) {
                status.SetText(Text(SENT).Text());
                WINORVIK::InfoMsgBox(hWnd, GetText().Text(), Text(SENT).Text());
                Sent = 1;
            } else {
                status.SetText((Text(ERRORPREFIX) || error).Text());
                STRING message = Text(ERRORTEXT);
                message.Replace("$error", error);
                WINORVIK::ErrorMsgBox(hWnd, GetText().Text(), message.Text());
                send.Enable();
            }
        }
        cancel.Enable();
        cancel.SetText(Text(DONE).Text());
    }

    EMAIL& Mail;
    STRING Texts;
};
} // namespace

int EMAIL::SendDialog(int templ, const char* caption, void* owner) {
    LogPrintf("EMAIL::SendDialog template= %d, caption= %s\n", templ, StringNullPolicy(caption, "caption"));
    EMAILDIALOG dialog(*this, templ, static_cast<HWND>(owner), caption);
    SentFlag = 0;
    if (dialog.IsValid())
        dialog.RunModal();
    SentFlag = dialog.Sent;
    LogPrintf("EMAIL::~SendDialog sent= %d\n", SentFlag);
    return SentFlag;
}
