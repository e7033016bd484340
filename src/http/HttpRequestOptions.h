#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

// What a request may ask beyond a host check. The defaults are exactly a host check: a GET,
// redirects followed, the client's deadline, the body read and thrown away, the server trusted
// through the client's authorities, and http and https both allowed.
struct HttpRequestOptions {
    enum class Method { Get, Head };

    // Enough for any document the program fetches; a longer answer is someone else's mistake or a
    // hostile server, and memory stays bounded either way.
    static constexpr qsizetype defaultMaxBodyBytes = 1024 * 1024;
    // libcurl's form of a public key pin: this, then the base64 of the key's SHA-256 digest.
    static constexpr const char *pinPrefix = "sha256//";

    bool keepBody = false;
    // With keepBody, a body longer than this fails the request and nothing of it is kept.
    qsizetype maxBodyBytes = defaultMaxBodyBytes;
    // Refuses plain http for the request and for every redirect it follows.
    bool httpsOnly = false;
    // A PEM file of certificate authorities to trust instead of the system's; empty for the
    // system's.
    QByteArray caFile;

    // HEAD asks for the headers alone: nothing of a body is sent, nor looked for.
    Method method = Method::Get;
    // Extra request headers, name and value, sent as given; one named like a header the client
    // sends of its own (Accept, User-Agent) replaces it. The values are secrets (tokens,
    // passwords): no error text of the client ever holds them. A name must be an HTTP token and
    // a value may hold no line break or other control character but tab, or the request fails
    // without being sent.
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    // The request's own deadline in place of the client's; zero for the client's.
    std::chrono::milliseconds deadline{0};
    // When false the first answer is the result, a redirect included (its 3xx is the status).
    bool followRedirects = true;
    // Texts looked for in the decoded body as it arrives, in its first MiB at most (BodySearch);
    // the result says whether each was found and whether the body went on past what was read.
    // Nothing of the body is kept for them, and reading stops once every search has its answer.
    // A HEAD request has no body to search.
    std::optional<QByteArray> bodyContains;
    std::optional<QByteArray> bodyLacks;
    // "sha256//" and the base64 of the SHA-256 digest of the server's public key (its DER
    // SubjectPublicKeyInfo). With a pin the key decides alone, for every server the request
    // reaches: neither who signed the certificate nor the name in it is checked, and a key that
    // differs fails the request (HttpFailure::CertificateKeyChanged). Anything but that form fails
    // the request without sending it: libcurl would take it for a file to read.
    QByteArray pinnedPublicKey;
};
