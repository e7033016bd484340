#include "FakeNetworkManager.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace {
const QString path = QStringLiteral("/org/freedesktop/NetworkManager");
const QString name = QStringLiteral("org.freedesktop.NetworkManager");
} // namespace

FakeNetworkManager::FakeNetworkManager(const QString &address, uint state)
    : bus_(QDBusConnection::connectToBus(address, QStringLiteral("fake-networkmanager")))
    , state_(state) {
    thread_.start();
    moveToThread(&thread_);
    registered_ = bus_.registerObject(path, this, QDBusConnection::ExportAllProperties) &&
                  bus_.registerService(name);
}

FakeNetworkManager::~FakeNetworkManager() {
    bus_.unregisterService(name);
    bus_.unregisterObject(path);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-networkmanager"));
    thread_.quit();
    thread_.wait();
}

void FakeNetworkManager::setState(uint state) {
    QMetaObject::invokeMethod(
        this,
        [this, state] {
            state_ = state;
            QDBusMessage signal =
                QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("PropertiesChanged"));
            signal << name
                   << QVariantMap{{QStringLiteral("State"), state},
                                  {QStringLiteral("Connectivity"), connectivity()}}
                   << QStringList();
            bus_.send(signal);
        },
        Qt::BlockingQueuedConnection);
}
