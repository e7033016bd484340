#pragma once

#include <string>
#include <vector>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;
typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

// The https side of the benchmark's server: a certificate authority made for the run and, for
// each loopback host, a certificate it signed naming that host's address (as a real server's
// names its host), all on P-256 keys so the server's side of a handshake stays cheap. The
// authority's certificate is written out for the clients to trust.
class ServerTls {
public:
    ServerTls() = default;
    ~ServerTls();
    ServerTls(const ServerTls &) = delete;
    ServerTls &operator=(const ServerTls &) = delete;

    // Makes the authority and `hostCount` host certificates and writes the authority's
    // certificate to `caFile`; false with `error` set on failure.
    bool create(int hostCount, const std::string &caFile, std::string &error);
    // A server-side session on the accepted socket `fd` of host `host`; null on failure.
    SSL *accept(int fd, int host) const;

private:
    SSL_CTX *context_ = nullptr;
    EVP_PKEY *caKey_ = nullptr;
    EVP_PKEY *hostKey_ = nullptr;
    X509 *caCertificate_ = nullptr;
    std::vector<X509 *> hostCertificates_;
};
