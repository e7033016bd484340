#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class Clock;
class Host;
class Notifier;
class TRHostController;
struct HttpResult;

// Decides when a change of a host's state is worth telling: a failure is confirmed by one more
// check before the user hears "down", a recovery replaces that same notice, changes that land
// together make one notice, and nothing is said while the machine itself is offline or asleep.
// It talks to the engine through its signals and to the desktop through a Notifier alone.
class HostAlerts : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultRecheckDelay{10000};
    // Changes that land within this of the first make one notice.
    static constexpr std::chrono::milliseconds defaultBatchDelay{1500};

    HostAlerts(TRHostController &engine, Notifier &notifier, const Clock &clock,
               QObject *parent = nullptr);
    ~HostAlerts() override;

    void setRecheckDelay(std::chrono::milliseconds delay) { recheckDelay_ = delay; }
    void setBatchDelay(std::chrono::milliseconds delay) { batchDelay_ = delay; }
    // Asked at the moment a notice would go out; on by default.
    void setEnabled(std::function<bool()> enabled) { enabled_ = std::move(enabled); }

    // "after 40 s", "after 4 min", "after 2 h 5 min".
    static QString downtime(qint64 seconds);
    // The label of what a click on a notice about `hosts` hosts opens: one host's details, or
    // the hosts window.
    static QString clickAction(size_t hosts);

Q_SIGNALS:
    // The user clicked a notice about several hosts.
    void openHostsRequested();
    // The user clicked a notice about this one host.
    void openHostRequested(const std::shared_ptr<Host> &host);

private:
    struct Watch {
        std::unique_ptr<QTimer> recheck;
        bool awaitingRecheck = false;
        bool down = false; // the user has been told it is down
        int handle = 0;    // the notice that told it
        QDateTime downSince;
    };
    struct Change {
        std::weak_ptr<Host> host;
        bool down;
        QString reason;
        QDateTime downSince;
    };

    void onCheck(const Host &host, const HttpResult &result);
    void confirmLater(const Host &host);
    void forget(const Host &host);
    void onOffline(bool offline);
    void queue(const Host &host, bool down);
    void flush();
    void tellDown(const std::vector<Change> &changes);
    void tellUp(const std::vector<Change> &changes);
    std::shared_ptr<Host> shared(const Host &host) const;
    void remember(int handle, const std::vector<Change> &changes);
    void onActivated(int handle);

    TRHostController &engine_;
    Notifier &notifier_;
    const Clock &clock_;
    std::chrono::milliseconds recheckDelay_ = defaultRecheckDelay;
    std::chrono::milliseconds batchDelay_ = defaultBatchDelay;
    std::function<bool()> enabled_;
    std::map<const Host *, Watch> watches_;
    std::map<int, std::set<const Host *>> stillDown_; // notice handle -> hosts it reports down
    std::vector<Change> pending_;
    std::map<int, std::vector<std::weak_ptr<Host>>> noticeHosts_; // handle -> hosts it names
    QTimer batch_;
};
