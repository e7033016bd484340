#include "HttpsSection.h"

#include "BenchFailure.h"
#include "BenchServer.h"
#include "CurlRunner.h"
#include "EngineRound.h"
#include "FloorRunner.h"
#include "ProcessCpu.h"
#include "Stats.h"
#include "certificates/TrustStore.h"
#include "monitoring/HostStore.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {
using namespace BenchSupport;
using namespace std::chrono_literals;

constexpr int roundHosts = 1000;
constexpr int burstHosts = 100;
constexpr int idleHosts = 50;
constexpr auto idleFrequency = 60s;
constexpr auto idleSample = 5s;
constexpr auto roundLimit = 60s;
constexpr auto curlLimit = 180s;
constexpr auto serverLifetime = 900s;

constexpr double maxCheckCpuRatio = 1.5;
constexpr double maxDurationRatio = 1.5;
constexpr double maxStallMs = 16.0;
constexpr double maxIdleCpuSecondsPerHour = 5.0;

// The run's authority followed by the system's bundle: trusted the way the system's own are.
std::string writeBundle(const std::string &path, const std::string &authority) {
    const TrustStore system = TrustStore::system();
    if (system.caFile.isEmpty())
        throw BenchFailure("this system has no bundle of authorities to add the run's to");
    std::ofstream out(path, std::ios::binary);
    std::ifstream first(authority, std::ios::binary);
    std::ifstream second(system.caFile.toStdString(), std::ios::binary);
    out << first.rdbuf() << second.rdbuf();
    if (!out.flush() || !first || !second)
        throw BenchFailure("cannot write " + path);
    return path;
}

// The engine's CPU while it waits between rounds: its one-second timer asking whether a round
// is due, over `span`.
std::chrono::nanoseconds idleCpu(TRHostController &engine, std::chrono::milliseconds span) {
    QTimer tick;
    tick.setInterval(1000);
    QObject::connect(&tick, &QTimer::timeout, &engine, &TRHostController::tick);
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    const auto cpuStart = processCpuTime();
    tick.start();
    loop.exec();
    return processCpuTime() - cpuStart;
}
} // namespace

HttpsSection::HttpsSection(const BenchSupport::Options &options, const CurlRunner &curl,
                           std::string workDir)
    : options_(options)
    , curl_(curl)
    , workDir_(std::move(workDir)) {}

