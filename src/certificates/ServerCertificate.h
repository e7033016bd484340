#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

// What a person needs to decide whether to trust a server's own certificate, and the pin that
// trusts its key: read from the PEM the handshake gave (see HttpClient::readCertificate).
struct ServerCertificate {
    // "CN=nas.home, O=Home, C=DE": the common name first, then the organisation and the place.
    // A control or formatting character a certificate may carry (a line break, a right-to-left
    // override) shows as U+FFFD, so the text reads as it is.
    QString subject;
    QString issuer;
    QDateTime notBefore; // UTC
    QDateTime notAfter;  // UTC
    // The SHA-256 digest of the whole certificate, as "AB:CD:…" (32 pairs of hex digits).
    QByteArray sha256Fingerprint;
    // libcurl's pin of the certificate's public key: "sha256//" and the base64 of the SHA-256
    // digest of its DER SubjectPublicKeyInfo, as HttpRequestOptions::pinnedPublicKey takes it.
    QByteArray publicKeyPin;

    // The certificate in `pem`, or nothing when it is not one that can be read.
    static std::optional<ServerCertificate> fromPem(const QByteArray &pem);

    // The pin of the key in a DER certificate; empty when the certificate is not well-formed DER.
    static QByteArray pinOf(QByteArrayView certificateDer);
};
