#include "instance/SingleInstance.h"

#include "instance/InstanceProtocol.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <memory>

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A client that connects and then says nothing is dropped after this long.
constexpr int clientTimeoutMs = 10000;
// A starting holder writes its lock's contents right after creating it; an empty or garbled lock
// younger than this may still be such a start.
constexpr qint64 unconfirmedLockGraceMs = 2000;

bool somebodyAnswers(const QString &socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    const bool connected = socket.waitForConnected(500);
    socket.abort();
    return connected;
}
} // namespace

bool SingleInstance::removeUnconfirmedLock(const QString &lockPath, const QString &socketPath) {
    // A lock that names its holder is judged by the lock file itself (is that process alive?).
    qint64 pid = 0;
    QString host, application;
    if (lock_->getLockInfo(&pid, &host, &application))
        return false;
    const QByteArray path = QFile::encodeName(lockPath);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat held = {}, named = {};
    bool removed = false;
    // A holder keeps the file flock'ed for its whole life, so a lock nobody holds, that is past
    // a start's first moments and whose socket nobody answers on, was left by a holder that
    // died before it wrote who it is.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
        QDateTime::fromSecsSinceEpoch(held.st_mtim.tv_sec)
                .addMSecs(held.st_mtim.tv_nsec / 1000000)
                .msecsTo(QDateTime::currentDateTimeUtc()) > unconfirmedLockGraceMs &&
        !somebodyAnswers(socketPath) && ::stat(path.constData(), &named) == 0 &&
        named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
        removed = ::unlink(path.constData()) == 0;
    }
    ::close(fd);
    if (removed)
        std::fprintf(stderr, "tarvik: took over the lock %s, which named no holder\n",
                     path.constData());
    return removed;
}

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
    if (!lock_->isLocked() && !lock_->tryLock(0) &&
        !(lock_->error() == QLockFile::LockFailedError &&
          removeUnconfirmedLock(lockPath, socketPath) && lock_->tryLock(0))) {
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
    // Each connection's bytes count against one budget for all of them: each may send up to a
    // whole message, but many at once must not grow the instance without end.
    struct Exchange {
        explicit Exchange(std::shared_ptr<qsizetype> total)
            : buffered(std::move(total)) {}
        ~Exchange() { release(); }
        Exchange(const Exchange &) = delete;
        Exchange &operator=(const Exchange &) = delete;
        void release() {
            *buffered -= buffer.size();
            buffer = QByteArray();
        }
        std::shared_ptr<qsizetype> buffered;
        QByteArray buffer;
        bool answered = false;
    };
    auto exchange = std::make_shared<Exchange>(buffered_);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, exchange] {
        const QByteArray bytes = socket->readAll();
        // One request per connection: whatever follows it is dropped.
        if (exchange->answered)
            return;
        if (*buffered_ + bytes.size() > InstanceProtocol::maxBufferedBytes) {
            exchange->release();
            exchange->answered = true;
            socket->abort();
            return;
        }
        *buffered_ += bytes.size();
        exchange->buffer.append(bytes);
        QByteArray command, payload;
        const qsizetype before = exchange->buffer.size();
        const InstanceProtocol::Take taken =
            InstanceProtocol::take(exchange->buffer, &command, &payload);
        *buffered_ -= before - exchange->buffer.size();
        switch (taken) {
        case InstanceProtocol::Take::Incomplete:
            return;
        case InstanceProtocol::Take::Invalid:
            exchange->release();
            exchange->answered = true;
            socket->abort();
            return;
        case InstanceProtocol::Take::Message:
            break;
        }
        exchange->answered = true;
        exchange->release();
        socket->write(answer(command, payload));
        socket->disconnectFromServer();
    });
}

QByteArray SingleInstance::answer(const QByteArray &command, const QByteArray &payload) {
    if (command == InstanceProtocol::query) {
        const bool active = isActive_ && isActive_();
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
