// TLS client under Windows: SChannel through the security support provider interface.
#include "lib/net/tlsclient.h"

#include "lib/scopedhandle.h"
#include "lib/systemlibrary.h"

#define SECURITY_WIN32
#include <windows.h>

#include <schannel.h>
#include <security.h>
#include <sspi.h>

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

class SCHANNELCLIENT : public TLSCLIENT {
public:
    explicit SCHANNELCLIENT(const char* servername)
        : Target(servername != nullptr ? servername : ""), Sspi(LoadSecurityInterface(Library)) {
        if (Sspi == nullptr)
            return;
        SCHANNEL_CRED credentials = {};
        credentials.dwVersion = SCHANNEL_CRED_VERSION;
        // TLS 1.2: its sessions need no tickets after the handshake, which the stream below does not handle.
        credentials.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
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
            return STATE::DONE;
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

std::unique_ptr<TLSCLIENT> TLSCLIENT::Create(const char* servername) {
    return std::unique_ptr<TLSCLIENT>(new SCHANNELCLIENT(servername));
}
