#include "support/PrivateSessionBus.h"

PrivateSessionBus::PrivateSessionBus() {
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--print-address")});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    if (!daemon_.waitForStarted(5000))
        return;
    // The daemon prints its address as one line once it listens.
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString &name : names_)
        QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
}

QDBusConnection PrivateSessionBus::connect(const QString &name) const {
    names_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

void PrivateSessionBus::becomeTheSessionBus() const {
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
}
