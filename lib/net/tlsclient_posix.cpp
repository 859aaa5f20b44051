// TLS client of the native build: libssl over memory buffers.
#include "lib/net/tlsclient.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cctype>

namespace {
class OPENSSLCLIENT : public TLSCLIENT {
public:
    explicit OPENSSLCLIENT(const char* servername) {
        Context = SSL_CTX_new(TLS_client_method());
        if (Context == nullptr)
            return;
        SSL_CTX_set_verify(Context, SSL_VERIFY_NONE, nullptr);
        Session = SSL_new(Context);
        if (Session == nullptr)
            return;
        // The session owns the two buffers from here on.
        SSL_set_bio(Session, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
        SSL_set_connect_state(Session);
        if (servername != nullptr && *servername != '\0' && isalpha(static_cast<unsigned char>(*servername)))
            SSL_set_tlsext_host_name(Session, servername);
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
            return STATE::DONE;
        if (SSL_get_error(Session, rc) == SSL_ERROR_WANT_READ)
            return STATE::NEEDINPUT;
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

    SSL_CTX* Context = nullptr;
    SSL* Session = nullptr;
};
} // namespace

std::unique_ptr<TLSCLIENT> TLSCLIENT::Create(const char* servername) {
    return std::unique_ptr<TLSCLIENT>(new OPENSSLCLIENT(servername));
}
