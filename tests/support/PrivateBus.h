#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A dbus-daemon of the test's own, started by the test and stopped with it. A session bus, or a
// bus of type system whose policy lets anyone own any name, so a test can play NetworkManager
// or logind. The address is exported as DBUS_SESSION_BUS_ADDRESS or DBUS_SYSTEM_BUS_ADDRESS
// before anything in the process connects.
class PrivateBus {
public:
    enum class Kind { Session, System };

    explicit PrivateBus(Kind kind = Kind::Session);
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // Why it is not running.
    QString error() const { return error_; }
    // A connection of its own to the bus, under `name` (unique in the process), as another
    // process would have; closed with the bus.
    QDBusConnection connect(const QString &name) const;

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QString error_;
    mutable QStringList names_;
};
