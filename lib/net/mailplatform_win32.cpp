// Time zone and HMAC-MD5 under Windows: the system's zone information and CNG.
#include "lib/net/mailplatform.h"

#include <windows.h>

#include <bcrypt.h>

#include "lib/orvik.h"
#include "lib/osys.h"

namespace MAILPLATFORM {

namespace {
// CNG's entry points, from the library in the system folder: imported, the library would be loaded with the
// program from wherever the loader looks first, the program's own folder included.
struct CNG {
    decltype(&BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
    decltype(&BCryptCloseAlgorithmProvider) CloseAlgorithmProvider = nullptr;
    decltype(&BCryptCreateHash) CreateHash = nullptr;
    decltype(&BCryptDestroyHash) DestroyHash = nullptr;
    decltype(&BCryptHashData) HashData = nullptr;
    decltype(&BCryptFinishHash) FinishHash = nullptr;

    explicit CNG(HMODULE library) {
        if (library == nullptr)
            return;
        Find(library, "BCryptOpenAlgorithmProvider", OpenAlgorithmProvider);
        Find(library, "BCryptCloseAlgorithmProvider", CloseAlgorithmProvider);
        Find(library, "BCryptCreateHash", CreateHash);
        Find(library, "BCryptDestroyHash", DestroyHash);
        Find(library, "BCryptHashData", HashData);
        Find(library, "BCryptFinishHash", FinishHash);
    }
    bool Complete() const {
        return OpenAlgorithmProvider && CloseAlgorithmProvider && CreateHash && DestroyHash && HashData &&
               FinishHash;
    }

private:
    template <typename F> static void Find(HMODULE library, const char* name, F& function) {
        function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    }
};

// The open algorithm provider and hash object of one computation.
class CNGHASH {
public:
    CNGHASH(const BINARY& key) : Library(LoadSystemLibrary("bcrypt.dll")), Api(Library.get()) {
        if (!Api.Complete()) {
            LogPrintf("MAILPLATFORM::HmacMd5 no CNG in the system folder\n");
            return;
        }
        if (!BCRYPT_SUCCESS(Api.OpenAlgorithmProvider(&Algorithm, BCRYPT_MD5_ALGORITHM, nullptr,
                                                      BCRYPT_ALG_HANDLE_HMAC_FLAG)))
            Algorithm = nullptr;
        else if (!BCRYPT_SUCCESS(Api.CreateHash(Algorithm, &Hash, nullptr, 0, const_cast<PUCHAR>(key.Data()),
                                                static_cast<ULONG>(key.Length()), 0)))
            Hash = nullptr;
    }
    ~CNGHASH() {
        if (Hash != nullptr)
            Api.DestroyHash(Hash);
        if (Algorithm != nullptr)
            Api.CloseAlgorithmProvider(Algorithm, 0);
    }
    CNGHASH(const CNGHASH&) = delete;
    CNGHASH& operator=(const CNGHASH&) = delete;

    BINARY Digest(const BINARY& data) {
        UCHAR digest[16];
        if (Hash == nullptr ||
            !BCRYPT_SUCCESS(
                Api.HashData(Hash, const_cast<PUCHAR>(data.Data()), static_cast<ULONG>(data.Length()), 0)) ||
            !BCRYPT_SUCCESS(Api.FinishHash(Hash, digest, sizeof(digest), 0))) {
            LogPrintf("MAILPLATFORM::HmacMd5 CNG failed\n");
            return BINARY();
        }
        return BINARY(digest, sizeof(digest));
    }

private:
    LIBRARYHANDLE Library;
    CNG Api;
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
