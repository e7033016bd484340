#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

// Tells when the machine goes to sleep and wakes: logind's PrepareForSleep on the system bus.
// Where logind is not there, a jump of the boot-time clock (which counts sleep) past the
// monotonic one (which does not) between two looks means the machine slept in between.
//
// A "going to sleep" from logind that is never followed by "awake" (a suspend that failed, a
// signal lost) must not stop the checks for good. A machine that is asleep runs no process, and
// the monotonic clock stands still while it sleeps; so once that clock has run on for
// missedWakeUpMs since "going to sleep", the machine has been awake all that while, and the
// watch says so itself.
class SleepWatch : public QObject {
    Q_OBJECT
public:
    // Milliseconds on the boot-time and monotonic clocks.
    using Clocks = std::function<std::pair<qint64, qint64>()>;
    static constexpr qint64 jumpThresholdMs = 5000;
    static constexpr int lookIntervalMs = 2000;
    // Far longer than logind lets a suspend wait on the programs delaying it (5 s by default).
    static constexpr qint64 missedWakeUpMs = 30000;

    explicit SleepWatch(const QDBusConnection &systemBus = QDBusConnection::systemBus(),
                        QObject *parent = nullptr);
    ~SleepWatch() override;

    // Subscribes to logind and starts looking at the clocks.
    void start();
    void setClocks(Clocks clocks);
    // One look at the clocks, as the timer makes every two seconds.
    void lookAtClocks();
    // Whether logind answered for sleep; until then the clocks decide.
    bool hasLogind() const { return logind_; }
    // Between logind's "going to sleep" and the wake-up, heard or concluded.
    bool isSleeping() const { return sleeping_; }

Q_SIGNALS:
    // true going to sleep, false on waking.
    void sleepingChanged(bool sleeping);

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);

private:
    static std::pair<qint64, qint64> readClocks();

    QDBusConnection bus_;
    Clocks clocks_;
    std::pair<qint64, qint64> last_{};
    QTimer looks_;
    bool logind_ = false;
    bool sleeping_ = false;
    qint64 sleepingSince_ = 0; // on the monotonic clock
};
