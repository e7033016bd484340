#include "commandline/CommandLine.h"

#include "commandline/AppInstance.h"
#include "commandline/HostListFile.h"
#include "commandline/ResourceLimits.h"
#include "commandline/UnixSignals.h"
#include "http/DisplayAddress.h"
#include "http/HttpFailure.h"
#include "instance/InstanceProtocol.h"
#include "metrics/ListenAddress.h"
#include "metrics/MetricsServer.h"
#include "metrics/ProbeMetrics.h"
#include "monitoring/HostCheckStore.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "networkstate/MachineStateLink.h"
#include "settings/Settings.h"
#include "settings/SettingsWatcher.h"
#include "text/TerminalText.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <cstdio>

namespace {
// A line for whoever reads as it comes (--headless); `flush` false leaves it to stdio's buffer,
// for output that ends with the program (--check).
void out(const QString &line, bool flush = true) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    if (flush)
        std::fflush(stdout);
}

void err(const QString &line) {
    std::fputs((QStringLiteral("tarvik: ") + line).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

QString reachability(std::optional<bool> reachable) {
    if (!reachable)
        return QStringLiteral("unknown");
    return *reachable ? QStringLiteral("up") : QStringLiteral("down");
}

QJsonObject resultObject(const Host &host, const HttpResult &result) {
    QJsonObject o;
    o.insert(QStringLiteral("event"), QStringLiteral("result"));
    o.insert(QStringLiteral("name"), host.string());
    o.insert(QStringLiteral("address"), displayAddress(host.address()));
    o.insert(QStringLiteral("reachable"), result.ok);
    o.insert(QStringLiteral("durationMs"), std::round(result.seconds * 1e6) / 1e3);
    o.insert(QStringLiteral("status"), result.status ? QJsonValue(*result.status) : QJsonValue());
    o.insert(QStringLiteral("error"), result.ok ? QJsonValue() : QJsonValue(failureReason(result)));
    // Which of the host's check options the answer failed, and whether it was slower than one.
    const QString expectation = CheckVerdict::expectationKey(host.lastOutcome().failed);
    o.insert(QStringLiteral("expectation"),
             expectation.isNull() ? QJsonValue() : QJsonValue(expectation));
    o.insert(QStringLiteral("slow"), host.lastAnswerSlow());
    QJsonValue phases;
    if (const std::optional<HttpPhases> &p = result.phases) {
        const auto ms = [](double seconds) { return std::round(seconds * 1e6) / 1e3; };
        phases = QJsonObject{{QStringLiteral("dns"), ms(p->dns)},
                             {QStringLiteral("connect"), ms(p->connect)},
                             {QStringLiteral("tls"), ms(p->tls)},
                             {QStringLiteral("firstByte"), ms(p->processing)},
                             {QStringLiteral("transfer"), ms(p->transfer)}};
    }
    o.insert(QStringLiteral("phases"), phases);
    o.insert(QStringLiteral("certificateExpiry"),
             result.certificateExpiry
                 ? QJsonValue(result.certificateExpiry->toUTC().toString(Qt::ISODate))
                 : QJsonValue());
    return o;
}

QString resultLine(const Host &host, const HttpResult &result) {
    const QString status = result.status ? QString::number(*result.status) : QStringLiteral("-");
    QString line = QStringLiteral("%1  %2  %3  %4 ms  %5")
                       .arg(result.ok ? QStringLiteral("up  ") : QStringLiteral("down"),
                            printable(host.string()), printable(displayAddress(host.address())))
                       .arg(result.seconds * 1000.0, 0, 'f', 1)
                       .arg(status);
    // The short reason the tray and notifications give, not libcurl's own wording.
    const QString reason = result.ok ? host.slowReason() : failureReason(result);
    if (!reason.isEmpty())
        line += QStringLiteral("  (") + printable(reason) + QStringLiteral(")");
    return line;
}

QString compact(const QJsonObject &o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// The stored list for the engine-driven modes; nothing (after saying why) when unreadable.
std::optional<HostList> storedHostsOrComplain() {
    HostStore::ReadResult stored = HostStore::read();
    if (stored.status == HostStore::Status::Unreadable) {
        err(QStringLiteral("cannot read the stored host list in %1").arg(Settings::fileName()));
        return std::nullopt;
    }
    return std::move(stored.hosts);
}

QString trayProgramUsage() {
    return QStringLiteral(
        "usage: tarvik [--check [--json] | --headless [--json] [--metrics ADDR:PORT] |\n"
        "               --import FILE | --export FILE|-]\n"
        "\n"
        "  (no arguments)      start the tray application\n"
        "  --check [--json]    check every stored active host once, then exit:\n"
        "                      0 all up, 1 any down, 2 error or offline\n"
        "  --headless [--json] check on the stored frequency without tray or windows until\n"
        "                      SIGINT, SIGTERM or SIGHUP, printing rounds, results and state\n"
        "                      changes; for machines without a desktop\n"
        "  --metrics ADDR:PORT with --headless, also serve the last results as Prometheus\n"
        "                      metrics at http://ADDR:PORT/metrics (PORT alone: loopback)\n"
        "  --import FILE       replace the stored host list with FILE (the stored JSON format)\n"
        "  --export FILE|-     write the stored host list to FILE, or to stdout\n"
        "  --help, --version\n");
}

QString serverUsage() {
    return QStringLiteral(
        "usage: tarvikd [--json] [--metrics ADDR:PORT] | --check [--json] |\n"
        "               --import FILE | --export FILE|-\n"
        "\n"
        "  (no mode)           check the stored hosts on the stored frequency until SIGINT,\n"
        "                      SIGTERM or SIGHUP, printing rounds, results and state\n"
        "                      changes (--headless says the same)\n"
        "  --json              print each of those as one JSON object a line\n"
        "  --metrics ADDR:PORT also serve the last results as Prometheus metrics at\n"
        "                      http://ADDR:PORT/metrics (PORT alone: loopback)\n"
        "  --check [--json]    check every stored active host once, then exit:\n"
        "                      0 all up, 1 any down, 2 error or offline\n"
        "  --import FILE       replace the stored host list with FILE (the stored JSON format)\n"
        "  --export FILE|-     write the stored host list to FILE, or to stdout\n"
        "  --help, --version\n");
}
} // namespace

std::optional<CommandLine::Options> CommandLine::parse(const QStringList &arguments, QString *error,
                                                       Program program) {
    Options options;
    options.program = program;
    // The server program has no tray: without a mode it monitors, as `tarvik --headless` does.
    if (program == Program::Tarvikd)
        options.mode = Mode::Headless;
    bool modeSet = false;
    auto setMode = [&](Mode mode, const QString &name) {
        if (modeSet) {
            *error = QStringLiteral("%1 cannot be combined with another mode").arg(name);
            return false;
        }
        options.mode = mode;
        modeSet = true;
        return true;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        bool ok = true;
        if (a == u"--check") {
            ok = setMode(Mode::Check, a);
        } else if (a == u"--headless") {
            ok = setMode(Mode::Headless, a);
        } else if (a == u"--json") {
            options.json = true;
        } else if (a == u"--metrics") {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                *error = QStringLiteral("--metrics needs ADDR:PORT or PORT");
                return std::nullopt;
            }
            options.metrics = arguments.at(++i);
            if (!ListenAddress::parse(options.metrics, error))
                return std::nullopt;
        } else if (a == u"--import" || a == u"--export") {
            ok = setMode(a == u"--import" ? Mode::Import : Mode::Export, a);
            if (ok && i + 1 >= arguments.size()) {
                *error = QStringLiteral("%1 needs a file").arg(a);
                ok = false;
            } else if (ok) {
                options.file = arguments.at(++i);
                if (options.file.isEmpty() ||
                    (options.mode == Mode::Import && options.file == u"-")) {
                    *error = QStringLiteral("%1 needs a file").arg(a);
                    ok = false;
                }
            }
        } else if (a == u"--help" || a == u"-h") {
            ok = setMode(Mode::Help, a);
        } else if (a == u"--version" || a == u"-v") {
            ok = setMode(Mode::Version, a);
        } else {
            *error = QStringLiteral("unknown option %1").arg(a);
            ok = false;
        }
        if (!ok)
            return std::nullopt;
    }
    if (options.json && options.mode != Mode::Check && options.mode != Mode::Headless) {
        *error = QStringLiteral("--json goes with --check or --headless");
        return std::nullopt;
    }
    if (!options.metrics.isEmpty() && options.mode != Mode::Headless) {
        *error = QStringLiteral("--metrics goes with --headless");
        return std::nullopt;
    }
    return options;
}

QString CommandLine::usage(Program program) {
    return program == Program::Tarvikd ? serverUsage() : trayProgramUsage();
}

std::optional<int> CommandLine::runUnlessTray(int argc, char **argv, Program program) {
    ResourceLimits::raiseDescriptorLimit();
    ResourceLimits::ignoreFileSizeSignal();

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QString error;
    const std::optional<Options> options = parse(arguments, &error, program);
    if (!options) {
        std::fprintf(stderr, "tarvik: %s\n%s", error.toLocal8Bit().constData(),
                     usage(program).toLocal8Bit().constData());
        return Error;
    }
    if (options->mode == Mode::Tray)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    Settings::nameApplication();
    return run(*options);
}

int CommandLine::run(const Options &options) {
    switch (options.mode) {
    case Mode::Check:
        return check(options.json);
    case Mode::Headless:
        return headless(options.json, options.metrics);
    case Mode::Import:
        return importFile(options.file);
    case Mode::Export:
        return exportFile(options.file);
    case Mode::Help:
        std::fputs(usage(options.program).toLocal8Bit().constData(), stdout);
        return 0;
    case Mode::Version:
        out(QStringLiteral("Tarvik ") + QCoreApplication::applicationVersion());
        return 0;
    case Mode::Tray:
        break;
    }
    return Error;
}

int CommandLine::check(bool json) {
    std::optional<HostList> stored = storedHostsOrComplain();
    if (!stored)
        return Error;
    TRHostController engine;
    engine.hosts() = std::move(*stored);
    // An offline machine would report every host down; it says so instead. The network service
    // is asked only when the round needs it, when every check that needed the network failed at
    // the network level: a round that went well never loads it.
    NetworkWatch network;
    MachineStateLink::askNetworkWhenNeeded(engine, network);
    bool offline = false;
    QObject::connect(&engine, &TRHostController::offlineChanged,
                     [&](bool now) { offline = offline || now; });
    bool anyDown = false;
    QObject::connect(
        &engine, &TRHostController::checkFinished, [&](const Host &host, const HttpResult &result) {
            anyDown = anyDown || !result.ok;
            out(json ? compact(resultObject(host, result)) : resultLine(host, result), false);
        });
    QObject::connect(&engine, &TRHostController::roundFinished, qApp, &QCoreApplication::quit);
    engine.ping();
    QCoreApplication::exec();
    std::fflush(stdout);
    if (offline) {
        err(QStringLiteral("offline"));
        return Error;
    }
    return anyDown ? AnyDown : AllUp;
}

int CommandLine::headless(bool json, const QString &metrics) {
    if (!storedHostsOrComplain())
        return Error;
    UnixSignals stop;
    QObject::connect(&stop, &UnixSignals::received, qApp, &QCoreApplication::quit);
    TRHostController engine;
    ProbeMetrics probes(engine);
    MetricsServer server([&probes] { return probes.exposition(); });
    if (!metrics.isEmpty()) {
        QString why;
        const std::optional<ListenAddress> at = ListenAddress::parse(metrics, &why);
        if (!at || !server.listen(at->address, at->port, &why)) {
            err(QStringLiteral("cannot serve metrics on %1: %2").arg(metrics, why));
            return Error;
        }
    }
    MachineStateLink machine(engine);
    QObject::connect(&engine, &TRHostController::offlineChanged, [&](bool offline) {
        const QString event = offline ? QStringLiteral("offline") : QStringLiteral("online");
        const QString at = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        if (json)
            out(compact({{QStringLiteral("event"), event}, {QStringLiteral("at"), at}}));
        else if (offline)
            out(QStringLiteral("offline at %1: checks resume when the network is back").arg(at));
        else
            out(QStringLiteral("online at %1").arg(at));
    });
    // Sleep is watched from the start; the network service only once a round needs it.
    machine.askNetworkWhenNeeded();
    machine.sleep().start();
    QObject::connect(&engine, &TRHostController::roundStarted, [&](int round, int requests) {
        const QString at = engine.lastPingDate().toString(Qt::ISODateWithMs);
        if (json)
            out(compact({{QStringLiteral("event"), QStringLiteral("round")},
                         {QStringLiteral("round"), round},
                         {QStringLiteral("at"), at},
                         {QStringLiteral("requests"), requests}}));
        else
            out(QStringLiteral("round %1 at %2: %3 checks").arg(round).arg(at).arg(requests));
    });
    QObject::connect(&engine, &TRHostController::checkFinished,
                     [&](const Host &host, const HttpResult &result) {
                         out(json ? compact(resultObject(host, result)) : resultLine(host, result));
                     });
    QObject::connect(&engine, &TRHostController::stateChanged, [&](const Host &host) {
        if (json)
            out(compact({{QStringLiteral("event"), QStringLiteral("state")},
                         {QStringLiteral("name"), host.string()},
                         {QStringLiteral("address"), displayAddress(host.address())},
                         {QStringLiteral("reachable"),
                          host.isReachable() ? QJsonValue(*host.isReachable()) : QJsonValue()}}));
        else
            out(QStringLiteral("state %1 is now %2")
                    .arg(printable(host.string()), reachability(host.isReachable())));
    });
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
        err(QStringLiteral("took %1 hosts from the changed stored list").arg(hosts->size()));
        engine.takeHosts(std::move(*hosts));
    });
    QCoreApplication::exec();
    return 0;
}

