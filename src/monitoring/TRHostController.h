#pragma once

#include "http/HttpClient.h"
#include "monitoring/Host.h"
#include "monitoring/HostEdit.h"
#include "monitoring/HostStore.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <vector>

class Clock;
class HostStatusItem;
class HostStatusItemFactory;
class MenuBarLink;

// The one engine: owns the host list, checks every active host over HTTP whenever more than the
// ping frequency has passed since the last round, records each result in its host and tells the
// tray what changed. Everything runs on the main thread.
class TRHostController : public QObject {
    Q_OBJECT
public:
    using Host = ::Host;
    // What the machine's network watch says. Unknown (no watch, or one that cannot tell) lets the
    // engine judge by itself: a round in which every host failed at the network level means this
    // machine is offline, not that every host is down.
    enum class Reachability { Unknown, Online, Offline };
    // After the network comes back or the machine wakes, it gets this long to settle.
    static constexpr std::chrono::milliseconds defaultResumeDelay{3000};

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
    // Writes the whole list as it is, saying on stderr when it could not; false when nothing
    // was written.
    bool save();
    // Takes `hosts` as the whole list (an import handed over from the command line): saves it
    // and checks it at once. False, with the list kept, when it could not be saved.
    bool replaceHosts(HostList hosts);
    // Takes `hosts` as the whole list without storing it (a list someone else stored), and
    // checks it at once.
    void takeHosts(HostList hosts);
    // Takes `hosts` as the whole list without storing or checking it.
    void setHosts(HostList hosts);

    // The list's own changes. Each saves the list and announces exactly that change; the menu,
    // the hosts table, histories, notices and status items follow the announcement.
    //
    // Appends `host` (a new one, or one the form puts back after it was removed meanwhile),
    // gives it its status item when it wants one, and checks the list at once. False when the
    // host is already listed or the list could not be written (the host stays listed then).
    bool addHost(const std::shared_ptr<Host> &host);
    std::shared_ptr<Host> addHost(const QString &address);
    // Removes the first host with this name, with its tray icon.
    void removeHost(const QString &name);
    // Removes this very host, for callers that hold the object (a menu row, a table row): with
    // two hosts of the same name, the one the user pointed at goes.
    void removeHost(const std::shared_ptr<Host> &host);
    // Gives a listed host what the form holds; its status item comes, goes or is redrawn to
    // match. A new address is checked at once (see addressEdited). False when the host is not
    // listed (nothing changes) or the list could not be written.
    bool updateHost(const std::shared_ptr<Host> &host, const HostEdit &edit);
    // Moves a listed host so that it ends up at `to` (clamped to the list). False when the host
    // is not listed or the list could not be written; a move to where it is changes nothing.
    bool moveHost(const std::shared_ptr<Host> &host, int to);
    // The user's switch on a listed host (Host::setIsActive): saves, announces the change and
    // refreshes its displays, and checks the list when the host became active.
    void activeDidChange(Host &host);

    std::shared_ptr<Host> hostNamed(const QString &name) const;
    std::shared_ptr<Host> hostWithAbbreviation(const QString &abbreviation) const;

    // Active hosts whose last check failed; unchecked hosts never count.
    int downCount() const;
    void hostStateDidChange(Host &host);
    double pingFrequency() const;

    // The list in menu and table order. It changes only through the operations above.
    const HostList &hosts() const { return hosts_; }

    QDateTime lastPingDate() const { return lastPingDate_; }
    bool isTimerScheduled() const { return timer_ != nullptr; }

    MenuBarLink *menuBarController() const { return menuBarController_; }
    void setMenuBarController(MenuBarLink *controller) { menuBarController_ = controller; }

    HttpClient &httpClient() { return http_; }

    // One more request for `host` outside the rounds (a failure being confirmed); its result is
    // applied like any other. Nothing while the machine is offline or asleep.
    void recheck(const std::shared_ptr<Host> &host);
    // The user gave `host` another address: what was known of the old one no longer holds.
    // Observers hear of it, and the new address is checked at once; an answer still on its way
    // for the old address is ignored when it comes.
    void addressEdited(const std::shared_ptr<Host> &host);

    // Gives `host` these check options: stores them with the list, announces the host changed and
    // checks it at once by them (an answer still on its way, asked by the old options, is ignored
    // when it comes).
    // Options with a problem are not taken (false, nothing changes); false too when the list
    // could not be written, though the host keeps the options for this run.
    bool setCheckOptions(const std::shared_ptr<Host> &host, const CheckOptions &options);

    // The machine's state, from the network and sleep watches. While offline only hosts on this
    // machine are checked, and results for the others that arrive meanwhile are dropped; while
    // asleep nothing is checked and requests in flight are dropped. Coming back starts one round
    // after the resume delay, and no timed round before it.
    void setReachability(Reachability reachability);
    void setAsleep(bool asleep);
    Reachability reachability() const { return reachability_; }
    // Asked, while the state is Unknown, at the end of a round in which every check that needed
    // the network failed at the network level: whether this machine is online. Its answer counts
    // for that round and after, as setReachability's would. Lets the command line load the
    // network watch only when a round needs it.
    void setNetworkQuestion(std::function<Reachability()> question) {
        networkQuestion_ = std::move(question);
    }
    bool isAsleep() const { return asleep_; }
    // Offline by the watch, by the engine's own judgement, or asleep: the tray's offline look.
    bool isOffline() const;
    void setResumeDelay(std::chrono::milliseconds delay) { resumeDelay_ = delay; }

