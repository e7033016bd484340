#include "metrics/ProbeMetrics.h"

#include "http/DisplayAddress.h"
#include "metrics/MetricsText.h"
#include "monitoring/TRHostController.h"

ProbeMetrics::ProbeMetrics(TRHostController &engine, QObject *parent)
    : QObject(parent)
    , engine_(engine) {
    connect(&engine, &TRHostController::checkFinished, this, &ProbeMetrics::record);
    connect(&engine, &TRHostController::roundStarted, this,
            [this] { roundStarted_ = engine_.lastPingDate(); });
}

void ProbeMetrics::record(const Host &host, const HttpResult &result) {
    Last &last = last_[&host];
    last.host = host.weak_from_this();
    last.result = result;
    last.failed = host.lastOutcome().failed;
    // Bodies are never part of a metric; a check's result keeps none, but be sure.
    last.result.body.clear();
    // Hosts removed since are dropped now and then, so a long headless run with a changing list
    // keeps no more than about twice its hosts.
    if (last_.size() > 2 * engine_.hosts().size() + 16)
        std::erase_if(last_, [](const auto &entry) { return entry.second.host.expired(); });
}

QByteArray ProbeMetrics::exposition() const {
    std::vector<MetricsText::Probe> probes;
    probes.reserve(engine_.hosts().size());
    for (const std::shared_ptr<Host> &host : engine_.hosts()) {
        if (!host->isActive())
            continue; // a paused host's last result only grows older
        const auto it = last_.find(host.get());
        // The address may have been freed and reused by a new host since; only the same object
        // counts.
        if (it == last_.end() || it->second.host.lock() != host)
            continue;
        // A scrape is read by other people and stored for long: no password goes into it.
        probes.push_back({host->string(), displayAddress(host->address()), it->second.result,
                          host->checkOptions().hasAnyOption(), it->second.failed, host->isSlow()});
    }
    return MetricsText::render(probes, roundStarted_);
}
