#include "ServerTls.h"

#include "LoopbackHosts.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace {
std::string openSslError(const char *what) {
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return std::string(what) + ": " + text;
}

bool addExtension(X509 *certificate, X509 *issuer, int nid, const char *value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for `key` named `name`, signed by `signer` as `issuer` (itself for the
// authority), valid from an hour ago for 30 days.
X509 *makeCertificate(EVP_PKEY *key, const std::string &name, long serial, X509 *issuer,
                      EVP_PKEY *signer) {
    X509 *certificate = X509_new();
    if (!certificate)
        return nullptr;
    X509_NAME *subject = X509_get_subject_name(certificate);
    const bool authority = issuer == nullptr;
    bool ok = X509_set_version(certificate, 2) == 1 &&
              ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial) == 1 &&
              X509_gmtime_adj(X509_getm_notBefore(certificate), -3600) &&
              X509_gmtime_adj(X509_getm_notAfter(certificate), 30L * 24 * 3600) &&
              X509_set_pubkey(certificate, key) == 1 &&
              X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                         reinterpret_cast<const unsigned char *>(name.c_str()), -1,
                                         -1, 0) == 1;
    X509 *signedBy = authority ? certificate : issuer;
    ok = ok && X509_set_issuer_name(certificate, X509_get_subject_name(signedBy)) == 1;
    if (authority) {
        ok = ok && addExtension(certificate, signedBy, NID_basic_constraints, "critical,CA:TRUE") &&
             addExtension(certificate, signedBy, NID_key_usage, "critical,keyCertSign,cRLSign") &&
             addExtension(certificate, signedBy, NID_subject_key_identifier, "hash");
    } else {
        const std::string names = "IP:" + name;
        ok = ok && addExtension(certificate, signedBy, NID_basic_constraints, "CA:FALSE") &&
             addExtension(certificate, signedBy, NID_subject_alt_name, names.c_str()) &&
             addExtension(certificate, signedBy, NID_ext_key_usage, "serverAuth") &&
             addExtension(certificate, signedBy, NID_authority_key_identifier, "keyid");
    }
    ok = ok && X509_sign(certificate, signer, EVP_sha256()) > 0;
    if (!ok) {
        X509_free(certificate);
        return nullptr;
    }
    return certificate;
}
} // namespace

ServerTls::~ServerTls() {
    for (X509 *certificate : hostCertificates_)
        X509_free(certificate);
    X509_free(caCertificate_);
    EVP_PKEY_free(hostKey_);
    EVP_PKEY_free(caKey_);
    SSL_CTX_free(context_);
}

bool ServerTls::create(int hostCount, const std::string &caFile, std::string &error) {
    caKey_ = EVP_EC_gen("P-256");
    hostKey_ = EVP_EC_gen("P-256");
    if (!caKey_ || !hostKey_) {
        error = openSslError("key generation");
        return false;
    }
    caCertificate_ = makeCertificate(caKey_, "Tarvik Bench Authority", 1, nullptr, caKey_);
    if (!caCertificate_) {
        error = openSslError("the authority's certificate");
        return false;
    }
    for (int i = 0; i < hostCount; ++i) {
        X509 *certificate =
            makeCertificate(hostKey_, LoopbackHosts::dotted(i), 2 + i, caCertificate_, caKey_);
        if (!certificate) {
            error = openSslError("a host certificate");
            return false;
        }
        hostCertificates_.push_back(certificate);
    }
    const std::unique_ptr<FILE, int (*)(FILE *)> out(std::fopen(caFile.c_str(), "w"), &std::fclose);
    if (!out || PEM_write_X509(out.get(), caCertificate_) != 1) {
        error = "cannot write " + caFile;
        return false;
    }

    context_ = SSL_CTX_new(TLS_server_method());
    if (!context_ || SSL_CTX_use_PrivateKey(context_, hostKey_) != 1) {
        error = openSslError("the server context");
        return false;
    }
    // Nobody resumes (every check is a fresh connection), so tickets would be wasted work.
    SSL_CTX_set_num_tickets(context_, 0);
    SSL_CTX_set_session_cache_mode(context_, SSL_SESS_CACHE_OFF);
    return true;
}

SSL *ServerTls::accept(int fd, int host) const {
    SSL *session = SSL_new(context_);
    if (!session)
        return nullptr;
    if (SSL_use_certificate(session, hostCertificates_.at(std::size_t(host))) != 1 ||
        SSL_set_fd(session, fd) != 1) {
        SSL_free(session);
        return nullptr;
    }
    SSL_set_accept_state(session);
    return session;
}
