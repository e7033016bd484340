#include "PrivateBus.h"

#include <QFile>

namespace {
QByteArray config(const QString &type, const QString &dir) {
    return QStringLiteral(
               R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>%1</type>
  <listen>unix:dir=%2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)")
        .arg(type, dir)
        .toUtf8();
}
} // namespace

PrivateBus::PrivateBus(Kind kind) {
    const bool system = kind == Kind::System;
    const QString file = dir_.filePath(QStringLiteral("bus.conf"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(config(system ? QStringLiteral("system") : QStringLiteral("session"),
                         dir_.path())) < 0) {
        error_ = QStringLiteral("the bus configuration could not be written");
        return;
    }
    out.close();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + file, QStringLiteral("--print-address"),
                   QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
    if (!daemon_.waitForStarted(5000)) {
        error_ = QStringLiteral("dbus-daemon did not start: ") + daemon_.errorString();
        return;
    }
    // The daemon prints its address as one line once it listens.
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty())
        error_ = QStringLiteral("dbus-daemon printed no address");
    else
        qputenv(system ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
}

QDBusConnection PrivateBus::connect(const QString &name) const {
    names_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

PrivateBus::~PrivateBus() {
    for (const QString &name : names_)
        QDBusConnection::disconnectFromBus(name);
    daemon_.terminate();
    if (!daemon_.waitForFinished(2000))
        daemon_.kill();
    daemon_.waitForFinished(1000);
}
