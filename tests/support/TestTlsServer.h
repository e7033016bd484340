#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <optional>

class QSslServer;

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
    bool openssl(const QStringList &arguments);
    QTemporaryDir dir_;
};

// An HTTPS server on 127.0.0.1 on the test's own event loop, with the given certificate; every
// request is answered "200 ok" and the connection closed.
class TestTlsServer : public QObject {
    Q_OBJECT
public:
    explicit TestTlsServer(const TestCertificates &certificates, QObject *parent = nullptr);
    ~TestTlsServer() override;

    bool isListening() const;
    QString url(const QString &path) const;

private:
    QSslServer *server_;
};
