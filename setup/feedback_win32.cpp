#include "setup/feedback.h"

#include "lib/orvik.h"

bool SendFeedbackMail(HWND, const STRING& comment, const STRING& keyname, const STRING&) {
    LogPrintf(
        "SETUP::SendFeedbackMail %s: the mail sender is not part of this build, %d characters not sent\n",
        keyname.Text(), comment.Length());
    return false;
}
