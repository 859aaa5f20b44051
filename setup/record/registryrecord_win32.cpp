#include "setup/record/registryrecord.h"

#include <windows.h>

#include "lib/orvik.h"
#include "lib/winhandles.h"

namespace {

bool Logged(bool written, REGISTRY& key, const char* rootname, const char* value) {
    if (!written)
        LogPrintf("SETUP::WriteRecord cannot write %s\\%s value %s\n", rootname, key.GetPath().Text(),
                  value ? value : "<default>");
    return written;
}

} // namespace

bool WriteRecordText(REGISTRY& key, const char* rootname, const char* value, const char* text) {
    return Logged(key.Write(value, text), key, rootname, value);
}

bool ClassKeyExists(const STRING& name) {
    REGKEY key;
    return name.NotEmpty() &&
           RegOpenKeyExA(HKEY_CLASSES_ROOT, name.Text(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

bool WriteRecordNumber(REGISTRY& key, const char* rootname, const char* value, uint32_t number) {
    return Logged(key.Write(value, number), key, rootname, value);
}