int CommandLine::importFile(const QString &file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("cannot read %1: %2").arg(file, input.errorString()));
        return Error;
    }
    QString why;
    // One byte past the limit is enough to know the file is too large.
    const QByteArray bytes = input.read(InstanceProtocol::maxPayloadSize + 1);
    // The running tray takes no message above this size; a list it would refuse must not be
    // stored first, or its next save would write its old list over the import.
    if (bytes.size() > InstanceProtocol::maxPayloadSize) {
        err(QStringLiteral("%1 is larger than %2 bytes, the most an import may be; the stored "
                           "list is unchanged")
                .arg(file)
                .arg(InstanceProtocol::maxPayloadSize));
        return Error;
    }
    const std::optional<HostList> hosts = HostListFile::read(bytes, &why);
    if (!hosts) {
        err(QStringLiteral("%1 is not a host list (%2); the stored list is unchanged")
                .arg(file, why));
        return Error;
    }
    // Reading first keeps a copy of a stored list that is about to be replaced unread.
    HostStore::read();
    if (!HostStore::write(*hosts)) {
        err(QStringLiteral("could not write %1").arg(Settings::fileName()));
        return Error;
    }
    if (const std::optional<int> code =
            AppInstance::handOverImport(bytes, qsizetype(hosts->size())))
        return *code;
    out(QStringLiteral("imported %1 hosts").arg(hosts->size()));
    return 0;
}

int CommandLine::exportFile(const QString &file) {
    std::optional<HostList> stored = storedHostsOrComplain();
    if (!stored)
        return Error;
    const QByteArray json = HostListFile::write(*stored).value_or(QByteArrayLiteral("[]"));
    if (file == u"-") {
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fputc('\n', stdout);
        return 0;
    }
    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly) || output.write(json) != json.size() ||
        !output.commit()) {
        output.cancelWriting();
        err(QStringLiteral("cannot write %1: %2").arg(file, output.errorString()));
        return Error;
    }
    return 0;
}
