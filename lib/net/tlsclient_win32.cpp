// TLS client under Windows: SChannel through the security support provider interface.
#include "lib/net/tlsclient.h"

#include "lib/scopedhandle.h"
#include "lib/systemlibrary.h"

#define SECURITY_WIN32
#include <windows.h>

#include <schannel.h>
#include <security.h>
#include <sspi.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr unsigned long ContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                       ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                       ISC_REQ_MANUAL_CRED_VALIDATION;

// The interface's library is loaded by the session that needs it, not with the program: loading it starts
// every security package (Kerberos, NTLM, the TLS library), which an installation that sends no mail does not
// need to wait for.
PSecurityFunctionTableA LoadSecurityInterface(LIBRARYHANDLE& library) {
    library.reset(LoadSystemLibrary("secur32.dll"));
    if (!library)
        return nullptr;
    const auto initialise = reinterpret_cast<INIT_SECURITY_INTERFACE_A>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), SECURITY_ENTRYPOINT_ANSIA)));
    return initialise != nullptr ? initialise() : nullptr;
}

// The certificate store's chain check, from crypt32 loaded at run time: the program imports only the
// system's known libraries.
class CHAINCHECK {
public:
    CHAINCHECK() : Library(LoadSystemLibrary("crypt32.dll")) {
        if (!Library)
            return;
        Get(GetChain, "CertGetCertificateChain");
        Get(VerifyPolicy, "CertVerifyCertificateChainPolicy");
        Get(FreeChain, "CertFreeCertificateChain");
        Get(FreeCertificate, "CertFreeCertificateContext");
        Get(CreateEngine, "CertCreateCertificateChainEngine");
        Get(FreeEngine, "CertFreeCertificateChainEngine");
    }

    // Empty when certificate leads to an authority of the system's store and is valid for servername, else
    // the reason. Takes the certificate.
    std::string Check(PCCERT_CONTEXT certificate, const std::string& servername) const {
        if (FreeCertificate == nullptr)
            return "the certificate store cannot be used";
        const std::string why = GetChain == nullptr || VerifyPolicy == nullptr || FreeChain == nullptr
                                    ? std::string("the certificate store cannot be used")
                                    : CheckChain(certificate, servername);
        FreeCertificate(certificate);
        return why;
    }

private:
    template <typename FUNCTION> void Get(FUNCTION& function, const char* name) {
        function = reinterpret_cast<FUNCTION>(reinterpret_cast<void*>(GetProcAddress(Library.get(), name)));
    }

