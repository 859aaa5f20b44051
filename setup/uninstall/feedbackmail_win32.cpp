// The feedback page's send button: the uninstall entry's values, the mail and its dialog.
#include "setup/uninstall/feedbackmail.h"

#include "lib/net/email.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "setup/record/installrecord.h"
#include "setup/res/messages.h"

bool SendFeedbackMail(void* page, const STRING& comment, const char* uninstallkey, const char* appname) {
    STRING version, target;
    REGISTRY entry(REGISTRY::LocalMachine(), "", (STRING(UNINSTALL_BASE_KEY) || uninstallkey).Text(),
                   REGISTRY::MODE_READ);
    if (entry.IsOpen()) {
        entry.Read("Version", version);
        entry.Read("UninstallEmail", target);
    }
    const FEEDBACKMAIL fields = MakeFeedbackMail(comment, version, target, appname);
    if (!fields.Usable)
        return false;
    EMAIL mail(fields.Sender.Text(), fields.Receiver.Text(), fields.Subject.Text(), fields.Body.Text(),
               fields.SmtpHost.Text());
    const STRING caption = OSYS::GetStringFromResource(IDS_MAIL_TEXTS).Word(0, "|", WORD_NOTNULL);
    return mail.SendDialog(IDD_MAIL_DIALOG, caption.Text(), page) == 1;
}
