// Which file types the installation may take and give back. A package's "FileTypes" entry that names a
// type of the system (".exe", "txtfile", "CLSID" ...) is refused: registering it would take the type from
// Windows, and its uninstall would delete the system's key. Of a key that existed before the installation
// ran, the uninstall removes only the values the installation wrote; it deletes only keys it created.
#pragma once

#include "lib/strings.h"

// True for a key below HKEY_CLASSES_ROOT that belongs to the system or the shell: the extensions and
// classes of Windows' own file types, the shell's own keys ("*", "CLSID", "Directory" ...) and the URL
// protocols. Letter case and blanks around the name are ignored.
bool IsSystemFileType(const STRING& name);

// The "UninstallRootValues" record of the values written into keys that existed before: one "key;text"
// entry per default value ("|" between entries). A text that holds "|" or ";" cannot be recorded (the
// value then stays on uninstall).
class ROOTVALUES {
public:
    // False when the text cannot be recorded.
    bool Add(const STRING& key, const STRING& text);
    STRING Text() const { return List; }

private:
    STRING List{""};
};

// One entry of the record; false when it is none (no ";", an empty key).
bool ParseRootValue(const STRING& entry, STRING* key, STRING* text);
