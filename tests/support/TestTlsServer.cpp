#include "TestTlsServer.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>

namespace {
// P-256 keys: quick to make, so every test can have its own authority.
const QString p256 = QStringLiteral("ec -pkeyopt ec_paramgen_curve:prime256v1");
} // namespace

TestCertificates::TestCertificates(int days) {
    const QString csr = dir_.filePath(QStringLiteral("server.csr"));
    const QString caKey = dir_.filePath(QStringLiteral("ca.key"));
    QFile extensions(dir_.filePath(QStringLiteral("server.ext")));
    if (!dir_.isValid() || !extensions.open(QIODevice::WriteOnly) ||
        extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n") < 0) {
        error = QStringLiteral("cannot write the extensions file");
        return;
    }
    extensions.close();
    openssl(QStringLiteral("req -x509 -nodes -days 365 -subj /CN=Tarvik-Test-Authority -newkey ") +
                p256,
            {QStringLiteral("-keyout"), caKey, QStringLiteral("-out"), caFile()}) &&
        openssl(QStringLiteral("req -nodes -subj /CN=127.0.0.1 -newkey ") + p256,
                {QStringLiteral("-keyout"), keyFile(), QStringLiteral("-out"), csr}) &&
        openssl(QStringLiteral("x509 -req -CAcreateserial -days ") + QString::number(days),
                {QStringLiteral("-in"), csr, QStringLiteral("-CA"), caFile(),
                 QStringLiteral("-CAkey"), caKey, QStringLiteral("-extfile"), extensions.fileName(),
                 QStringLiteral("-out"), certificateFile()});
}

TestCertificates::TestCertificates(int days, const SelfSigned &selfSigned) {
    const QString key = selfSigned.keyType == u"ec"    ? p256
                        : selfSigned.keyType == u"rsa" ? QStringLiteral("rsa:2048")
                                                       : selfSigned.keyType;
    const QString kind =
        QHostAddress(selfSigned.name).isNull() ? QStringLiteral("DNS:") : QStringLiteral("IP:");
    openssl(QStringLiteral("req -x509 -nodes -days ") + QString::number(days) +
                QStringLiteral(" -newkey ") + key,
            {QStringLiteral("-keyout"), keyFile(), QStringLiteral("-out"), certificateFile(),
             QStringLiteral("-subj"), QStringLiteral("/CN=") + selfSigned.name,
             QStringLiteral("-addext"),
             QStringLiteral("subjectAltName=") + kind + selfSigned.name});
}

bool TestCertificates::openssl(const QString &words, const QStringList &more) {
    if (!dir_.isValid()) {
        error = QStringLiteral("no temporary folder");
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), words.split(u' ') + more);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = QStringLiteral("openssl %1 failed: %2 %3")
                    .arg(words, process.errorString(), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

namespace {
QSslServer *serving(const TestCertificates &certificates) {
    auto *server = new QSslServer;
    const QList<QSslCertificate> chain =
        QSslCertificate::fromPath(certificates.certificateFile(), QSsl::Pem);
    QFile key(certificates.keyFile());
    if (chain.isEmpty() || !key.open(QIODevice::ReadOnly))
        return server;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(chain.first());
    config.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    server->setSslConfiguration(config);
    return server;
}
} // namespace

TestTlsServer::TestTlsServer(const TestCertificates &certificates, QObject *parent)
    : TestHttpServer(serving(certificates), "https", parent) {}
