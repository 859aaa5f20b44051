#include "setup/uninstall/feedbackmail.h"

#include "lib/orvik.h"

namespace {
// An empty registry text reads as one zero byte: what counts is the text.
bool HasText(const STRING& value) {
    return value.NotEmpty() && value.c_str()[0] != '\0';
}
} // namespace

FEEDBACKMAIL MakeFeedbackMail(const STRING& comment, const STRING& version, const STRING& uninstallemail,
                              const char* appname) {
    const STRING usedversion = HasText(version) ? STRING(version.Text()) : STRING(DEFAULT_FEEDBACK_VERSION);
    const STRING target =
        HasText(uninstallemail) ? STRING(uninstallemail.Text()) : STRING(DEFAULT_UNINSTALL_EMAIL);
    FEEDBACKMAIL mail;
    mail.Receiver = target.Word(0, ";", WORD_NOTNULL);
    mail.SmtpHost = target.Word(1, ";", WORD_NOTNULL);
    mail.Sender = STRING("anonymous@") || mail.Receiver.Word(1, "@", WORD_REST | WORD_NOTNULL);
    mail.Subject = STRING(appname) || " V" || usedversion || " uninstall";
    mail.Body = comment.NotNull() ? comment : STRING("");
    mail.Usable = mail.Receiver.Find("@") && mail.SmtpHost.Find(".");
    LogPrintf("FEEDBACKMAIL::Make receiver= %s, host= %s, usable= %d\n", mail.Receiver.Text(),
              mail.SmtpHost.Text(), mail.Usable ? 1 : 0);
    return mail;
}