    // Checks of the latest round still to answer, and how many it started; 0 of 0 between
    // rounds.
    int checksOutstanding() const;
    int checksInRound() const;

    // The tray keeps each host's last outcome across restarts; the command line only reads.
    void setRemembersOutcomes(bool remembers) { remembersOutcomes_ = remembers; }

    // Per-host status items (tray icons). Each belongs to its host object, not to its name, so
    // two hosts that share a name each keep their own item and a click acts on the host it
    // shows. They are made by the factory the tray gives; without one (the command line, the
    // server) no host gets an item. The factory is not owned and must outlive the engine's items.
    void setStatusItemFactory(HostStatusItemFactory *factory) { statusItemFactory_ = factory; }
    void addStatusItems(const HostList &hosts);
    void updateStatusItem(Host &host);
    HostStatusItem *statusItem(const Host &host) const;
    void removeStatusItem(const Host &host);
    int statusItemCount() const { return int(statusItems_.size()); }

Q_SIGNALS:
    // For observers outside the tray (the command line): a round began with `requests` checks.
    void roundStarted(int round, int requests);
    // A check of `host` ended. `result` is as the host's check options read it (see
    // CheckRequest::judged): `ok` is up; the host's last outcome, already set, says which
    // expectation failed and whether the answer was slow.
    void checkFinished(const Host &host, const HttpResult &result);
    // The host went up, down or unchecked, or into or out of slow.
    void stateChanged(const Host &host);
    // Every check of round `round` has completed.
    void roundFinished(int round);
    // `host` was put into the list at `index`.
    void hostAdded(const std::shared_ptr<Host> &host, int index);
    // What the user sees of a listed host changed (its fields, its switch).
    void hostChanged(const Host &host);
    // A listed host went from `from` to `to`; `to` counts in the list as it is now.
    void hostMoved(const Host &host, int from, int to);
    // The whole list was replaced (read at start, an import); `previous` held before.
    void hostsReplaced(const HostList &previous);
    // The machine went offline or asleep (true), or is back (false).
    void offlineChanged(bool offline);
    // The host left the list from `index`; it is still alive while the signal runs.
    void hostRemoved(const Host &host, int index);
    // The host was given another address (see addressEdited).
    void addressChanged(const Host &host);

private:
    struct Round {
        int requests = 0;
        int outstanding = 0;
        int remote = 0; // requests to hosts that need the network
        // Network-level failures held back until the round shows whether the network itself
        // is gone.
        std::vector<std::pair<std::shared_ptr<Host>, HttpResult>> heldBack;
    };

    void finishCheck(const std::shared_ptr<Host> &host, int round, quint64 serial,
                     const HttpResult &result);
    // Whether request `serial` is the host's latest; if so the host has no request in flight
    // any more.
    bool settle(const Host *host, quint64 serial);
    void startRound();
    void applyResult(const std::shared_ptr<Host> &host, const HttpResult &result);
    void judgeRound(Round &round);
    // Asleep, or offline by the watch and the host needs the network: a result for it now
    // would be about this machine, not the host.
    bool isAwayFrom(const Host &host) const;
    void setAway(bool wasOffline);
    void request(const std::shared_ptr<Host> &host, std::function<void(const HttpResult &)> done);
    void eraseHost(HostList::iterator it);
    int indexOf(const Host *host) const;
    // Links every listed host back to this engine, for the user's switch on it.
    void adopt(const HostList &hosts);
    // Unlinks a host the list no longer holds.
    void letGo(Host &host);
    void countDown(int round);

    const Clock &clock_;
    HostStatusItemFactory *statusItemFactory_ = nullptr;
    std::map<const Host *, std::unique_ptr<HostStatusItem>> statusItems_;
    HostList hosts_;
    QDateTime lastPingDate_;
    QTimer *timer_ = nullptr;
    MenuBarLink *menuBarController_ = nullptr;
    HttpClient http_;
    int round_ = 0;
    // Hosts whose latest request has not completed, with that request's serial.
    std::map<const Host *, quint64> inFlight_;
    quint64 lastSerial_ = 0;
    std::map<int, Round> rounds_; // rounds with checks not yet completed
    Reachability reachability_ = Reachability::Unknown;
    std::function<Reachability()> networkQuestion_;
    bool asleep_ = false;
    bool judgedOffline_ = false;
    bool remembersOutcomes_ = false;
    std::chrono::milliseconds resumeDelay_ = defaultResumeDelay;
    QTimer resumeTimer_;
    QTimer outcomeSaveTimer_;
};
