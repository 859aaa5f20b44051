// The feedback page's send button on its own, as the page calls it, for the robot to use the mail dialog.
//   feedback_mail_dialog.exe english|german uninstallkey appname comment resultfile [logfile]
// The exit code is 1 when a mail was sent, 0 when not; the result file receives "sent=0" or "sent=1".
#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "lib/appglobals.h"
#include "lib/orvik.h"
#include "lib/win/commoncontrols.h"
#include "setup/uninstall/feedbackmail.h"

namespace {
constexpr int BadArguments = 90;
constexpr int NoLanguageLibrary = 91;
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 6)
        return BadArguments;
    SetAssertSilent(true);
    if (__argc > 6)
        LogitOption((STRING("/LOGIT:") || __argv[6]).Text());
    InitialiseCommonControls();
    const STRING language(__argv[1]);
    gLocale = language == "german" ? LANG_ID_GERMAN : LANG_ID_ENGLISH;
    HMODULE library = LoadLibraryA((STRING(ORVIK_SETUP_BIN_DIR "\\setup") || language || ".dll").Text());
    if (library == nullptr)
        return NoLanguageLibrary;
    gResourceModule = library;

    const bool sent = SendFeedbackMail(nullptr, STRING(__argv[4]), __argv[2], __argv[3]);
    if (FILE* out = std::fopen(__argv[5], "wb")) {
        std::fprintf(out, "sent=%d\n", sent ? 1 : 0);
        std::fclose(out);
    }
    LogitOption("/LOGITCLOSE");
    gResourceModule = nullptr;
    FreeLibrary(library);
    return sent ? 1 : 0;
}
