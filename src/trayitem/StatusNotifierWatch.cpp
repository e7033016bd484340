#include "trayitem/StatusNotifierWatch.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QPointer>

namespace {
QString watcherName() {
    return QString::fromLatin1(StatusNotifierWatch::watcherService);
}

QDBusConnection connectTo(const QString &address, const QString &name) {
    return address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                             : QDBusConnection::connectToBus(address, name);
}

int connections = 0;
} // namespace

StatusNotifierWatch &StatusNotifierWatch::session() {
    static QPointer<StatusNotifierWatch> session;
    if (!session)
        session = new StatusNotifierWatch(QString(), QCoreApplication::instance());
    return *session;
}

StatusNotifierWatch::StatusNotifierWatch(const QString &address, QObject *parent)
    : QObject(parent)
    , address_(address)
    , connectionName_(QStringLiteral("tarvik-tray-watch-%1").arg(++connections))
    , bus_(connectTo(address, connectionName_)) {
    if (bus_.isConnected()) {
        // A watcher that starts, restarts or goes away changes the answer; so does a host
        // registering with it or leaving it.
        serviceWatcher_ = new QDBusServiceWatcher(watcherName(), bus_,
                                                  QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(serviceWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &, const QString &newOwner) {
                    if (!newOwner.isEmpty())
                        Q_EMIT watcherStarted();
                    reevaluate();
                });
        for (const char *signal :
             {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
            bus_.connect(watcherName(), QString::fromLatin1(watcherPath), watcherName(),
                         QString::fromLatin1(signal), this, SLOT(reevaluate()));
    }
    // From the event loop, so whoever made it has connected to the answer.
    QMetaObject::invokeMethod(this, &StatusNotifierWatch::reevaluate, Qt::QueuedConnection);
}

StatusNotifierWatch::~StatusNotifierWatch() {
    QDBusConnection::disconnectFromBus(connectionName_);
}

QDBusConnection StatusNotifierWatch::connectItem(const QString &name) const {
    return connectTo(address_, name);
}

void StatusNotifierWatch::reevaluate() {
    const quint64 question = ++question_;
    if (!bus_.isConnected()) {
        settle(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcherName(), QString::fromLatin1(watcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << watcherName() << QStringLiteral("IsStatusNotifierHostRegistered");
    auto *pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (question != question_)
                    return;
                // No watcher, or one that cannot say, means no host to show an item.
                const QDBusPendingReply<QDBusVariant> reply = *finished;
                settle(!reply.isError() && reply.value().variant().toBool());
            });
}

void StatusNotifierWatch::settle(bool host) {
    if (host_ == host)
        return;
    host_ = host;
    Q_EMIT hostRegisteredChanged(host);
}
