#include "monitoring/TRHostController.h"

#include "http/CheckRequest.h"
#include "http/UrlParser.h"
#include "monitoring/Clock.h"
#include "monitoring/HostCheckStore.h"
#include "monitoring/HostName.h"
#include "monitoring/HostOutcomeStore.h"
#include "monitoring/HostStatusItem.h"
#include "monitoring/HostStatusItemFactory.h"
#include "monitoring/MenuBarLink.h"
#include "networkstate/LocalAddress.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cstdio>
#include <utility>

TRHostController::TRHostController(const Clock &clock, QObject *parent)
    : QObject(parent)
    , clock_(clock)
    , lastPingDate_(clock.now())
    , http_(this) {
    resumeTimer_.setSingleShot(true);
    connect(&resumeTimer_, &QTimer::timeout, this, [this] {
        if (!isOffline())
            ping();
    });
    // A first round changes every host at once; one write covers them all.
    outcomeSaveTimer_.setSingleShot(true);
    outcomeSaveTimer_.setInterval(500);
    connect(&outcomeSaveTimer_, &QTimer::timeout, this, [this] { HostOutcomeStore::save(hosts_); });
}

TRHostController::TRHostController(QObject *parent)
    : TRHostController(Clock::system(), parent) {}

TRHostController::~TRHostController() {
    if (outcomeSaveTimer_.isActive())
        HostOutcomeStore::save(hosts_);
}

void TRHostController::load() {
    if (std::optional<HostList> stored = HostStore::readStoredHosts()) {
        if (remembersOutcomes_)
            HostOutcomeStore::restore(*stored);
        setHosts(std::move(*stored));
        ping();
    }
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TRHostController::tick);
    timer_->start();
}

double TRHostController::pingFrequency() const {
    return Settings::pingFrequency();
}

void TRHostController::tick() {
    // Back from sleep or offline, the one round comes after the resume delay, however long the
    // last round is past.
    if (asleep_ || resumeTimer_.isActive())
        return;
    const QDateTime now = clock_.now();
    const qint64 elapsedMs = lastPingDate_.msecsTo(now);
    if (elapsedMs < 0 || double(elapsedMs) / 1000.0 > pingFrequency())
        ping();
}

void TRHostController::ping() {
    lastPingDate_ = clock_.now();
    startRound();
    // After the round is counted, so the tooltip can say how many checks it waits for.
    if (menuBarController_)
        menuBarController_->updateToolTip();
}

void TRHostController::startRound() {
    if (asleep_)
        return;
    // Offline, only hosts on this machine can answer; a round with nothing to check is not one.
    const bool localOnly = reachability_ == Reachability::Offline;
    std::vector<std::shared_ptr<Host>> checked;
    for (const std::shared_ptr<Host> &host : hosts_)
        // A host still waiting for its last answer gets no second request: its result will
        // come, and requests stay at one per host however short the frequency.
        if (host->isActive() && !inFlight_.contains(host.get()) &&
            (!localOnly || isOnThisMachine(host->address())))
            checked.push_back(host);
    if (localOnly && checked.empty())
        return;

    const int round = ++round_;
    Round &state = rounds_[round];
    state.requests = state.outstanding = int(checked.size());
    for (const std::shared_ptr<Host> &host : checked) {
        if (!isOnThisMachine(host->address()))
            ++state.remote;
        const quint64 serial = ++lastSerial_;
        inFlight_[host.get()] = serial;
        request(host, [this, host, round, serial](const HttpResult &result) {
            finishCheck(host, round, serial, result);
        });
    }
    Q_EMIT roundStarted(round, state.requests);
    if (state.requests == 0)
        QTimer::singleShot(0, this, [this, round] { countDown(round); });
}

void TRHostController::request(const std::shared_ptr<Host> &host,
                               std::function<void(const HttpResult &)> done) {
    if (UrlParser::isWebAddress(host->address())) {
        const CheckOptions &options = host->checkOptions();
        // A host without options sends exactly the plain request, on the client's own deadline.
        if (options.hasAnyOption())
            http_.get(host->address().toUtf8(), CheckRequest::options(options), std::move(done));
        else
            http_.get(host->address().toUtf8(), std::move(done));
        return;
    }
    // Only http and https are requested; anything else is down without a request.
    HttpResult result;
    result.error = QStringLiteral("not an http or https address");
    result.failure = HttpFailure::NotWebAddress;
    QTimer::singleShot(0, this, [done = std::move(done), result] { done(result); });
}

