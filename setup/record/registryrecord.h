// The registry values the installation writes for itself: the uninstall entry, its shortcut lists and the
// file types. A value that does not reach the registry is logged with its key, so that an entry the
// uninstaller later misses can be traced; the installation goes on, as it always has.
#pragma once

#include <cstdint>

#include "lib/osys.h"

// Writes text to value (null: the key's default value) of key, whose root is named by rootname ("HKLM" ...)
// in the log. True when written.
bool WriteRecordText(REGISTRY& key, const char* rootname, const char* value, const char* text);
// True when the key name exists below HKEY_CLASSES_ROOT (in the machine's or the user's classes).
bool ClassKeyExists(const STRING& name);
// The same for a number (REG_DWORD).
bool WriteRecordNumber(REGISTRY& key, const char* rootname, const char* value, uint32_t number);
