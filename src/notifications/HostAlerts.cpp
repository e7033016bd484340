#include "notifications/HostAlerts.h"

#include "http/DisplayAddress.h"
#include "http/HttpClient.h"
#include "monitoring/Clock.h"
#include "monitoring/Host.h"
#include "monitoring/TRHostController.h"
#include "notifications/NoticeText.h"
#include "notifications/Notifier.h"

#include <QStringList>

namespace {
// Handles of older notices are dropped past this; clicking one of those does nothing.
constexpr size_t rememberedNotices = 64;
} // namespace

HostAlerts::HostAlerts(TRHostController &engine, Notifier &notifier, const Clock &clock,
                       QObject *parent)
    : QObject(parent)
    , engine_(engine)
    , notifier_(notifier)
    , clock_(clock) {
    batch_.setSingleShot(true);
    connect(&batch_, &QTimer::timeout, this, &HostAlerts::flush);
    connect(&engine_, &TRHostController::checkFinished, this, &HostAlerts::onCheck);
    connect(&engine_, &TRHostController::stateChanged, this, [this](const Host &host) {
        if (!host.isActive())
            forget(host);
    });
    connect(&engine_, &TRHostController::hostRemoved, this,
            [this](const Host &host) { forget(host); });
    connect(&engine_, &TRHostController::hostsReplaced, this, [this](const HostList &previous) {
        for (const auto &host : previous)
            forget(*host);
    });
    // A notice about the old address would speak of a host that is no longer there.
    connect(&engine_, &TRHostController::addressChanged, this, &HostAlerts::forget);
    connect(&engine_, &TRHostController::offlineChanged, this, &HostAlerts::onOffline);
    connect(&notifier_, &Notifier::activated, this, &HostAlerts::onActivated);
}

HostAlerts::~HostAlerts() = default;

QString HostAlerts::downtime(qint64 seconds) {
    seconds = std::max<qint64>(seconds, 0);
    if (seconds < 60)
        return QStringLiteral("after %1 s").arg(seconds);
    const qint64 minutes = seconds / 60;
    if (minutes < 60)
        return QStringLiteral("after %1 min").arg(minutes);
    return minutes % 60 ? QStringLiteral("after %1 h %2 min").arg(minutes / 60).arg(minutes % 60)
                        : QStringLiteral("after %1 h").arg(minutes / 60);
}

std::shared_ptr<Host> HostAlerts::shared(const Host &host) const {
    for (const auto &candidate : engine_.hosts())
        if (candidate.get() == &host)
            return candidate;
    return nullptr;
}

void HostAlerts::onCheck(const Host &host, const HttpResult &result) {
    if (engine_.isOffline() || !host.isActive())
        return;
    Watch &watch = watches_[&host];
    if (result.ok) {
        watch.recheck.reset();
        watch.awaitingRecheck = false;
        if (watch.down) {
            watch.down = false;
            queue(host, false);
        }
        return;
    }
    if (watch.down)
        return;
    if (watch.awaitingRecheck) {
        watch.awaitingRecheck = false;
        watch.down = true;
        watch.downSince =
            host.lastOutcome().since.isValid() ? host.lastOutcome().since : clock_.now();
        queue(host, true);
        return;
    }
    if (!watch.recheck)
        confirmLater(host);
}

// One failure may be a blip: the host is asked once more before anyone is told.
void HostAlerts::confirmLater(const Host &host) {
    Watch &watch = watches_[&host];
    watch.recheck = std::make_unique<QTimer>();
    watch.recheck->setSingleShot(true);
    connect(watch.recheck.get(), &QTimer::timeout, this, [this, key = &host] {
        const auto it = watches_.find(key);
        if (it == watches_.end())
            return;
        it->second.awaitingRecheck = true;
        engine_.recheck(shared(*key));
    });
    watch.recheck->start(recheckDelay_);
}

void HostAlerts::forget(const Host &host) {
    const auto it = watches_.find(&host);
    if (it == watches_.end())
        return;
    const int handle = it->second.handle;
    watches_.erase(it);
    std::erase_if(pending_, [&](const Change &change) {
        const auto locked = change.host.lock();
        return !locked || locked.get() == &host;
    });
    const auto group = stillDown_.find(handle);
    if (group == stillDown_.end())
        return;
    group->second.erase(&host);
    // The notice goes with the last host it speaks of.
    if (group->second.empty()) {
        stillDown_.erase(group);
        notifier_.close(handle);
    }
}

void HostAlerts::onOffline(bool offline) {
    if (!offline)
        return;
    // Failures seen now say nothing about the hosts; what was about to be said is dropped.
    for (auto &[host, watch] : watches_) {
        watch.recheck.reset();
        watch.awaitingRecheck = false;
    }
    for (const Change &change : pending_)
        if (const auto host = change.host.lock()) {
            const auto it = watches_.find(host.get());
            if (it != watches_.end())
                it->second.down = !change.down;
        }
    pending_.clear();
    batch_.stop();
}