    std::string CheckChain(PCCERT_CONTEXT certificate, const std::string& servername) const {
        char* usages[] = {const_cast<char*>(szOID_PKIX_KP_SERVER_AUTH),
                          const_cast<char*>(szOID_SERVER_GATED_CRYPTO),
                          const_cast<char*>(szOID_SGC_NETSCAPE)};
        CERT_CHAIN_PARA request = {};
        request.cbSize = sizeof(request);
        request.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
        request.RequestedUsage.Usage.cUsageIdentifier = 3;
        request.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        // An engine of its own sees the trust store as it is now, not as a cached engine saw it once.
        CERT_CHAIN_ENGINE_CONFIG config = {};
        config.cbSize = sizeof(config);
        HCERTCHAINENGINE engine = nullptr;
        if (CreateEngine == nullptr || FreeEngine == nullptr || !CreateEngine(&config, &engine))
            engine = nullptr;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        const bool built = GetChain(engine, certificate, nullptr, certificate->hCertStore, &request, 0,
                                    nullptr, &chain) != FALSE;
        const DWORD error = GetLastError();
        if (engine != nullptr)
            FreeEngine(engine);
        if (!built)
            return SystemText(error);
        std::wstring name(servername.size() + 1, L'\0');
        name.resize(static_cast<size_t>(
            MultiByteToWideChar(CP_ACP, 0, servername.c_str(), -1, &name[0], static_cast<int>(name.size()))));
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA server = {};
        server.cbSize = sizeof(server);
        server.dwAuthType = AUTHTYPE_SERVER;
        server.pwszServerName = &name[0];
        CERT_CHAIN_POLICY_PARA policy = {};
        policy.cbSize = sizeof(policy);
        policy.pvExtraPolicyPara = &server;
        CERT_CHAIN_POLICY_STATUS status = {};
        status.cbSize = sizeof(status);
        const bool checked = VerifyPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) != FALSE;
        const DWORD trust = chain->TrustStatus.dwErrorStatus;
        FreeChain(chain);
        if (!checked)
            return SystemText(GetLastError());
        if (status.dwError != 0)
            return SystemText(status.dwError);
        return ChainFault(trust);
    }

    // The chain's own status, which not every policy provider looks at in full (one lets a chain that ends
    // below an unknown authority pass). Revocation is not asked for, so its bits do not count.
    static std::string ChainFault(DWORD trust) {
        trust &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
        if (trust == CERT_TRUST_NO_ERROR)
            return std::string();
        if (trust & CERT_TRUST_IS_PARTIAL_CHAIN)
            return SystemText(static_cast<DWORD>(CERT_E_CHAINING));
        if (trust & CERT_TRUST_IS_UNTRUSTED_ROOT)
            return SystemText(static_cast<DWORD>(CERT_E_UNTRUSTEDROOT));
        if (trust & CERT_TRUST_IS_NOT_TIME_VALID)
            return SystemText(static_cast<DWORD>(CERT_E_EXPIRED));
        char text[64];
        snprintf(text, sizeof(text), "the certificate chain is not valid (trust status 0x%08lx)",
                 static_cast<unsigned long>(trust));
        return text;
    }

    // The system's text with the code, which names the reason where the text is missing.
    static std::string SystemText(DWORD code) {
        char text[256] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                       sizeof(text), nullptr);
        std::string result(text);
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
            result.pop_back();
        char hex[16];
        snprintf(hex, sizeof(hex), "0x%08lx", static_cast<unsigned long>(code));
        return result.empty() ? std::string(hex) : result + " (" + hex + ")";
    }

    LIBRARYHANDLE Library;
    decltype(&CertGetCertificateChain) GetChain = nullptr;
    decltype(&CertVerifyCertificateChainPolicy) VerifyPolicy = nullptr;
    decltype(&CertFreeCertificateChain) FreeChain = nullptr;
    decltype(&CertFreeCertificateContext) FreeCertificate = nullptr;
    decltype(&CertCreateCertificateChainEngine) CreateEngine = nullptr;
    decltype(&CertFreeCertificateChainEngine) FreeEngine = nullptr;
};

class SCHANNELCLIENT : public TLSCLIENT {
public:
    SCHANNELCLIENT(const char* servername, const TLSPOLICY& policy)
        : Target(servername != nullptr ? servername : ""), Sspi(LoadSecurityInterface(Library)) {
        Policy = policy;
        if (Sspi == nullptr)
            return;
        SCHANNEL_CRED credentials = {};
        credentials.dwVersion = SCHANNEL_CRED_VERSION;
        // TLS 1.2: its sessions need no tickets after the handshake, which the stream below does not handle.
        credentials.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        // The chain is checked after the handshake (Check): a session without credentials to protect may go
        // on with a certificate that fails.
        credentials.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        TimeStamp expiry;
        HaveCredentials = Sspi->AcquireCredentialsHandleA(
                              nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                              &credentials, nullptr, nullptr, &Credentials, &expiry) == SEC_E_OK;
    }
    ~SCHANNELCLIENT() override {
        if (HaveContext)
            Sspi->DeleteSecurityContext(&Context);
        if (HaveCredentials)
            Sspi->FreeCredentialsHandle(&Credentials);
    }
    SCHANNELCLIENT(const SCHANNELCLIENT&) = delete;
    SCHANNELCLIENT& operator=(const SCHANNELCLIENT&) = delete;