void TRHostController::recheck(const std::shared_ptr<Host> &host) {
    if (!host || isOffline() || !host->isActive() || inFlight_.contains(host.get()))
        return;
    const quint64 serial = ++lastSerial_;
    inFlight_[host.get()] = serial;
    request(host, [this, host, serial](const HttpResult &result) {
        if (settle(host.get(), serial) && !isAwayFrom(*host))
            applyResult(host, result);
    });
}

void TRHostController::addressEdited(const std::shared_ptr<Host> &host) {
    if (!host)
        return;
    Q_EMIT addressChanged(*host);
    // How the old address answered says nothing about how slow the new one is.
    if (host->resetSlowness())
        hostStateDidChange(*host);
    // Waiting for the old address could take the whole deadline; its answer is let go instead.
    inFlight_.erase(host.get());
    recheck(host);
}

bool TRHostController::settle(const Host *host, quint64 serial) {
    const auto it = inFlight_.find(host);
    if (it == inFlight_.end() || it->second != serial)
        return false;
    inFlight_.erase(it);
    return true;
}

void TRHostController::finishCheck(const std::shared_ptr<Host> &host, int round, quint64 serial,
                                   const HttpResult &result) {
    const bool current = settle(host.get(), serial);
    const auto it = rounds_.find(round);
    if (it == rounds_.end())
        return; // dropped when the machine went to sleep
    if (!current || isAwayFrom(*host)) {
        // The answer of an address the host no longer has, or one that came in after the
        // network went away: either says nothing about the host.
        countDown(round);
        return;
    }
    if (reachability_ == Reachability::Unknown && !result.ok && isNetworkLevel(result.failure) &&
        !isOnThisMachine(host->address()))
        it->second.heldBack.emplace_back(host, result);
    else
        applyResult(host, result);
    countDown(round);
}

bool TRHostController::setCheckOptions(const std::shared_ptr<Host> &host,
                                       const CheckOptions &options) {
    if (!host || options.problem())
        return false;
    host->setCheckOptions(options);
    // Answers judged by the old limit say nothing about the new one.
    if (host->resetSlowness())
        hostStateDidChange(*host);
    const bool saved = save();
    Q_EMIT hostChanged(*host);
    inFlight_.erase(host.get());
    recheck(host);
    return saved;
}

void TRHostController::applyResult(const std::shared_ptr<Host> &host, const HttpResult &answer) {
    const CheckOptions &options = host->checkOptions();
    const CheckVerdict verdict = CheckVerdict::judge(options, CheckRequest::answer(answer));
    // Without options the verdict only adds which default failed; the result stays the client's.
    const HttpResult result =
        options.hasAnyOption() ? CheckRequest::judged(answer, verdict) : answer;
    host->setLastRequestDuration(result.seconds);
    // An answer without a certificate means plain http now; a failure before any answer says
    // nothing new about the certificate, so the last known expiry stays.
    if (result.certificateExpiry || result.status)
        host->setCertificateExpiry(result.certificateExpiry);
    const HostOutcome outcome = host->lastOutcome().next(result, verdict, clock_.now());
    const bool outcomeChanged = outcome != host->lastOutcome();
    host->setLastOutcome(outcome);
    const bool slowChanged = host->recordSlowness(verdict.up, verdict.slow, verdict.reason);
    updateStatusItem(*host);
    Q_EMIT checkFinished(*host, result);
    if (host->isReachable() != result.ok || slowChanged) {
        host->setIsReachable(result.ok);
        hostStateDidChange(*host);
    } else if (outcomeChanged && menuBarController_) {
        // Still down, for another reason: the row's line says so.
        menuBarController_->refreshHostItem(*host);
    }
    if (outcomeChanged && remembersOutcomes_ && !outcomeSaveTimer_.isActive())
        outcomeSaveTimer_.start();
}

void TRHostController::countDown(int round) {
    auto it = rounds_.find(round);
    if (it == rounds_.end())
        return;
    if (--it->second.outstanding <= 0) {
        Round finished = std::move(it->second);
        rounds_.erase(it);
        judgeRound(finished);
        Q_EMIT roundFinished(round);
    }
}

void TRHostController::judgeRound(Round &round) {
    const bool wasOffline = isOffline();
    const bool onlyNetworkFailures = round.remote > 0 && int(round.heldBack.size()) == round.remote;
    if (reachability_ == Reachability::Unknown && onlyNetworkFailures && networkQuestion_) {
        reachability_ = networkQuestion_();
        if (reachability_ != Reachability::Unknown)
            judgedOffline_ = false;
        // The answer decides this round: offline, its failures say nothing about the hosts.
        if (reachability_ == Reachability::Offline)
            round.heldBack.clear();
    }
    if (reachability_ == Reachability::Unknown) {
        // Two hosts are the least that can tell "the network is gone" from "one host is".
        const bool offline = round.remote >= 2 && int(round.heldBack.size()) == round.remote;
        if (offline)
            round.heldBack.clear();
        if (round.remote > 0)
            judgedOffline_ = offline;
    }
    for (auto &[host, result] : round.heldBack)
        applyResult(host, result);
    setAway(wasOffline);
}