void HostAlerts::queue(const Host &host, bool down) {
    const std::shared_ptr<Host> owner = shared(host);
    if (!owner)
        return;
    // A host that went down and up again before the notice left needs no notice at all.
    const auto same = std::find_if(pending_.begin(), pending_.end(), [&](const Change &change) {
        return change.host.lock() == owner;
    });
    if (same != pending_.end()) {
        pending_.erase(same);
        return;
    }
    pending_.push_back({owner, down, host.lastOutcome().shortText(), watches_[&host].downSince});
    if (!batch_.isActive())
        batch_.start(batchDelay_);
}

void HostAlerts::flush() {
    std::vector<Change> downs, ups;
    for (Change &change : pending_)
        if (!change.host.expired())
            (change.down ? downs : ups).push_back(std::move(change));
    pending_.clear();
    if (enabled_ && !enabled_())
        return;
    if (!downs.empty())
        tellDown(downs);
    if (!ups.empty())
        tellUp(ups);
}

void HostAlerts::tellDown(const std::vector<Change> &changes) {
    Notice notice;
    notice.down = true;
    QStringList names, lines;
    for (const Change &change : changes) {
        const auto host = change.host.lock();
        names << NoticeText::name(host->string());
        lines << names.back() + QStringLiteral(": ") + NoticeText::reason(change.reason) +
                     QStringLiteral(" (") + NoticeText::address(displayAddress(host->address())) +
                     QStringLiteral(")");
    }
    if (changes.size() == 1) {
        const auto host = changes.front().host.lock();
        notice.summary = names.front() + QStringLiteral(" is down");
        notice.body = NoticeText::reason(changes.front().reason) + QStringLiteral("\n") +
                      NoticeText::address(displayAddress(host->address()));
    } else {
        notice.summary = QStringLiteral("%1 hosts are down: %2")
                             .arg(changes.size())
                             .arg(NoticeText::list(names));
        notice.body = NoticeText::lines(lines);
    }
    notice.action = clickAction(changes.size());
    const int handle = notifier_.show(notice);
    remember(handle, changes);
    for (const Change &change : changes) {
        const Host *host = change.host.lock().get();
        watches_[host].handle = handle;
        stillDown_[handle].insert(host);
    }
}

void HostAlerts::tellUp(const std::vector<Change> &changes) {
    Notice notice;
    notice.down = false;
    const QDateTime now = clock_.now();
    QStringList names;
    for (const Change &change : changes)
        names << NoticeText::name(change.host.lock()->string());
    if (changes.size() == 1) {
        const auto host = changes.front().host.lock();
        notice.summary = names.front() + QStringLiteral(" is back up ") +
                         downtime(changes.front().downSince.secsTo(now));
        notice.body = NoticeText::address(displayAddress(host->address()));
    } else {
        notice.summary = QStringLiteral("%1 hosts are back up: %2")
                             .arg(changes.size())
                             .arg(NoticeText::list(names));
    }
    notice.action = clickAction(changes.size());
    // The recovery takes the place of the notice that said "down", once that notice speaks of
    // no host still down; notices of other recovered hosts are withdrawn the same way.
    int replaced = 0;
    for (const Change &change : changes) {
        const Host *host = change.host.lock().get();
        Watch &watch = watches_[host];
        const int handle = std::exchange(watch.handle, 0);
        const auto group = stillDown_.find(handle);
        if (group == stillDown_.end())
            continue;
        group->second.erase(host);
        if (!group->second.empty())
            continue;
        stillDown_.erase(group);
        if (replaced == 0)
            replaced = handle;
        else
            notifier_.close(handle);
    }
    remember(notifier_.show(notice, replaced), changes);
}

void HostAlerts::remember(int handle, const std::vector<Change> &changes) {
    auto &hosts = noticeHosts_[handle];
    hosts.clear();
    for (const Change &change : changes)
        hosts.push_back(change.host);
    while (noticeHosts_.size() > rememberedNotices)
        noticeHosts_.erase(noticeHosts_.begin());
}

QString HostAlerts::clickAction(size_t hosts) {
    return hosts == 1 ? QStringLiteral("Show Details") : QStringLiteral("Show Hosts");
}

// A notice about one host leads to that host; one about several, or about a host since removed,
// to the hosts window.
void HostAlerts::onActivated(int handle) {
    const auto it = noticeHosts_.find(handle);
    if (it == noticeHosts_.end())
        return;
    if (it->second.size() == 1)
        if (const auto host = it->second.front().lock(); host && shared(*host)) {
            Q_EMIT openHostRequested(host);
            return;
        }
    Q_EMIT openHostsRequested();
}
