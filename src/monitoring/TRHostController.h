#pragma once

#include "http/HttpClient.h"
#include "monitoring/Host.h"
#include "monitoring/HostStore.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <set>

class Clock;
class MenuBarLink;
class StatusItem;

// The one engine: owns the host list, checks every active host over HTTP whenever more than the
// ping frequency has passed since the last round, records each result in its host and tells the
// tray what changed. Everything runs on the main thread.
class TRHostController : public QObject {
    Q_OBJECT
public:
    using Host = ::Host;

    explicit TRHostController(const Clock &clock, QObject *parent = nullptr);
    explicit TRHostController(QObject *parent = nullptr);
    ~TRHostController() override;

    // Reads the stored list, runs a first round and schedules the one-second timer. The timer is
    // scheduled even when nothing could be read, so hosts added later get timed rounds.
    void load();
    // Starts a round over every active host now.
    void ping();
    // The timer's action: a round when more than the frequency has passed since the last one, or
    // when the wall clock moved back past it.
    void tick();
    // Writes the whole list and rebuilds the menu's host rows; false when nothing was written.
    bool save();
    // Takes `hosts` as the whole list (an import handed over from the command line): saves it,
    // which rebuilds the menu, and checks it at once. False when it could not be saved.
    bool replaceHosts(HostList hosts);
    // Takes `hosts` as the whole list without storing it (a list someone else stored), and
    // checks it at once.
    void takeHosts(HostList hosts);

    std::shared_ptr<Host> addHost(const QString &address);
    // Removes the first host with this name, with its tray icon.
    void removeHost(const QString &name);
    // Removes this very host, for callers that hold the object (a menu row, a table row): with
    // two hosts of the same name, the one the user pointed at goes.
    void removeHost(const std::shared_ptr<Host> &host);
    std::shared_ptr<Host> hostNamed(const QString &name) const;
    std::shared_ptr<Host> hostWithAbbreviation(const QString &abbreviation) const;

    // Active hosts whose last check failed; unchecked hosts never count.
    int downCount() const;
    void hostStateDidChange(Host &host);
    double pingFrequency() const;

    // The list in menu and table order; reordered in place by the hosts table.
    HostList &hosts() { return hosts_; }
    const HostList &hosts() const { return hosts_; }

    QDateTime lastPingDate() const { return lastPingDate_; }
    bool isTimerScheduled() const { return timer_ != nullptr; }

    MenuBarLink *menuBarController() const { return menuBarController_; }
    void setMenuBarController(MenuBarLink *controller) { menuBarController_ = controller; }

    HttpClient &httpClient() { return http_; }

    // Per-host tray icons. Each belongs to its host object, not to its name, so two hosts that
    // share a name each keep their own icon and a click acts on the host it shows.
    void addStatusItems(const HostList &hosts);
    void updateStatusItem(Host &host);
    StatusItem *statusItem(const Host &host) const;
    void removeStatusItem(const Host &host);
    int statusItemCount() const { return int(statusItems_.size()); }

Q_SIGNALS:
    // For observers outside the tray (the command line): a round began with `requests` checks.
    void roundStarted(int round, int requests);
    void checkFinished(const Host &host, const HttpResult &result);
    void stateChanged(const Host &host);
    // Every check of round `round` has completed.
    void roundFinished(int round);
    // The list was saved: a host was added, removed, edited, moved or the list replaced.
    void hostsChanged();

private:
    void finishCheck(const std::shared_ptr<Host> &host, int round, const HttpResult &result);
    void eraseHost(HostList::iterator it);
    void countDown(int round);

    const Clock &clock_;
    std::map<const Host *, std::unique_ptr<StatusItem>> statusItems_;
    HostList hosts_;
    QDateTime lastPingDate_;
    QTimer *timer_ = nullptr;
    MenuBarLink *menuBarController_ = nullptr;
    HttpClient http_;
    int round_ = 0;
    std::map<int, int> outstanding_;  // round -> checks not yet completed
    std::set<const Host *> inFlight_; // hosts whose request has not completed
};
