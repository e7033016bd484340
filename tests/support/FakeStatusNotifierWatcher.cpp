#include "support/FakeStatusNotifierWatcher.h"

namespace {
const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString path = QStringLiteral("/StatusNotifierWatcher");
} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(const QDBusConnection &connection)
    : connection_(connection) {}

bool FakeStatusNotifierWatcher::appear(bool withHost) {
    host_ = withHost;
    return connection_.registerObject(path, this,
                                      QDBusConnection::ExportAllProperties |
                                          QDBusConnection::ExportAllSignals) &&
           connection_.registerService(service);
}

void FakeStatusNotifierWatcher::leave() {
    connection_.unregisterService(service);
    connection_.unregisterObject(path);
}

void FakeStatusNotifierWatcher::setHost(bool host) {
    host_ = host;
    if (host)
        Q_EMIT StatusNotifierHostRegistered();
    else
        Q_EMIT StatusNotifierHostUnregistered();
}
