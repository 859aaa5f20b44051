// Time zone and HMAC-MD5 under Windows: the system's zone information and CNG.
#include "lib/net/mailplatform.h"

#include <windows.h>

#include <bcrypt.h>

#include "lib/orvik.h"

namespace MAILPLATFORM {

namespace {
// The open algorithm provider and hash object of one computation.
class CNGHASH {
public:
    CNGHASH(const BINARY& key) {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&Algorithm, BCRYPT_MD5_ALGORITHM, nullptr,
                                                        BCRYPT_ALG_HANDLE_HMAC_FLAG)))
            Algorithm = nullptr;
        else if (!BCRYPT_SUCCESS(BCryptCreateHash(Algorithm, &Hash, nullptr, 0,
                                                  const_cast<PUCHAR>(key.Data()),
                                                  static_cast<ULONG>(key.Length()), 0)))
            Hash = nullptr;
    }
    ~CNGHASH() {
        if (Hash != nullptr)
            BCryptDestroyHash(Hash);
        if (Algorithm != nullptr)
            BCryptCloseAlgorithmProvider(Algorithm, 0);
    }
    CNGHASH(const CNGHASH&) = delete;
    CNGHASH& operator=(const CNGHASH&) = delete;

    BINARY Digest(const BINARY& data) {
        UCHAR digest[16];
        if (Hash == nullptr ||
            !BCRYPT_SUCCESS(BCryptHashData(Hash, const_cast<PUCHAR>(data.Data()),
                                           static_cast<ULONG>(data.Length()), 0)) ||
            !BCRYPT_SUCCESS(BCryptFinishHash(Hash, digest, sizeof(digest), 0))) {
            LogPrintf("MAILPLATFORM::HmacMd5 CNG failed\n");
            return BINARY();
        }
        return BINARY(digest, sizeof(digest));
    }

private:
    BCRYPT_ALG_HANDLE Algorithm = nullptr;
    BCRYPT_HASH_HANDLE Hash = nullptr;
};
} // namespace

ZONE LocalZone() {
    TIME_ZONE_INFORMATION information = {};
    const DWORD kind = GetTimeZoneInformation(&information);
    ZONE zone;
    zone.Bias = information.Bias;
    zone.DaylightBias = information.DaylightBias;
    zone.Daylight = kind == TIME_ZONE_ID_DAYLIGHT;
    return zone;
}

BINARY HmacMd5(const BINARY& key, const BINARY& data) {
    CNGHASH hash(key);
    return hash.Digest(data);
}

} // namespace MAILPLATFORM
