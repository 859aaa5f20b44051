#include "setup/interaction.h"

#include "lib/orvik.h"

void QUIETINTERACTION::SetProgress(int percent) {
    // Every tenth percent is enough to follow a long run in the log.
    if (percent / 10 == LastLoggedPercent / 10)
        return;
    LastLoggedPercent = percent;
    LogPrintf("SETUP::Quiet progress %d%%\n", percent);
}

void QUIETINTERACTION::SetStatus(const char* text) {
    LogPrintf("SETUP::Quiet status: %s\n", text ? text : "");
}

bool QUIETINTERACTION::AskYesNo(const char* title, const char* question, bool defaultanswer) {
    LogPrintf("SETUP::Quiet question '%s': %s -> %s (default)\n", title ? title : "",
              question ? question : "", defaultanswer ? "yes" : "no");
    return defaultanswer;
}

void QUIETINTERACTION::ReportError(const char* title, const char* text) {
    LogPrintf("SETUP::Quiet error '%s': %s\n", title ? title : "", text ? text : "");
}
