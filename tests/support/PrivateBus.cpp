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
        out.write(
            config(system ? QStringLiteral("system") : QStringLiteral("session"), dir_.path())) < 0)
        return;
    out.close();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + file, QStringLiteral("--print-address"),
                   QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
    if (!daemon_.waitForStarted(5000))
        return;
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (!address_.isEmpty())
        qputenv(system ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
}

PrivateBus::~PrivateBus() {
    daemon_.terminate();
    if (!daemon_.waitForFinished(2000))
        daemon_.kill();
    daemon_.waitForFinished(1000);
}
