#include "instance/SingleInstance.h"

#include "instance/InstanceProtocol.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <memory>

namespace {
// A client that connects and then says nothing is dropped after this long.
constexpr int clientTimeoutMs = 10000;
} // namespace

SingleInstance::SingleInstance(const QString &identifier, QObject *parent)
    : QObject(parent)
    , identifier_(identifier) {}

SingleInstance::~SingleInstance() {
    // The socket goes first, so nobody reaches a server whose lock is already free.
    if (server_)
        server_->close();
    if (lock_)
        lock_->unlock();
}

SingleInstance::Claim SingleInstance::acquire(QString *error) {
    const QString lockPath = InstanceProtocol::lockPath(identifier_);
    const QString socketPath = InstanceProtocol::socketPath(identifier_);
    if (lockPath.isEmpty()) {
        if (error)
            *error = QStringLiteral("there is no runtime folder for %1").arg(identifier_);
        return Claim::Unavailable;
    }
    if (!lock_) {
        lock_ = std::make_unique<QLockFile>(lockPath);
        // Qt's default also calls a lock stale once it is 30 s old; where the file system
        // cannot hold the lock's flock, that would hand a long-running instance's lock to the
        // next start. Only a holder that is no longer running makes it stale.
        lock_->setStaleLockTime(0);
    }
    if (!lock_->isLocked() && !lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError)
            return Claim::HeldElsewhere;
        if (error)
            *error = QStringLiteral("cannot create the lock %1").arg(lockPath);
        return Claim::Unavailable;
    }
    if (server_ && server_->isListening())
        return Claim::Acquired;
    if (!server_) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *socket = server_->nextPendingConnection())
                serve(socket);
        });
    }
    // Holding the lock means any socket file there is left over from a crash.
    QLocalServer::removeServer(socketPath);
    if (!server_->listen(socketPath) && error)
        *error = QStringLiteral("cannot listen on %1: %2").arg(socketPath, server_->errorString());
    return Claim::Acquired;
}

bool SingleInstance::isListening() const {
    return server_ && server_->isListening();
}

void SingleInstance::serve(QLocalSocket *socket) {
    // The socket is the server's child; it goes away once the exchange is over or stalls.
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(clientTimeoutMs, socket, [socket] { socket->abort(); });
    struct Exchange {
        QByteArray buffer;
        bool answered = false;
    };
    auto exchange = std::make_shared<Exchange>();
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, exchange] {
        const QByteArray bytes = socket->readAll();
        // One request per connection: whatever follows it is dropped.
        if (exchange->answered)
            return;
        exchange->buffer.append(bytes);
        QByteArray command, payload;
        switch (InstanceProtocol::take(exchange->buffer, &command, &payload)) {
        case InstanceProtocol::Take::Incomplete:
            return;
        case InstanceProtocol::Take::Invalid:
            socket->abort();
            return;
        case InstanceProtocol::Take::Message:
            break;
        }
        exchange->answered = true;
        exchange->buffer.clear();
        socket->write(answer(command, payload));
        socket->disconnectFromServer();
    });
}

QByteArray SingleInstance::answer(const QByteArray &command, const QByteArray &payload) {
    if (command == InstanceProtocol::query) {
        const bool active = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
                            QGuiApplication::applicationState() == Qt::ApplicationActive;
        const QJsonObject about{
            {QStringLiteral("identifier"), identifier_},
            {QStringLiteral("active"), active},
            {QStringLiteral("pid"), QCoreApplication::applicationPid()},
        };
        return InstanceProtocol::message(InstanceProtocol::ok,
                                         QJsonDocument(about).toJson(QJsonDocument::Compact));
    }
    if (command == InstanceProtocol::activate) {
        Q_EMIT activationRequested();
        return InstanceProtocol::message(InstanceProtocol::ok, {});
    }
    if (command == InstanceProtocol::importHosts) {
        const QString why = importHandler_ ? importHandler_(payload)
                                           : QStringLiteral("this instance takes no host lists");
        return why.isEmpty() ? InstanceProtocol::message(InstanceProtocol::ok, {})
                             : InstanceProtocol::message(InstanceProtocol::refused, why.toUtf8());
    }
    return InstanceProtocol::message(InstanceProtocol::refused,
                                     "unknown request " + command.left(64));
}
