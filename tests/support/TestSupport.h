#pragma once

#include "monitoring/Clock.h"
#include "monitoring/Host.h"
#include "monitoring/MenuBarLink.h"
#include "monitoring/TRHostController.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

// Runs the event loop until `done` holds or `ms` pass; returns whether it held.
inline bool waitUntil(const std::function<bool()> &done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// Runs the event loop for `ms`, for checks that something does not happen.
inline void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

// Empties the settings file between tests.
inline void resetSettings() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("morvane"),
                       QStringLiteral("Tarvik"));
    settings.clear();
    settings.sync();
}

class ManualClock : public Clock {
public:
    QDateTime now() const override { return now_; }
    void set(const QDateTime &at) { now_ = at; }
    void advanceMs(qint64 ms) { now_ = now_.addMSecs(ms); }

private:
    QDateTime now_ = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
};

// Records what the engine asks of the tray menu, in order.
class RecordingMenuBar : public MenuBarLink {
public:
    void updateToolTip() override { calls.push_back(QStringLiteral("updateToolTip")); }
    void setDownCount(int count) override {
        calls.push_back(QStringLiteral("setDownCount %1").arg(count));
    }
    void refreshHostItem(const Host &host) override {
        calls.push_back(QStringLiteral("refreshHostItem ") + host.string());
    }
    int count(const QString &prefix) const {
        return int(std::count_if(calls.begin(), calls.end(),
                                 [&](const QString &c) { return c.startsWith(prefix); }));
    }
    QStringList calls;
};

// An address whose name fails to resolve on any machine, without asking a resolver: its first
// label is longer than names allow (63), so the C library refuses it at once. A `.invalid` name
// resolves however the machine's resolver likes.
inline QString unresolvableAddress(char letter) {
    return QStringLiteral("http://%1.invalid/").arg(QString(64, QLatin1Char(letter)));
}

// A host as the store would hold it.
inline std::shared_ptr<Host> makeHost(const QString &name, const QString &address = QString(),
                                      bool active = true) {
    auto host =
        std::make_shared<Host>(address.isEmpty() ? QStringLiteral("http://") + name : address);
    host->setString(name);
    host->restoreIsActive(active);
    return host;
}

// Puts `host` at the end of the engine's list as if it had been stored there: not saved, not
// checked.
inline void listHost(TRHostController &engine, std::shared_ptr<Host> host) {
    HostList hosts = engine.hosts();
    hosts.push_back(std::move(host));
    engine.setHosts(std::move(hosts));
}

// What the form holds for `host` as it is now, for a test to change one field of.
inline HostEdit editOf(const Host &host) {
    return {host.address(), host.string(), host.abbreviation(), host.hasMenuBarItem()};
}