void HttpsSection::run() {
    BenchServer server;
    const std::string authority = workDir_ + "/authority.pem";
    server.start(TARVIK_BENCH_SERVER, roundHosts, 200ms, serverLifetime, authority);
    const int port = server.port();
    const std::string bundle = writeBundle(workDir_ + "/trusted.pem", authority);
    const TrustStore trust = TrustStore::choose(
        {QByteArray::fromStdString(bundle), TrustStore::libcurlDefaults().caPath});
    std::printf("\nhttps: %d hosts on port %d, each with a certificate for its address from an "
                "authority made for the run\n",
                roundHosts, port);
    std::printf("  trusted as the system's: %s%s (%s)\n", trust.caFile.constData(),
                trust.caPath.isEmpty() ? "" : (" and " + trust.caPath.toStdString()).c_str(),
                trust.isCached() ? "read once, kept between handshakes"
                                 : "read at every handshake");

    const std::vector<std::string> roundUrls = urls("https", roundHosts, port, "/");
    const std::vector<std::string> burstUrls(roundUrls.begin(), roundUrls.begin() + burstHosts);
    const std::vector<std::string> idleUrls(roundUrls.begin(), roundUrls.begin() + idleHosts);
    FloorRunner floor(TARVIK_BENCH_FLOOR, workDir_);
    const std::string burstFile = floor.writeUrls("https-burst", burstUrls);
    const std::string roundConfig = curl_.writeConfig("https-round", roundUrls);

    TRHostController roundEngine;
    TRHostController burstEngine;
    TRHostController idleEngine;
    for (TRHostController *engine : {&roundEngine, &burstEngine, &idleEngine})
        engine->httpClient().setTrust(trust);
    addHosts(roundEngine, roundUrls);
    addHosts(burstEngine, burstUrls);
    addHosts(idleEngine, idleUrls);

    std::vector<double> engineCheckCpu, floorCheckCpu, engineMedian, engineMax, floorMedian,
        floorMax, stallMs, busyMs, roundWall, roundCpu, roundMainCpu, idleRoundCpu;
    std::printf("run   100 at once: Tarvik/floor cpu per check ms   median ms       max ms      "
                "1000: stall ms  wall ms\n");
    for (int run = -1; run < options_.runs; ++run) {
        RoundResult engineBurst;
        RoundResult floorBurst;
        alternate(
            run % 2 == 0,
            [&] {
                engineBurst = runEngineRound(burstEngine, false, roundLimit);
                expectServed(server, burstHosts, "Tarvik, 100 https hosts");
            },
            [&] {
                floorBurst = floor.run(burstFile, bundle, burstHosts, roundLimit);
                // The floor's first request reads the store before it measures.
                expectServed(server, burstHosts + 1, "the floor, 100 https hosts");
            });
        const RoundResult probed = runEngineRound(roundEngine, true, roundLimit);
        expectServed(server, roundHosts, "Tarvik with the stall probe, https");
        const RoundResult whole = runEngineRound(roundEngine, false, roundLimit);
        expectServed(server, roundHosts, "Tarvik, 1000 https hosts");
        const RoundResult idleRound = runEngineRound(idleEngine, false, roundLimit);
        expectServed(server, idleHosts, "Tarvik, 50 https hosts");

        const double engineCpu = ms(engineBurst.cpu) / burstHosts;
        const double floorCpu = ms(floorBurst.cpu) / burstHosts;
        std::printf("%-5s %21.3f / %5.3f   %6.1f / %5.1f  %6.1f / %5.1f   %8.2f  %7.1f\n",
                    run < 0 ? "warm" : std::to_string(run + 1).c_str(), engineCpu, floorCpu,
                    Stats::median(engineBurst.seconds) * 1e3,
                    Stats::median(floorBurst.seconds) * 1e3,
                    Stats::percentile(engineBurst.seconds, 100) * 1e3,
                    Stats::percentile(floorBurst.seconds, 100) * 1e3, ms(probed.longestStall),
                    ms(whole.wall));
        std::fflush(stdout);
        if (run < 0)
            continue;
        engineCheckCpu.push_back(engineCpu);
        floorCheckCpu.push_back(floorCpu);
        engineMedian.push_back(Stats::median(engineBurst.seconds) * 1e3);
        engineMax.push_back(Stats::percentile(engineBurst.seconds, 100) * 1e3);
        floorMedian.push_back(Stats::median(floorBurst.seconds) * 1e3);
        floorMax.push_back(Stats::percentile(floorBurst.seconds, 100) * 1e3);
        stallMs.push_back(ms(probed.longestStall));
        busyMs.push_back(ms(probed.longestBusy));
        roundWall.push_back(ms(whole.wall));
        roundCpu.push_back(ms(whole.cpu));
        roundMainCpu.push_back(ms(whole.mainThreadCpu));
        idleRoundCpu.push_back(ms(idleRound.cpu));
    }

    // The yardstick reads the whole bundle at every handshake (the tool keeps libcurl's default
    // folder beside the bundle it is given), so one run is enough to see where it stands.
    const RoundResult curlRound =
        curl_.run(roundConfig, roundHosts, curlLimit, {"--cacert", bundle});
    expectServed(server, roundHosts, "curl, 1000 https hosts");

    // The stored list is the one checked, as it would be in a tray checking these 50 hosts (each
    // tick reads the frequency from the settings file beside it). Right after a round, so the
    // sample holds nothing but the waiting.
    if (!HostStore::write(idleEngine.hosts()))
        throw BenchFailure("cannot store the 50 hosts' list");
    runEngineRound(idleEngine, false, roundLimit);
    expectServed(server, idleHosts, "Tarvik, 50 https hosts");
    const std::chrono::nanoseconds idle = idleCpu(idleEngine, idleSample);
    if (!server.stop())
        throw BenchFailure("the https server did not exit cleanly");

    using Stats::median;
    const double checkRatio = median(engineCheckCpu) / median(floorCheckCpu);
    const double medianRatio = median(engineMedian) / median(floorMedian);
    const double maxRatio = median(engineMax) / median(floorMax);
    const double worstStall = *std::max_element(stallMs.begin(), stallMs.end());
    const double roundsPerHour = 3600.0 / double(idleFrequency.count());
    const double idleSeconds = double(idle.count()) / 1e9;
    const double hourly = (roundsPerHour * median(idleRoundCpu)) / 1e3 +
                          idleSeconds * 3600.0 / std::chrono::duration<double>(idleSample).count();

    std::printf("\nhttps, medians of %d runs\n", options_.runs);
    std::printf("  CPU of one check, %d at once: Tarvik %.3f ms, floor %.3f ms: %.2fx\n",
                burstHosts, median(engineCheckCpu), median(floorCheckCpu), checkRatio);
    std::printf("  durations of %d hosts at once, median: Tarvik %.1f ms, floor %.1f ms: %.2fx\n",
                burstHosts, median(engineMedian), median(floorMedian), medianRatio);
    std::printf("  durations of %d hosts at once, max:    Tarvik %.1f ms, floor %.1f ms: %.2fx\n",
                burstHosts, median(engineMax), median(floorMax), maxRatio);
    std::printf(
        "  %d hosts, one round: Tarvik %.1f ms wall, %.1f ms cpu; curl --parallel (one run) "
        "%.1f ms wall, %.1f ms cpu: %.2f / %.2f\n",
        roundHosts, median(roundWall), median(roundCpu), ms(curlRound.wall), ms(curlRound.cpu),
        median(roundWall) / ms(curlRound.wall), median(roundCpu) / ms(curlRound.cpu));
    std::printf("  longest main-thread stall in a %d-host round: %.2f ms worst, %.2f ms median; "
                "the thread's longest stretch of its own work %.2f ms (beyond it, a stall is "
                "other processes running); its cpu in the whole round %.1f ms\n",
                roundHosts, worstStall, median(stallMs),
                *std::max_element(busyMs.begin(), busyMs.end()), median(roundMainCpu));
    std::printf("  %d hosts every %lld s: %.2f ms cpu a round, %.2f ms cpu a minute between "
                "rounds: %.2f cpu-seconds an hour\n",
                idleHosts, static_cast<long long>(idleFrequency.count()), median(idleRoundCpu),
                idleSeconds * 1e3 * 60.0 / std::chrono::duration<double>(idleSample).count(),
                hourly);

    std::printf("  Targets\n");
    std::printf("    cpu of a check %.2fx the floor's <= %.1f: %s\n", checkRatio, maxCheckCpuRatio,
                verdict(checkRatio <= maxCheckCpuRatio));
    std::printf("    median duration %.2fx the floor's <= %.1f: %s\n", medianRatio,
                maxDurationRatio, verdict(medianRatio <= maxDurationRatio));
    std::printf("    max duration %.2fx the floor's <= %.1f: %s\n", maxRatio, maxDurationRatio,
                verdict(maxRatio <= maxDurationRatio));
    std::printf("    longest stall %.2f ms <= %.0f ms: %s\n", worstStall, maxStallMs,
                verdict(worstStall <= maxStallMs));
    std::printf("    %d hosts every minute %.2f cpu-seconds an hour <= %.0f: %s\n", idleHosts,
                hourly, maxIdleCpuSecondsPerHour, verdict(hourly <= maxIdleCpuSecondsPerHour));
    std::fflush(stdout);
}
