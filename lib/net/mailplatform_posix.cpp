// Time zone and HMAC-MD5 of the native build: the C library and libcrypto.
#include "lib/net/mailplatform.h"

#include <ctime>

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace MAILPLATFORM {

ZONE LocalZone() {
    const time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    // tm_gmtoff already includes daylight saving time.
    ZONE zone;
    zone.Bias = static_cast<int>(-local.tm_gmtoff / 60);
    return zone;
}

BINARY HmacMd5(const BINARY& key, const BINARY& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    static const unsigned char nothing = 0;
    if (HMAC(EVP_md5(), key.Length() > 0 ? key.Data() : &nothing, key.Length(),
             data.Length() > 0 ? data.Data() : &nothing, static_cast<size_t>(data.Length()), digest,
             &length) == nullptr)
        return BINARY();
    return BINARY(digest, static_cast<int>(length));
}

} // namespace MAILPLATFORM
