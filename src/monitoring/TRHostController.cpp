#include "monitoring/TRHostController.h"

#include "http/UrlParser.h"
#include "monitoring/Clock.h"
#include "monitoring/HostName.h"
#include "monitoring/HostStatusItemFace.h"
#include "monitoring/MenuBarLink.h"
#include "settings/Settings.h"
#include "trayitem/StatusItem.h"

#include <algorithm>
#include <cstdio>

TRHostController::TRHostController(const Clock &clock, QObject *parent)
    : QObject(parent)
    , clock_(clock)
    , lastPingDate_(clock.now())
    , http_(this) {}

TRHostController::TRHostController(QObject *parent)
    : TRHostController(Clock::system(), parent) {}

TRHostController::~TRHostController() = default;

void TRHostController::load() {
    if (std::optional<HostList> stored = HostStore::readStoredHosts()) {
        hosts_ = std::move(*stored);
        ping();
        addStatusItems(hosts_);
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
    const QDateTime now = clock_.now();
    const qint64 elapsedMs = lastPingDate_.msecsTo(now);
    if (elapsedMs < 0 || double(elapsedMs) / 1000.0 > pingFrequency())
        ping();
}

void TRHostController::ping() {
    lastPingDate_ = clock_.now();
    if (menuBarController_)
        menuBarController_->updateToolTip();

    const int round = ++round_;
    int requests = 0;
    for (const std::shared_ptr<Host> &host : hosts_) {
        // A host still waiting for its last answer gets no second request: its result will
        // come, and requests stay at one per host however short the frequency.
        if (!host->isActive() || inFlight_.contains(host.get()))
            continue;
        ++requests;
        inFlight_.insert(host.get());
        if (UrlParser::isWebAddress(host->address())) {
            http_.get(host->address().toUtf8(), [this, host, round](const HttpResult &result) {
                finishCheck(host, round, result);
            });
        } else {
            // Only http and https are requested; anything else is down without a request.
            HttpResult result;
            result.error = QStringLiteral("not an http or https address");
            QTimer::singleShot(0, this,
                               [this, host, round, result] { finishCheck(host, round, result); });
        }
    }
    outstanding_[round] = requests;
    Q_EMIT roundStarted(round, requests);
    if (requests == 0)
        QTimer::singleShot(0, this, [this, round] { countDown(round); });
}

void TRHostController::finishCheck(const std::shared_ptr<Host> &host, int round,
                                   const HttpResult &result) {
    inFlight_.erase(host.get());
    host->setLastRequestDuration(result.seconds);
    // An answer without a certificate means plain http now; a failure before any answer says
    // nothing new about the certificate, so the last known expiry stays.
    if (result.certificateExpiry || result.status)
        host->setCertificateExpiry(result.certificateExpiry);
    updateStatusItem(*host);
    Q_EMIT checkFinished(*host, result);
    if (host->isReachable() != result.ok) {
        host->setIsReachable(result.ok);
        hostStateDidChange(*host);
    }
    countDown(round);
}

void TRHostController::countDown(int round) {
    auto it = outstanding_.find(round);
    if (it == outstanding_.end())
        return;
    if (--it->second <= 0) {
        outstanding_.erase(it);
        Q_EMIT roundFinished(round);
    }
}

void TRHostController::hostStateDidChange(Host &host) {
    if (menuBarController_) {
        menuBarController_->setDownCount(downCount());
        menuBarController_->refreshHostItem(host);
    }
    if (StatusItem *item = statusItem(host))
        item->button()->setImage(HostStatusItemFace::barImage(host.statusColor()));
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
    const bool written = HostStore::writeEncoded(*json);
    if (!written)
        std::fprintf(stderr, "tarvik: could not write the host list to %s\n",
                     Settings::fileName().toLocal8Bit().constData());
    if (menuBarController_)
        menuBarController_->reloadHostItems();
    Q_EMIT hostsChanged();
    return written;
}

bool TRHostController::replaceHosts(HostList hosts) {
    // The list is switched only once it is stored: a tray showing a list it could not save
    // would write its own over it later, or lose it at the next start.
    const std::optional<QByteArray> json = HostStore::encode(hosts);
    if (!json || !HostStore::writeEncoded(*json))
        return false;
    takeHosts(std::move(hosts));
    return true;
}

void TRHostController::takeHosts(HostList hosts) {
    hosts_ = std::move(hosts);
    statusItems_.clear();
    addStatusItems(hosts_);
    if (menuBarController_) {
        menuBarController_->setDownCount(downCount());
        menuBarController_->reloadHostItems();
    }
    ping();
}

std::shared_ptr<Host> TRHostController::addHost(const QString &address) {
    auto host = std::make_shared<Host>(address);
    hosts_.push_back(host);
    ping();
    save();
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
    hosts_.erase(it);
    if (menuBarController_)
        menuBarController_->setDownCount(downCount());
    save();
}

void TRHostController::addStatusItems(const HostList &hosts) {
    for (const std::shared_ptr<Host> &host : hosts) {
        if (!host->hasMenuBarItem())
            continue;
        statusItems_[host.get()] = host->makeStatusItem();
        updateStatusItem(*host);
    }
}

void TRHostController::updateStatusItem(Host &host) {
    StatusItem *item = statusItem(host);
    if (!item)
        return;
    const AttributedText title = HostStatusItemFace::title(host);
    item->button()->setToolTip(HostStatusItemFace::toolTip(host, !StatusItem::menusAreExported()));
    item->button()->setAttributedTitle(title);
    item->setLength(HostStatusItemFace::length(title));
}

StatusItem *TRHostController::statusItem(const Host &host) const {
    const auto it = statusItems_.find(&host);
    return it == statusItems_.end() ? nullptr : it->second.get();
}

void TRHostController::removeStatusItem(const Host &host) {
    statusItems_.erase(&host);
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
