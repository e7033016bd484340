#include "traypresence/TrayPresence.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QSystemTrayIcon>

namespace {
QString watcherName() {
    return QString::fromLatin1(TrayPresence::watcherService);
}
} // namespace

TrayPresence::TrayPresence(EmbeddedTrayProbe embeddedTray, const QDBusConnection &bus,
                           QObject *parent)
    : QObject(parent)
    , embeddedTray_(std::move(embeddedTray))
    , bus_(bus) {
    poll_.setInterval(embeddedTrayPollMs);
    connect(&poll_, &QTimer::timeout, this, &TrayPresence::pollEmbeddedTray);
}

TrayPresence::TrayPresence(QObject *parent)
    : TrayPresence(&QSystemTrayIcon::isSystemTrayAvailable, QDBusConnection::sessionBus(), parent) {
}

TrayPresence::~TrayPresence() = default;

void TrayPresence::start() {
    if (started_)
        return;
    started_ = true;
    if (bus_.isConnected()) {
        // A watcher that starts, restarts or goes away changes the answer; so does a host
        // registering with it or leaving it.
        serviceWatcher_ = new QDBusServiceWatcher(watcherName(), bus_,
                                                  QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(serviceWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                &TrayPresence::reevaluate);
        for (const char *signal :
             {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
            bus_.connect(watcherName(), QString::fromLatin1(watcherPath), watcherName(),
                         QString::fromLatin1(signal), this, SLOT(reevaluate()));
    }
    poll_.start();
    // From the event loop, so whoever started it has connected to the answer.
    QMetaObject::invokeMethod(this, &TrayPresence::reevaluate, Qt::QueuedConnection);
}

void TrayPresence::reevaluate() {
    const quint64 question = ++question_;
    embeddedSeen_ = embeddedTray_ && embeddedTray_();
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
                // No watcher, or one that cannot say, means no host to show the icon.
                const QDBusPendingReply<QDBusVariant> reply = *finished;
                settle(!reply.isError() && reply.value().variant().toBool());
            });
}

void TrayPresence::settle(bool statusNotifierHost) {
    const bool shown = embeddedSeen_ || statusNotifierHost;
    if (shown_ == shown)
        return;
    shown_ = shown;
    Q_EMIT trayShownChanged(shown);
}

void TrayPresence::pollEmbeddedTray() {
    if (embeddedTray_ && embeddedTray_() != embeddedSeen_)
        reevaluate();
}
