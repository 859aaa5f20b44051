// The seam between the mail sender and the platform: the local time zone and HMAC-MD5 from the system's
// crypto library (CNG on Windows, libcrypto natively). Internal to lib/net.
#pragma once

#include "lib/strings.h"

namespace MAILPLATFORM {

// The offset of local time: bias in minutes (UTC minus local time) and the daylight bias, which counts
// only while daylight is set.
struct ZONE {
    int Bias = 0;
    int DaylightBias = 0;
    bool Daylight = false;
};
ZONE LocalZone();

// HMAC-MD5 (RFC 2104) of data under key: 16 bytes, or a null BINARY when the crypto library failed.
BINARY HmacMd5(const BINARY& key, const BINARY& data);

} // namespace MAILPLATFORM
