#pragma once

#include <QDBusConnection>
#include <QObject>

// The StatusNotifierWatcher a tray host provides (KDE's panel, GNOME's AppIndicator extension),
// reduced to what tells whether a host is there, for a test's private session bus.
class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
public:
    explicit FakeStatusNotifierWatcher(const QDBusConnection &connection);

    bool isStatusNotifierHostRegistered() const { return host_; }

    // Takes the watcher's name on the bus, with or without a host; false if it cannot.
    bool appear(bool withHost);
    void leave();
    // A host registers with the watcher, or leaves it, and the watcher says so.
    void setHost(bool host);

Q_SIGNALS:
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    QDBusConnection connection_;
    bool host_ = false;
};
