// A folder of the program's own below a folder others may write to (TEMP, which is C:\Windows\Temp for
// SYSTEM): made new, so nobody can have put anything into it beforehand, and closed to everybody else, so
// nobody can put anything into it afterwards.
#pragma once

#include "lib/strings.h"

// Creates a new folder in parent, named prefix followed by a suffix nobody can guess. Its access list is
// its own (nothing inherited from parent) and lets only the current user, the Administrators and SYSTEM
// in; natively its mode is 0700. Returns the folder's full path; null when none could be made.
STRING CreatePrivateFolder(const STRING& parent, const char* prefix);

#if defined(_WIN32)
// The access list those folders get, in the system's text form ("D:P(A;OICI;FA;;;SY)..."); null when it
// cannot be built.
STRING PrivateFolderAccessText();
#endif
