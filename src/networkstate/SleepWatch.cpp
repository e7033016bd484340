#include "networkstate/SleepWatch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <ctime>

namespace {
const QString logindService = QStringLiteral("org.freedesktop.login1");

qint64 millis(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
} // namespace

SleepWatch::SleepWatch(const QDBusConnection &systemBus, QObject *parent)
    : QObject(parent)
    , bus_(systemBus)
    , clocks_(&SleepWatch::readClocks) {
    looks_.setInterval(lookIntervalMs);
    connect(&looks_, &QTimer::timeout, this, &SleepWatch::lookAtClocks);
}

SleepWatch::~SleepWatch() = default;

std::pair<qint64, qint64> SleepWatch::readClocks() {
    return {millis(CLOCK_BOOTTIME), millis(CLOCK_MONOTONIC)};
}

void SleepWatch::setClocks(Clocks clocks) {
    clocks_ = std::move(clocks);
    last_ = clocks_();
}

void SleepWatch::start() {
    last_ = clocks_();
    looks_.start();
    if (!bus_.isConnected())
        return;
    bus_.connect(logindService, QStringLiteral("/org/freedesktop/login1"),
                 QStringLiteral("org.freedesktop.login1.Manager"),
                 QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << logindService;
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ask, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<bool> reply = *watcher;
        logind_ = logind_ || (!reply.isError() && reply.value());
    });
}

void SleepWatch::lookAtClocks() {
    const std::pair<qint64, qint64> now = clocks_();
    const qint64 slept = (now.first - last_.first) - (now.second - last_.second);
    last_ = now;
    if (logind_) {
        if (sleeping_ && now.second - sleepingSince_ >= missedWakeUpMs) {
            sleeping_ = false;
            Q_EMIT sleepingChanged(false);
        }
        return;
    }
    if (slept < jumpThresholdMs)
        return;
    // Only seen after waking: both edges at once, so requests that spanned the sleep are dropped.
    Q_EMIT sleepingChanged(true);
    Q_EMIT sleepingChanged(false);
}

void SleepWatch::onPrepareForSleep(bool sleeping) {
    logind_ = true;
    last_ = clocks_();
    if (sleeping == sleeping_)
        return; // a wake-up already concluded, or the same word twice
    sleeping_ = sleeping;
    sleepingSince_ = last_.second;
    Q_EMIT sleepingChanged(sleeping);
}
