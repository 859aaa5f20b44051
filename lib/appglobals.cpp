#include "lib/appglobals.h"

STRING gAppName("Application");
STRING gAppVersion("0.00");
STRING gCompanyName("Orvik");
STRING gStartDir(".");
STRING gAppDir(".");
int gLocale = LANG_ID_ENGLISH;
uint32_t gMainThreadId = 0;
void* gInstance = nullptr;
void* gResourceModule = nullptr;
bool gLanguageDllLoaded = false;

int GetLocale() {
    return gLocale;
}

bool IsGerman() {
    return gLocale == LANG_ID_GERMAN;
}
