// Natively there is no minidump writer: the crash level is kept for the log switches, nothing is caught.
#include "lib/crashhandler_platform.h"
#include "lib/orvik.h"

namespace CRASHPLATFORM {

void Install() {
    static bool told = false;
    if (!told)
        LogPrintf("ORVIKAPP crash dumps are written on Windows only\n");
    told = true;
}

void Release() {}

} // namespace CRASHPLATFORM
