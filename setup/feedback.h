// The send button of the uninstall wizard's feedback page: the user's comment as a mail to the maker.
#pragma once

#include <windows.h>

#include "lib/strings.h"

// Offers the comment as a mail to the feedback mailbox that the uninstall entry of keyname names, through
// the mail dialog over page. True when a mail was sent.
bool SendFeedbackMail(HWND page, const STRING& comment, const STRING& keyname, const STRING& appname);
