#include "commandline/HeadlessRunner.h"

#include "commandline/CommandLine.h"
#include "commandline/OutputFormatter.h"
#include "commandline/UnixSignals.h"
#include "metrics/ListenAddress.h"
#include "metrics/MetricsServer.h"
#include "metrics/ProbeMetrics.h"
#include "monitoring/HostCheckStore.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "networkstate/MachineStateLink.h"
#include "settings/Settings.h"
#include "settings/SettingsWatcher.h"

#include <QCoreApplication>

#include <cstdio>

std::optional<HostList> HeadlessRunner::storedHosts() {
    HostStore::ReadResult stored = HostStore::read();
    if (stored.status == HostStore::Status::Unreadable) {
        OutputFormatter::complain(
            QStringLiteral("cannot read the stored host list in %1").arg(Settings::fileName()));
        return std::nullopt;
    }
    return std::move(stored.hosts);
}

int HeadlessRunner::check() const {
    std::optional<HostList> stored = storedHosts();
    if (!stored)
        return CommandLine::Error;
    const OutputFormatter format(json_);
    TRHostController engine;
    engine.setHosts(std::move(*stored));
    // An offline machine would report every host down; it says so instead. The network service
    // is asked only when the round needs it, when every check that needed the network failed at
    // the network level: a round that went well never loads it.
    NetworkWatch network;
    MachineStateLink::askNetworkWhenNeeded(engine, network);
    bool offline = false;
    QObject::connect(&engine, &TRHostController::offlineChanged,
                     [&](bool now) { offline = offline || now; });
    bool anyDown = false;
    QObject::connect(&engine, &TRHostController::checkFinished,
                     [&](const Host &host, const HttpResult &result) {
                         anyDown = anyDown || !result.ok;
                         OutputFormatter::print(format.result(host, result), false);
                     });
    QObject::connect(&engine, &TRHostController::roundFinished, qApp, &QCoreApplication::quit);
    engine.ping();
    QCoreApplication::exec();
    std::fflush(stdout);
    if (offline) {
        OutputFormatter::complain(QStringLiteral("offline"));
        return CommandLine::Error;
    }
    return anyDown ? CommandLine::AnyDown : CommandLine::AllUp;
}

int HeadlessRunner::monitor(const QString &metrics) const {
    if (!storedHosts())
        return CommandLine::Error;
    const OutputFormatter format(json_);
    UnixSignals stop;
    QObject::connect(&stop, &UnixSignals::received, qApp, &QCoreApplication::quit);
    TRHostController engine;
    ProbeMetrics probes(engine);
    MetricsServer server([&probes] { return probes.exposition(); });
    if (!metrics.isEmpty()) {
        QString why;
        const std::optional<ListenAddress> at = ListenAddress::parse(metrics, &why);
        if (!at || !server.listen(at->address, at->port, &why)) {
            OutputFormatter::complain(
                QStringLiteral("cannot serve metrics on %1: %2").arg(metrics, why));
            return CommandLine::Error;
        }
    }
    MachineStateLink machine(engine);
    QObject::connect(&engine, &TRHostController::offlineChanged, [&](bool offline) {
        OutputFormatter::print(format.network(offline, QDateTime::currentDateTime()));
    });
    // Sleep is watched from the start; the network service only once a round needs it.
    machine.askNetworkWhenNeeded();
    machine.sleep().start();
    QObject::connect(&engine, &TRHostController::roundStarted, [&](int round, int requests) {
        OutputFormatter::print(format.round(round, engine.lastPingDate(), requests));
    });
    QObject::connect(&engine, &TRHostController::checkFinished,
                     [&](const Host &host, const HttpResult &result) {
                         OutputFormatter::print(format.result(host, result));
                     });
    QObject::connect(&engine, &TRHostController::stateChanged,
                     [&](const Host &host) { OutputFormatter::print(format.state(host)); });
    engine.load();
    // An import replaces the stored list while this runs; like the tray, take the new list and
    // check it at once. Only a readable list that differs from the one checked is taken.
    // The hosts' check options are stored beside the list, and may change alone.
    const auto stored = [] { return std::pair(Settings::hostsData(), Settings::hostChecksData()); };
    auto taken = stored();
    SettingsWatcher watcher;
    QObject::connect(&watcher, &SettingsWatcher::changed, &engine, [&] {
        const auto now = stored();
        if (!now.first || now == taken)
            return;
        std::optional<HostList> hosts = HostStore::decode(*now.first);
        if (!hosts)
            return;
        HostCheckStore::restore(*hosts);
        taken = now;
        OutputFormatter::complain(
            QStringLiteral("took %1 hosts from the changed stored list").arg(hosts->size()));
        engine.takeHosts(std::move(*hosts));
    });
    QCoreApplication::exec();
    return 0;
}
