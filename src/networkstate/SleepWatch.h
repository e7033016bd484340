#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

// Tells when the machine goes to sleep and wakes: logind's PrepareForSleep on the system bus.
// Where logind is not there, a jump of the boot-time clock (which counts sleep) past the
// monotonic one (which does not) between two looks means the machine slept in between.
class SleepWatch : public QObject {
    Q_OBJECT
public:
    // Milliseconds on the boot-time and monotonic clocks.
    using Clocks = std::function<std::pair<qint64, qint64>()>;
    static constexpr qint64 jumpThresholdMs = 5000;
    static constexpr int lookIntervalMs = 2000;

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
};
