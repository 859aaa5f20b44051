// Process-wide application state owned by the application root and read by the whole runtime.
#pragma once

#include <cstdint>

#include "lib/strings.h"

extern STRING gAppName;     // "Application" until the root names the program
extern STRING gAppVersion;  // "0.00"
extern STRING gCompanyName; // "Orvik"
extern STRING gStartDir;    // working directory at start, "."
extern STRING gAppDir;      // application directory, "."

// User-interface language as a Windows primary language identifier.
constexpr int LANG_ID_GERMAN = 7;
constexpr int LANG_ID_ENGLISH = 9;
constexpr int LANG_ID_FRENCH = 12;
constexpr int LANG_ID_HUNGARIAN = 14;
extern int gLocale; // 9 (English)

extern uint32_t gMainThreadId;  // thread that runs the entry function
extern void* gInstance;         // the program's own module (HINSTANCE)
extern void* gResourceModule;   // module of dialogs and strings; null means the program's own module
extern bool gLanguageDllLoaded; // the language library was loaded and must be freed at exit

int GetLocale();
bool IsGerman();
