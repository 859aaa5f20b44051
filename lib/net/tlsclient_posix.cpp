// TLS client of the native build: libssl over memory buffers.
#include "lib/net/tlsclient.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace {
class OPENSSLCLIENT : public TLSCLIENT {
public:
    OPENSSLCLIENT(const char* servername, const TLSPOLICY& policy)
        : Target(servername != nullptr ? servername : "") {
        Policy = policy;
        Context = SSL_CTX_new(TLS_client_method());
        if (Context == nullptr)
            return;
        TrustLoaded = Policy.CaFile.empty()
                          ? SSL_CTX_set_default_verify_paths(Context) == 1
                          : SSL_CTX_load_verify_locations(Context, Policy.CaFile.c_str(), nullptr) == 1;
        // Without the requirement the chain is still checked and its result kept (see Check).
        SSL_CTX_set_verify(Context, Policy.RequireVerified ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
        Session = SSL_new(Context);
        if (Session == nullptr)
            return;
        // The session owns the two buffers from here on.
        SSL_set_bio(Session, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
        SSL_set_connect_state(Session);
        if (Target.empty())
            return;
        unsigned char address[16];
        const bool numeric = inet_pton(AF_INET, Target.c_str(), address) == 1 ||
                             inet_pton(AF_INET6, Target.c_str(), address) == 1;
        X509_VERIFY_PARAM* check = SSL_get0_param(Session);
        if (numeric) {
            NameSet = X509_VERIFY_PARAM_set1_ip_asc(check, Target.c_str()) == 1;
        } else {
            X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            NameSet = SSL_set1_host(Session, Target.c_str()) == 1;
            SSL_set_tlsext_host_name(Session, Target.c_str());
        }
    }
    ~OPENSSLCLIENT() override {
        if (Session != nullptr)
            SSL_free(Session);
        if (Context != nullptr)
            SSL_CTX_free(Context);
    }
    OPENSSLCLIENT(const OPENSSLCLIENT&) = delete;
    OPENSSLCLIENT& operator=(const OPENSSLCLIENT&) = delete;

    STATE Handshake(std::string& incoming, std::string& outgoing) override {
        if (Session == nullptr)
            return Fail("no TLS session");
        Put(incoming);
        const int rc = SSL_do_handshake(Session);
        Take(outgoing);
        if (rc == 1)
            return Checked(Check(), CheckText) ? STATE::DONE : STATE::FAILED;
        if (SSL_get_error(Session, rc) == SSL_ERROR_WANT_READ)
            return STATE::NEEDINPUT;
        const long result = SSL_get_verify_result(Session);
        if (Policy.RequireVerified && result != X509_V_OK) {
            ERR_clear_error();
            Checked(false, X509_verify_cert_error_string(result));
            return STATE::FAILED;
        }
        return Fail("TLS handshake failed");
    }

    bool Encrypt(const void* bytes, int length, std::string& outgoing) override {
        if (length > 0 && SSL_write(Session, bytes, length) != length) {
            Fail("TLS write failed");
            return false;
        }
        Take(outgoing);
        return true;
    }

    bool Decrypt(std::string& incoming, std::string& plain) override {
        Put(incoming);
        char buffer[16384];
        for (;;) {
            const int got = SSL_read(Session, buffer, sizeof(buffer));
            if (got > 0) {
                plain.append(buffer, static_cast<size_t>(got));
                continue;
            }
            const int error = SSL_get_error(Session, got);
            if (error == SSL_ERROR_WANT_READ)
                return true;
            Fail(error == SSL_ERROR_ZERO_RETURN ? "the server closed the encrypted session"
                                                : "TLS read failed");
            return false;
        }
    }

private:
    // Whether the certificate the server showed leads to a trusted authority and names Target.
    bool Check() {
        if (!TrustLoaded) {
            CheckText = "the trusted authorities could not be read";
            return false;
        }
        if (Target.empty() || !NameSet) {
            CheckText = "no server name to check the certificate against";
            return false;
        }
        X509* peer = SSL_get1_peer_certificate(Session);
        if (peer == nullptr) {
            CheckText = "the server showed no certificate";
            return false;
        }
        X509_free(peer);
        const long result = SSL_get_verify_result(Session);
        if (result != X509_V_OK) {
            CheckText = X509_verify_cert_error_string(result);
            return false;
        }
        return true;
    }

    void Put(std::string& incoming) {
        if (!incoming.empty())
            BIO_write(SSL_get_rbio(Session), incoming.data(), static_cast<int>(incoming.size()));
        incoming.clear();
    }
    void Take(std::string& outgoing) {
        char buffer[16384];
        for (int got; (got = BIO_read(SSL_get_wbio(Session), buffer, sizeof(buffer))) > 0;)
            outgoing.append(buffer, static_cast<size_t>(got));
    }
    STATE Fail(const char* what) {
        char detail[256] = {};
        const unsigned long code = ERR_get_error();
        if (code != 0)
            ERR_error_string_n(code, detail, sizeof(detail));
        ErrorText = what;
        if (detail[0] != '\0')
            ErrorText += std::string(": ") + detail;
        ERR_clear_error();
        return STATE::FAILED;
    }

    std::string Target;
    std::string CheckText;
    bool TrustLoaded = false;
    bool NameSet = false;
    SSL_CTX* Context = nullptr;
    SSL* Session = nullptr;
};
} // namespace

std::unique_ptr<TLSCLIENT> TLSCLIENT::Create(const char* servername, const TLSPOLICY& policy) {
    return std::unique_ptr<TLSCLIENT>(new OPENSSLCLIENT(servername, policy));
}
