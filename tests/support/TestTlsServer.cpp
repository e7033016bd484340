#include "TestTlsServer.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

TestCertificates::TestCertificates(int days) {
    if (!dir_.isValid()) {
        error = QStringLiteral("no temporary folder");
        return;
    }
    QFile extensions(dir_.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly) ||
        extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n") < 0) {
        error = QStringLiteral("cannot write the extensions file");
        return;
    }
    extensions.close();
    const QString d = dir_.path() + QLatin1Char('/');
    // P-256 keys: quick to make, so every test can have its own authority.
    openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
             QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
             QStringLiteral("-keyout"), d + QStringLiteral("ca.key"), QStringLiteral("-out"),
             caFile(), QStringLiteral("-days"), QStringLiteral("365"), QStringLiteral("-subj"),
             QStringLiteral("/CN=Tarvik Test Authority")}) &&
        openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                 QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                 QStringLiteral("-nodes"), QStringLiteral("-keyout"), keyFile(),
                 QStringLiteral("-out"), d + QStringLiteral("server.csr"), QStringLiteral("-subj"),
                 QStringLiteral("/CN=127.0.0.1")}) &&
        openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                 d + QStringLiteral("server.csr"), QStringLiteral("-CA"), caFile(),
                 QStringLiteral("-CAkey"), d + QStringLiteral("ca.key"),
                 QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QString::number(days),
                 QStringLiteral("-extfile"), extensions.fileName(), QStringLiteral("-out"),
                 certificateFile()});
}

TestCertificates::TestCertificates(int days, const SelfSigned &selfSigned) {
    if (!dir_.isValid()) {
        error = QStringLiteral("no temporary folder");
        return;
    }
    QStringList key;
    if (selfSigned.keyType == u"ec")
        key = {QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
               QStringLiteral("ec_paramgen_curve:prime256v1")};
    else if (selfSigned.keyType == u"rsa")
        key = {QStringLiteral("rsa:2048")};
    else
        key = {selfSigned.keyType};
    const QString kind =
        QHostAddress(selfSigned.name).isNull() ? QStringLiteral("DNS:") : QStringLiteral("IP:");
    openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey")} +
            key +
            QStringList{QStringLiteral("-nodes"), QStringLiteral("-keyout"), keyFile(),
                        QStringLiteral("-out"), certificateFile(), QStringLiteral("-days"),
                        QString::number(days), QStringLiteral("-subj"),
                        QStringLiteral("/CN=") + selfSigned.name, QStringLiteral("-addext"),
                        QStringLiteral("subjectAltName=") + kind + selfSigned.name});
}

bool TestCertificates::openssl(const QStringList &arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = QStringLiteral("openssl %1 failed: %2 %3")
                    .arg(arguments.value(0), process.errorString(),
                         QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

TestTlsServer::TestTlsServer(const TestCertificates &certificates, QObject *parent)
    : QObject(parent)
    , server_(new QSslServer(this)) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> chain =
        QSslCertificate::fromPath(certificates.certificateFile(), QSsl::Pem);
    QFile keyFile(certificates.keyFile());
    if (chain.isEmpty() || !keyFile.open(QIODevice::ReadOnly))
        return;
    config.setLocalCertificate(chain.first());
    config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec, QSsl::Pem));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    server_->setSslConfiguration(config);
    connect(server_, &QSslServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *plain = server_->nextPendingConnection()) {
            auto *socket = static_cast<QSslSocket *>(plain);
            socket->setParent(this);
            connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QSslSocket::readyRead, socket, [socket] {
                QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
                socket->setProperty("buffer", buffer);
                if (!buffer.contains("\r\n\r\n") || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                socket->write(
                    "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
                socket->disconnectFromHost();
            });
        }
    });
    server_->listen(QHostAddress::LocalHost);
}

TestTlsServer::~TestTlsServer() = default;

bool TestTlsServer::isListening() const {
    return server_->isListening();
}

QString TestTlsServer::url(const QString &path) const {
    return QStringLiteral("https://127.0.0.1:%1%2").arg(server_->serverPort()).arg(path);
}
