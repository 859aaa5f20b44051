#include "setup/registryrecord.h"

#include "lib/orvik.h"

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

bool WriteRecordNumber(REGISTRY& key, const char* rootname, const char* value, uint32_t number) {
    return Logged(key.Write(value, number), key, rootname, value);
}
