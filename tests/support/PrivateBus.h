#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A dbus-daemon of the test's own, started by the test and stopped with it. A session bus, or a
// bus of type system whose policy lets anyone own any name, so a test can play NetworkManager
// or logind. The address is exported as DBUS_SESSION_BUS_ADDRESS or DBUS_SYSTEM_BUS_ADDRESS
// before anything in the process connects.
class PrivateBus {
public:
    enum class Kind { Session, System };

    explicit PrivateBus(Kind kind);
    ~PrivateBus();

    bool isRunning() const { return !address_.isEmpty(); }
    QString address() const { return address_; }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};