    STATE Handshake(std::string& incoming, std::string& outgoing) override {
        if (!HaveCredentials)
            return Fail("no TLS credentials", SEC_E_NO_CREDENTIALS);
        SecBuffer input[2] = {{static_cast<unsigned long>(incoming.size()), SECBUFFER_TOKEN, &incoming[0]},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputs = {SECBUFFER_VERSION, 2, input};
        SecBuffer output = {0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outputs = {SECBUFFER_VERSION, 1, &output};
        unsigned long attributes = 0;
        const SECURITY_STATUS status = Sspi->InitializeSecurityContextA(
            &Credentials, HaveContext ? &Context : nullptr, Target.empty() ? nullptr : &Target[0],
            ContextFlags, 0, 0, HaveContext ? &inputs : nullptr, 0, &Context, &outputs, &attributes, nullptr);
        HaveContext = true;
        if (output.pvBuffer != nullptr) {
            outgoing.append(static_cast<const char*>(output.pvBuffer), output.cbBuffer);
            Sspi->FreeContextBuffer(output.pvBuffer);
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            return STATE::NEEDINPUT;
        // What the step did not use stays for the next one.
        if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0)
            incoming.erase(0, incoming.size() - input[1].cbBuffer);
        else
            incoming.clear();
        if (status == SEC_E_OK) {
            if (Sspi->QueryContextAttributesA(&Context, SECPKG_ATTR_STREAM_SIZES, &Sizes) != SEC_E_OK)
                return Fail("TLS stream sizes unknown", status);
            const std::string why = Check();
            return Checked(why.empty(), why) ? STATE::DONE : STATE::FAILED;
        }
        if (status == SEC_I_CONTINUE_NEEDED)
            return incoming.empty() ? STATE::NEEDINPUT : STATE::CONTINUE;
        return Fail("TLS handshake failed", status);
    }

    bool Encrypt(const void* bytes, int length, std::string& outgoing) override {
        const auto* data = static_cast<const char*>(bytes);
        for (int done = 0; done < length;) {
            const unsigned long piece = std::min<unsigned long>(length - done, Sizes.cbMaximumMessage);
            std::string record(Sizes.cbHeader + piece + Sizes.cbTrailer, '\0');
            memcpy(&record[Sizes.cbHeader], data + done, piece);
            SecBuffer buffers[4] = {
                {Sizes.cbHeader, SECBUFFER_STREAM_HEADER, &record[0]},
                {piece, SECBUFFER_DATA, &record[Sizes.cbHeader]},
                {Sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, &record[Sizes.cbHeader + piece]},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc description = {SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = Sspi->EncryptMessage(&Context, 0, &description, 0);
            if (status != SEC_E_OK) {
                Fail("TLS encryption failed", status);
                return false;
            }
            outgoing.append(record, 0, buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
            done += static_cast<int>(piece);
        }
        return true;
    }

    bool Decrypt(std::string& incoming, std::string& plain) override {
        while (!incoming.empty()) {
            SecBuffer buffers[4] = {
                {static_cast<unsigned long>(incoming.size()), SECBUFFER_DATA, &incoming[0]},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc description = {SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = Sspi->DecryptMessage(&Context, &description, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE)
                return true;
            if (status != SEC_E_OK) {
                Fail(status == SEC_I_CONTEXT_EXPIRED ? "the server closed the encrypted session"
                                                     : "TLS read failed",
                     status);
                return false;
            }
            std::string extra;
            for (const SecBuffer& buffer : buffers) {
                if (buffer.BufferType == SECBUFFER_DATA)
                    plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                else if (buffer.BufferType == SECBUFFER_EXTRA)
                    extra.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            }
            incoming.swap(extra);
        }
        return true;
    }

private:
    // Empty when the server's certificate checks out for Target, else why not.
    std::string Check() {
        if (Target.empty())
            return "no server name to check the certificate against";
        if (!Policy.CaFile.empty())
            return "a file of trusted authorities is not supported here";
        PCCERT_CONTEXT certificate = nullptr;
        if (Sspi->QueryContextAttributesA(&Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
                SEC_E_OK ||
            certificate == nullptr)
            return "the server showed no certificate";
        return CHAINCHECK().Check(certificate, Target);
    }

    STATE Fail(const char* what, SECURITY_STATUS status) {
        char text[256] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(status), 0, text, sizeof(text), nullptr);
        std::string system(text);
        while (!system.empty() && (system.back() == '\n' || system.back() == '\r' || system.back() == ' '))
            system.pop_back();
        char code[16];
        snprintf(code, sizeof(code), "%08lx", static_cast<unsigned long>(status));
        ErrorText = std::string(what) + " (" + (system.empty() ? code : system) + ")";
        return STATE::FAILED;
    }

    std::string Target;
    LIBRARYHANDLE Library;
    PSecurityFunctionTableA Sspi;
    CredHandle Credentials = {};
    CtxtHandle Context = {};
    bool HaveCredentials = false;
    bool HaveContext = false;
    SecPkgContext_StreamSizes Sizes = {};
};
} // namespace

std::unique_ptr<TLSCLIENT> TLSCLIENT::Create(const char* servername, const TLSPOLICY& policy) {
    return std::unique_ptr<TLSCLIENT>(new SCHANNELCLIENT(servername, policy));
}