bool TRHostController::isAwayFrom(const Host &host) const {
    return asleep_ || (reachability_ == Reachability::Offline && !isOnThisMachine(host.address()));
}

bool TRHostController::isOffline() const {
    return asleep_ || reachability_ == Reachability::Offline ||
           (reachability_ == Reachability::Unknown && judgedOffline_);
}

void TRHostController::setAway(bool wasOffline) {
    const bool offline = isOffline();
    if (offline == wasOffline)
        return;
    if (menuBarController_)
        menuBarController_->updateToolTip();
    Q_EMIT offlineChanged(offline);
}

void TRHostController::setReachability(Reachability reachability) {
    const bool wasOffline = isOffline();
    reachability_ = reachability;
    if (reachability != Reachability::Unknown)
        judgedOffline_ = false;
    setAway(wasOffline);
    if (wasOffline && !isOffline())
        resumeTimer_.start(resumeDelay_);
}

void TRHostController::setAsleep(bool asleep) {
    if (asleep == asleep_)
        return;
    const bool wasOffline = isOffline();
    asleep_ = asleep;
    if (asleep_) {
        // Whatever is in flight would come back with the time spent asleep in it.
        resumeTimer_.stop();
        http_.abortAll();
        inFlight_.clear();
        std::map<int, Round> dropped;
        dropped.swap(rounds_);
        for (const auto &entry : dropped)
            Q_EMIT roundFinished(entry.first);
    }
    setAway(wasOffline);
    if (wasOffline && !isOffline())
        resumeTimer_.start(resumeDelay_);
}

int TRHostController::checksOutstanding() const {
    const auto it = rounds_.find(round_);
    return it == rounds_.end() ? 0 : it->second.outstanding;
}

int TRHostController::checksInRound() const {
    const auto it = rounds_.find(round_);
    return it == rounds_.end() ? 0 : it->second.requests;
}

void TRHostController::hostStateDidChange(Host &host) {
    if (menuBarController_) {
        menuBarController_->setDownCount(downCount());
        menuBarController_->refreshHostItem(host);
    }
    if (HostStatusItem *item = statusItem(host))
        item->showState();
    Q_EMIT stateChanged(host);
}

int TRHostController::downCount() const {
    return int(std::count_if(hosts_.begin(), hosts_.end(), [](const auto &host) {
        return host->isActive() && host->isReachable() == false;
    }));
}

bool TRHostController::save() {
    const std::optional<QByteArray> json = HostStore::encode(hosts_);
    if (!json)
        return false;
    const bool written = HostStore::writeEncoded(*json) && HostCheckStore::save(hosts_);
    if (!written)
        std::fprintf(stderr, "tarvik: could not write the host list to %s\n",
                     Settings::fileName().toLocal8Bit().constData());
    return written;
}

int TRHostController::indexOf(const Host *host) const {
    for (size_t i = 0; i < hosts_.size(); ++i)
        if (hosts_[i].get() == host)
            return int(i);
    return -1;
}

bool TRHostController::replaceHosts(HostList hosts) {
    // The list is switched only once it is stored: a tray showing a list it could not save
    // would write its own over it later, or lose it at the next start.
    const std::optional<QByteArray> json = HostStore::encode(hosts);
    if (!json || !HostStore::writeEncoded(*json) || !HostCheckStore::save(hosts))
        return false;
    takeHosts(std::move(hosts));
    return true;
}

void TRHostController::takeHosts(HostList hosts) {
    setHosts(std::move(hosts));
    ping();
}

void TRHostController::setHosts(HostList hosts) {
    const HostList previous = std::exchange(hosts_, std::move(hosts));
    for (const auto &host : previous)
        letGo(*host);
    adopt(hosts_);
    // A host the new list still holds keeps its item; the others' items go.
    std::map<const Host *, std::unique_ptr<HostStatusItem>> items = std::move(statusItems_);
    statusItems_.clear();
    for (const std::shared_ptr<Host> &host : hosts_) {
        const auto it = items.find(host.get());
        if (it != items.end() && host->hasMenuBarItem())
            statusItems_[host.get()] = std::move(it->second);
        else
            addStatusItems({host});
    }
    Q_EMIT hostsReplaced(previous);
}

