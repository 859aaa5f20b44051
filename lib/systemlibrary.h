// Libraries of the system, loaded from the system folder only. The program's folder (a download folder) may
// hold libraries anybody put there. Free of lib/strings.h, for code that includes the security headers.
#pragma once

#if defined(_WIN32)
struct HINSTANCE__;

// Makes the system folder the only place a library loaded by name comes from. Called first thing in the
// process.
void RestrictLibrarySearch();
// A library of the system loaded from the system folder (name without a path); null when it is not there.
HINSTANCE__* LoadSystemLibrary(const char* name);
#endif
