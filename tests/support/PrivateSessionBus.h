#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

// A session bus of the test's own: a dbus-daemon started for it and stopped with it, so tests
// never meet the desktop's bus or leave anything on it.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    // Empty when the daemon did not start.
    QString address() const { return address_; }
    // A connection of its own to the bus, under `name` (unique in the process).
    QDBusConnection connect(const QString &name) const;
    // Points DBUS_SESSION_BUS_ADDRESS here, for code that takes the session bus itself; call it
    // before anything in the process has used the session bus.
    void becomeTheSessionBus() const;

private:
    QProcess daemon_;
    QString address_;
    mutable QStringList names_;
};
