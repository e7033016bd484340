#include "FakeNotificationServer.h"

#include <QDBusMessage>

namespace {
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString name = QStringLiteral("org.freedesktop.Notifications");
} // namespace

FakeNotificationServer::FakeNotificationServer(const QString &address, QStringList capabilities)
    : bus_(QDBusConnection::connectToBus(address, QStringLiteral("fake-notifications")))
    , capabilities_(std::move(capabilities)) {
    registered_ = bus_.registerObject(path, this, QDBusConnection::ExportAllSlots) &&
                  bus_.registerService(name);
}

FakeNotificationServer::~FakeNotificationServer() {
    bus_.unregisterService(name);
    bus_.unregisterObject(path);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
}

uint FakeNotificationServer::Notify(const QString &app, uint replaces, const QString &,
                                    const QString &summary, const QString &body,
                                    const QStringList &actions, const QVariantMap &hints, int) {
    const uint id = replaces ? replaces : ++lastId_;
    notifies.push_back({app, replaces, summary, body, actions, hints, id});
    return id;
}

void FakeNotificationServer::CloseNotification(uint id) {
    closed.push_back(id);
    QDBusMessage signal =
        QDBusMessage::createSignal(path, name, QStringLiteral("NotificationClosed"));
    signal << id << uint(3);
    bus_.send(signal);
}

QStringList FakeNotificationServer::GetCapabilities() {
    return capabilities_;
}

void FakeNotificationServer::invokeAction(uint id, const QString &key) {
    QDBusMessage signal = QDBusMessage::createSignal(path, name, QStringLiteral("ActionInvoked"));
    signal << id << key;
    bus_.send(signal);
}
