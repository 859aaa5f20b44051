// The feedback mail of the uninstall wizard: what the feedback page's send button does. The page hands over
// the comment; the uninstall entry names the receiver and the mail host ("UninstallEmail") and the version.
#pragma once

#include "lib/strings.h"

// The maker's feedback mailbox and mail host, for an uninstall entry without "UninstallEmail".
constexpr const char* DEFAULT_UNINSTALL_EMAIL = "feedback@orvik.example;mail.orvik.example";
constexpr const char* DEFAULT_FEEDBACK_VERSION = "0.00";

// The fields of the feedback mail.
struct FEEDBACKMAIL {
    bool Usable = false; // the receiver holds "@" and the host holds "."; otherwise nothing is to be sent
    STRING Sender;
    STRING Receiver;
    STRING Subject;
    STRING Body;
    STRING SmtpHost;
};

// The mail from the comment and the uninstall entry's "Version" and "UninstallEmail" values (null or empty:
// the defaults above).
FEEDBACKMAIL MakeFeedbackMail(const STRING& comment, const STRING& version, const STRING& uninstallemail,
                              const char* appname);

#if defined(_WIN32)
// The send-button handler of the feedback page: reads the values of the uninstall entry uninstallkey (under
// HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion\Uninstall\"), builds the mail and opens the
// mail dialog over page. True when a mail was sent; false when the user sent none or the entry's
// "UninstallEmail" cannot name a receiver and a host (then no dialog opens). The dialog is template
// IDD_MAIL_DIALOG of the language library, its caption field 0 of IDS_MAIL_TEXTS.
bool SendFeedbackMail(void* page, const STRING& comment, const char* uninstallkey, const char* appname);
#endif