bool TRHostController::addHost(const std::shared_ptr<Host> &host) {
    if (!host || indexOf(host.get()) >= 0)
        return false;
    host->setEngine(this);
    hosts_.push_back(host);
    addStatusItems({host});
    if (menuBarController_)
        menuBarController_->setDownCount(downCount());
    Q_EMIT hostAdded(host, int(hosts_.size()) - 1);
    ping();
    return save();
}

std::shared_ptr<Host> TRHostController::addHost(const QString &address) {
    auto host = std::make_shared<Host>(address);
    addHost(host);
    return host;
}

void TRHostController::removeHost(const QString &name) {
    eraseHost(std::find_if(hosts_.begin(), hosts_.end(),
                           [&](const auto &host) { return sameHostName(host->string(), name); }));
}

void TRHostController::removeHost(const std::shared_ptr<Host> &host) {
    eraseHost(std::find(hosts_.begin(), hosts_.end(), host));
}

void TRHostController::eraseHost(HostList::iterator it) {
    if (it == hosts_.end())
        return;
    removeStatusItem(**it);
    const std::shared_ptr<Host> removed = *it;
    const int index = int(it - hosts_.begin());
    hosts_.erase(it);
    letGo(*removed);
    if (menuBarController_)
        menuBarController_->setDownCount(downCount());
    Q_EMIT hostRemoved(*removed, index);
    save();
}

bool TRHostController::updateHost(const std::shared_ptr<Host> &host, const HostEdit &edit) {
    if (!host || indexOf(host.get()) < 0)
        return false;
    const bool addressEdited = host->address() != edit.address;
    const bool hadItem = host->hasMenuBarItem();
    edit.applyTo(*host);
    // Tray icons belong to their host object, so a rename needs no re-keying.
    if (host->hasMenuBarItem() && !statusItem(*host))
        addStatusItems({host});
    else if (!host->hasMenuBarItem() && hadItem)
        removeStatusItem(*host);
    else
        updateStatusItem(*host);
    const bool written = save();
    if (menuBarController_)
        menuBarController_->refreshHostItem(*host);
    Q_EMIT hostChanged(*host);
    // What was known of the old address says nothing of the new one.
    if (addressEdited)
        this->addressEdited(host);
    return written;
}

bool TRHostController::moveHost(const std::shared_ptr<Host> &listed, int to) {
    // A copy: `listed` may be the very element of the list that is about to move.
    const std::shared_ptr<Host> host = listed;
    const int from = host ? indexOf(host.get()) : -1;
    if (from < 0)
        return false;
    to = std::clamp(to, 0, int(hosts_.size()) - 1);
    if (to == from)
        return true;
    // The listed object moves: tray icons, an open form and requests in flight all hold it.
    hosts_.erase(hosts_.begin() + from);
    hosts_.insert(hosts_.begin() + to, host);
    Q_EMIT hostMoved(*host, from, to);
    return save();
}

void TRHostController::activeDidChange(Host &host) {
    if (indexOf(&host) < 0)
        return;
    save();
    hostStateDidChange(host);
    Q_EMIT hostChanged(host);
    if (host.isActive())
        ping();
}

void TRHostController::addStatusItems(const HostList &hosts) {
    if (!statusItemFactory_)
        return;
    for (const std::shared_ptr<Host> &host : hosts) {
        if (!host->hasMenuBarItem())
            continue;
        statusItems_[host.get()] = statusItemFactory_->makeStatusItem(host);
        updateStatusItem(*host);
    }
}

void TRHostController::updateStatusItem(Host &host) {
    if (HostStatusItem *item = statusItem(host))
        item->refresh();
}

HostStatusItem *TRHostController::statusItem(const Host &host) const {
    const auto it = statusItems_.find(&host);
    return it == statusItems_.end() ? nullptr : it->second.get();
}

void TRHostController::removeStatusItem(const Host &host) {
    statusItems_.erase(&host);
}

void TRHostController::adopt(const HostList &hosts) {
    for (const std::shared_ptr<Host> &host : hosts)
        if (host->engine() != this)
            host->setEngine(this);
}

void TRHostController::letGo(Host &host) {
    if (host.engine() == this)
        host.setEngine(nullptr);
}

std::shared_ptr<Host> TRHostController::hostNamed(const QString &name) const {
    for (const auto &host : hosts_)
        if (sameHostName(host->string(), name))
            return host;
    return nullptr;
}

std::shared_ptr<Host> TRHostController::hostWithAbbreviation(const QString &abbreviation) const {
    for (const auto &host : hosts_)
        if (host->abbreviation() && sameHostName(*host->abbreviation(), abbreviation))
            return host;
    return nullptr;
}
