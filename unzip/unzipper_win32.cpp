#include "unzip/unzipper.h"

#include "lib/approot.h"
#include "lib/orvik.h"
#include "lib/osys.h"

#include <windows.h>

// The question of string resource 2992 (one "%s": the description or the member name), titled with 2993,
// Yes/No, owned by the active window.
bool UnzipperAskOverwrite(const STRING& subject) {
    // Filled by replacement, not printf: the format comes from a language library.
    STRING question = OSYS::GetStringFromResource(2992);
    question.Replace("%s", subject.Text());
    STRING title = OSYS::GetStringFromResource(2993);
    return WINORVIK::YesNoMsgBox(GetActiveWindow(), title.Text(), question.Text());
}
