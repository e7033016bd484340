#pragma once

#include "support/TestHttpServer.h"

#include <QString>
#include <QTemporaryDir>

// A private certificate authority and a server certificate it signed for 127.0.0.1, made by the
// `openssl` command in a temporary folder; the server certificate is valid for `days` days from
// now. `error` says what failed when `ok()` is false.
class TestCertificates {
public:
    explicit TestCertificates(int days);

    // A server certificate that signed itself, as a router's or a NAS's does, for `name` (its
    // common name and its one alternative name), with a key of `keyType`: "ec" (P-256, the only
    // kind TestTlsServer serves), "rsa" or "ed25519". There is no authority.
    struct SelfSigned {
        QString name;
        QString keyType = QStringLiteral("ec");
    };
    TestCertificates(int days, const SelfSigned &selfSigned);

    bool ok() const { return error.isEmpty(); }
    QString caFile() const { return dir_.filePath(QStringLiteral("ca.pem")); }
    QString certificateFile() const { return dir_.filePath(QStringLiteral("server.pem")); }
    QString keyFile() const { return dir_.filePath(QStringLiteral("server.key")); }

    QString error;

private:
    // Runs `openssl` with the space-separated `words`, then `more` (paths, which may hold spaces).
    bool openssl(const QString &words, const QStringList &more);
    QTemporaryDir dir_;
};

// TestHttpServer's paths over HTTPS, with the given certificate.
class TestTlsServer : public TestHttpServer {
    Q_OBJECT
public:
    explicit TestTlsServer(const TestCertificates &certificates, QObject *parent = nullptr);
};
