// Compares one round of Tarvik's engine with the curl command-line tool on the same loopback
// hosts, served by tarvik_bench_server in a process of its own:
//   - 1000 hosts answering at once: wall and CPU time of a round, as Tarvik/curl ratios;
//   - 100 hosts answering after 200 ms: how far each client's reported time exceeds the delay;
//   - the longest stall of the engine's thread during a 1000-host round;
//   - a /metrics scrape of the 1000 hosts' last results: its time and size, against a round's CPU;
//   - the whole `tarvik --check` and `tarvikd --check` programs over the 1000 hosts against the
//     whole curl program, and against another build's tarvik when one is given
//     (CheckCommandSection);
//   - a round of 1000 hosts that all have bodyContains against the same round without options;
//   - the same over https, against the bare libcurl floor program (HttpsSection).
// Rounds alternate which client goes first and the figures are medians over the runs, after one
// warm-up run that is not counted. Targets that are missed are reported, not fatal; anything
// that keeps the figures from being measured at all ends the run with status 1.
//
//   tarvik_bench [--runs N] [--curl PROGRAM] [--only http,check,bodies,https]
//                [--reference-check TARVIK]

#include "BenchFailure.h"
#include "BenchServer.h"
#include "BenchSupport.h"
#include "CheckCommandSection.h"
#include "CurlRunner.h"
#include "EngineRound.h"
#include "FloorRunner.h"
#include "HttpsSection.h"
#include "LoopbackHosts.h"
#include "MachineLoad.h"
#include "MetricsScrape.h"
#include "Stats.h"
#include "certificates/TrustStore.h"
#include "commandline/ResourceLimits.h"
#include "metrics/ProbeMetrics.h"
#include "monitoring/TRHostController.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {
using namespace std::chrono_literals;
using namespace BenchSupport;

constexpr int fastHosts = 1000;
constexpr int slowHosts = 100;
constexpr auto slowDelay = 200ms;
constexpr auto roundLimit = 60s;
// The server stops by itself after this even if the driver hangs.
constexpr auto serverLifetime = 900s;

constexpr double maxRatio = 1.2;
// With curl's own start-up taken out of its figures, the engine is to stay well ahead of it.
constexpr double maxCpuRatioWithoutStartup = 0.6;
constexpr double maxWallRatioWithoutStartup = 0.8;
constexpr double maxMedianExtraMs = 1.0;
constexpr double maxP99ExtraMs = 5.0;
constexpr double maxStallMs = 16.0;
// Beyond this share of the machine going to other processes the figures mean little.
constexpr double maxForeignShare = 0.05;

struct Side {
    std::vector<double> wallMs;
    std::vector<double> cpuMs;
    std::vector<double> peak;       // most connections the server saw open at once
    std::vector<double> overheadMs; // reported time beyond the server's delay, all slow runs
};

Options parseOptions(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            options.runs = std::atoi(argv[++i]);
            if (options.runs < 1 || options.runs > 50)
                throw BenchFailure("--runs takes 1 to 50");
        } else if (arg == "--curl" && i + 1 < argc) {
            options.curl = argv[++i];
        } else if (arg == "--only" && i + 1 < argc) {
            options.only = argv[++i];
        } else if (arg == "--reference-check" && i + 1 < argc) {
            options.referenceCheck = argv[++i];
        } else {
            throw BenchFailure("usage: tarvik_bench [--runs N] [--curl PROGRAM] "
                               "[--only http,check,bodies,https] [--reference-check TARVIK]");
        }
    }
    return options;
}

// Both clients honour these, and a proxy would take the requests off loopback.
void clearProxies() {
    for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"})
        unsetenv(name);
}

void recordOverhead(Side &side, const RoundResult &round, const char *who) {
    const double delaySeconds = std::chrono::duration<double>(slowDelay).count();
    for (double seconds : round.seconds) {
        if (seconds < delaySeconds)
            throw BenchFailure(std::string(who) + " reported " + std::to_string(seconds) +
                               " s for a request the server held for 200 ms");
        side.overheadMs.push_back((seconds - delaySeconds) * 1000.0);
    }
}

// The engine against curl over plain http: one round of 1000 hosts, 100 delayed hosts, the stall
// and the scrape.
void httpSection(const Options &options, const CurlRunner &curl, BenchServer &server,
                 const std::vector<std::string> &fastUrls, const std::string &fastConfig,
                 const std::string &workDir) {
    FloorRunner floor(TARVIK_BENCH_FLOOR, workDir);
    const std::string floorUrls = floor.writeUrls("fast", fastUrls);
    const int port = server.port();
    const std::vector<std::string> slowUrls = urls("http", slowHosts, port, "/slow");
    const std::string slowConfig = curl.writeConfig("slow", slowUrls);
    const std::string oneConfig = curl.writeConfig("one", {fastUrls.front()});
    TRHostController fastEngine;
    TRHostController slowEngine;
    addHosts(fastEngine, fastUrls);
    addHosts(slowEngine, slowUrls);
    // Records every result of the 1000-host rounds, as headless mode with --metrics does.
    ProbeMetrics fastMetrics(fastEngine);

    std::printf("server: %d hosts on %s..%s port %d, /slow answered after %lld ms\n", fastHosts,
                LoopbackHosts::dotted(0).c_str(), LoopbackHosts::dotted(fastHosts - 1).c_str(),
                port, static_cast<long long>(slowDelay.count()));
    std::printf("run   1000 hosts: Tarvik wall/cpu ms   curl wall/cpu ms   stall ms\n");

    Side engine;
    Side tool;
    std::vector<double> stallMs;
    std::vector<double> busyMs;
    std::vector<double> pingMs;
    std::vector<double> mainThreadMs;
    std::vector<double> startWallMs;
    std::vector<double> startCpuMs;
    std::vector<double> floorCpuMs;
    for (int run = -1; run < options.runs; ++run) {
        const bool counted = run >= 0;
        const bool engineFirst = run % 2 == 0;
        RoundResult engineRound;
        RoundResult curlRound;
        double enginePeak = 0;
        double curlPeak = 0;
        alternate(
            engineFirst,
            [&] {
                engineRound = runEngineRound(fastEngine, false, roundLimit);
                enginePeak = expectServed(server, fastHosts, "Tarvik, 1000 hosts");
            },
            [&] {
                curlRound = curl.run(fastConfig, fastHosts, roundLimit);
                curlPeak = expectServed(server, fastHosts, "curl, 1000 hosts");
            });
        const RoundResult probed = runEngineRound(fastEngine, true, roundLimit);
        expectServed(server, fastHosts, "Tarvik with the stall probe");

        RoundResult engineSlow;
        RoundResult curlSlow;
        alternate(
            engineFirst,
            [&] {
                engineSlow = runEngineRound(slowEngine, false, roundLimit);
                expectServed(server, slowHosts, "Tarvik, delayed hosts");
            },
            [&] {
                curlSlow = curl.run(slowConfig, slowHosts, roundLimit);
                expectServed(server, slowHosts, "curl, delayed hosts");
            });
        const RoundResult start = curl.run(oneConfig, 1, roundLimit);
        expectServed(server, 1, "curl, one host");
        // What libcurl itself costs for the same requests, without a program around it.
        const RoundResult bare =
            floor.run(floorUrls, TrustStore::system().caFile.toStdString(), fastHosts, roundLimit);
        expectServed(server, fastHosts + 1, "the floor, 1000 hosts");

        std::printf("%-5s %17.1f / %6.1f   %8.1f / %6.1f   %8.2f\n",
                    counted ? std::to_string(run + 1).c_str() : "warm", ms(engineRound.wall),
                    ms(engineRound.cpu), ms(curlRound.wall), ms(curlRound.cpu),
                    ms(probed.longestStall));
        std::fflush(stdout);
        if (!counted)
            continue;
        engine.wallMs.push_back(ms(engineRound.wall));
        engine.cpuMs.push_back(ms(engineRound.cpu));
        engine.peak.push_back(enginePeak);
        tool.wallMs.push_back(ms(curlRound.wall));
        tool.cpuMs.push_back(ms(curlRound.cpu));
        tool.peak.push_back(curlPeak);
        stallMs.push_back(ms(probed.longestStall));
        busyMs.push_back(ms(probed.longestBusy));
        pingMs.push_back(ms(engineRound.pingCall));
        mainThreadMs.push_back(ms(engineRound.mainThreadCpu));
        recordOverhead(engine, engineSlow, "Tarvik");
        recordOverhead(tool, curlSlow, "curl");
        startWallMs.push_back(ms(start.wall));
        startCpuMs.push_back(ms(start.cpu));
        floorCpuMs.push_back(ms(bare.cpu));
    }

    using Stats::median;
    using Stats::percentile;
    const double wallRatio = median(engine.wallMs) / median(tool.wallMs);
    const double cpuRatio = median(engine.cpuMs) / median(tool.cpuMs);
    std::printf("\n1000 hosts, one round, medians of %d runs\n", options.runs);
    std::printf("                 wall ms    cpu ms   connections open at once (server)\n");
    std::printf("  Tarvik        %8.1f  %8.1f   %.0f\n", median(engine.wallMs),
                median(engine.cpuMs), median(engine.peak));
    std::printf("  curl          %8.1f  %8.1f   %.0f (asked for --parallel-max %d)\n",
                median(tool.wallMs), median(tool.cpuMs), median(tool.peak),
                CurlRunner::parallelMax);
    std::printf("  Tarvik/curl   %8.2f  %8.2f\n", wallRatio, cpuRatio);
    std::printf(
        "  of Tarvik's cpu, %.1f ms on the engine's thread, the rest on the transfer thread\n",
        median(mainThreadMs));
    std::printf("  curl's figures include starting the tool: %.1f ms wall, %.1f ms cpu for one "
                "URL\n",
                median(startWallMs), median(startCpuMs));
    // The start-up measured on one URL includes that URL's request, a fraction of a millisecond
    // on loopback, so curl comes out a little cheaper than it is: in its favour.
    const double curlWallNet = std::max(median(tool.wallMs) - median(startWallMs), 1e-3);
    const double curlCpuNet = std::max(median(tool.cpuMs) - median(startCpuMs), 1e-3);
    const double wallRatioNet = median(engine.wallMs) / curlWallNet;
    const double cpuRatioNet = median(engine.cpuMs) / curlCpuNet;
    std::printf("  the floor program (libcurl alone, the same requests): %.1f ms cpu; Tarvik/floor "
                "%.2f, curl without its start-up/floor %.2f\n",
                median(floorCpuMs), median(engine.cpuMs) / median(floorCpuMs),
                curlCpuNet / median(floorCpuMs));
    std::printf("  Tarvik/curl without curl's start-up (phases and certificate info on): "
                "%.2f wall, %.2f cpu\n",
                wallRatioNet, cpuRatioNet);

    MetricsScrape scrape(fastMetrics);
    std::vector<double> scrapeWallMs;
    std::vector<double> scrapeCpuMs;
    ScrapeResult lastScrape;
    for (int run = -1; run < options.runs; ++run) {
        lastScrape = scrape.run(roundLimit);
        if (lastScrape.probes != fastHosts)
            throw BenchFailure("the scrape held " + std::to_string(lastScrape.probes) +
                               " hosts, not " + std::to_string(fastHosts));
        if (run < 0)
            continue;
        scrapeWallMs.push_back(ms(lastScrape.wall));
        scrapeCpuMs.push_back(ms(lastScrape.cpu));
    }
    const double scrapeShare = median(scrapeCpuMs) / median(engine.cpuMs);
    std::printf("\n/metrics scrape of %d hosts, medians of %d scrapes\n", fastHosts, options.runs);
    std::printf(
        "  %.2f ms wall, %.2f ms cpu (server and reader), %zu bytes; %.2f of a round's cpu\n",
        median(scrapeWallMs), median(scrapeCpuMs), lastScrape.bytes, scrapeShare);

    const double engineMedian = median(engine.overheadMs);
    const double engineP99 = percentile(engine.overheadMs, 99);
    const double toolMedian = median(tool.overheadMs);
    const double toolP99 = percentile(tool.overheadMs, 99);
    std::printf("\n%d hosts answering after %lld ms: reported time minus the delay, %zu requests "
                "each\n",
                slowHosts, static_cast<long long>(slowDelay.count()), engine.overheadMs.size());
    std::printf("                 median ms    p99 ms\n");
    std::printf("  Tarvik        %10.3f  %8.3f\n", engineMedian, engineP99);
    std::printf("  curl          %10.3f  %8.3f\n", toolMedian, toolP99);
    std::printf("  Tarvik - curl %10.3f  %8.3f\n", engineMedian - toolMedian, engineP99 - toolP99);

    const double worstStall = *std::max_element(stallMs.begin(), stallMs.end());
    std::printf(
        "\nLongest main-thread stall in a 1000-host round (1 ms precise timer): %.2f ms "
        "worst, %.2f ms median over %d rounds; the thread's longest stretch of its own work "
        "%.2f ms\n",
        worstStall, median(stallMs), options.runs, *std::max_element(busyMs.begin(), busyMs.end()));
    std::printf(
        "  ping() alone, which queues the 1000 requests before the loop runs again: %.2f ms "
        "median\n",
        median(pingMs));

    std::printf("\nTargets\n");
    std::printf("  wall ratio %.2f <= %.1f: %s\n", wallRatio, maxRatio,
                verdict(wallRatio <= maxRatio));
    std::printf("  cpu ratio %.2f <= %.1f: %s\n", cpuRatio, maxRatio,
                verdict(cpuRatio <= maxRatio));
    std::printf("  median excess %+.3f ms vs curl, within %.0f ms: %s\n", engineMedian - toolMedian,
                maxMedianExtraMs, verdict(engineMedian - toolMedian <= maxMedianExtraMs));
    std::printf("  p99 excess %+.3f ms vs curl, within %.0f ms: %s\n", engineP99 - toolP99,
                maxP99ExtraMs, verdict(engineP99 - toolP99 <= maxP99ExtraMs));
    std::printf("  longest stall %.2f ms <= %.0f ms: %s\n", worstStall, maxStallMs,
                verdict(worstStall <= maxStallMs));
    std::printf("  wall ratio without curl's start-up %.2f <= %.1f: %s\n", wallRatioNet,
                maxWallRatioWithoutStartup, verdict(wallRatioNet <= maxWallRatioWithoutStartup));
    std::printf("  cpu ratio without curl's start-up %.2f <= %.1f: %s\n", cpuRatioNet,
                maxCpuRatioWithoutStartup, verdict(cpuRatioNet <= maxCpuRatioWithoutStartup));
    std::printf("  a scrape costs %.2f of a round's cpu, < 1: %s\n", scrapeShare,
                verdict(scrapeShare < 1.0));
}

// What a body search costs: one round of 1000 hosts that all have bodyContains against the same
// round of hosts without options, which send the plain request and throw the body away.
void bodySection(const Options &options, BenchServer &server,
                 const std::vector<std::string> &fastUrls) {
    TRHostController plainEngine;
    TRHostController searchingEngine;
    addHosts(plainEngine, fastUrls);
    addHosts(searchingEngine, fastUrls);
    CheckOptions search;
    search.bodyContains = QStringLiteral("ok");
    for (const std::shared_ptr<Host> &host : searchingEngine.hosts())
        host->setCheckOptions(search);

    std::printf(
        "\nrun   1000 hosts: without options wall/cpu ms   with bodyContains wall/cpu ms\n");
    std::vector<double> plainWall, plainCpu, searchWall, searchCpu;
    for (int run = -1; run < options.runs; ++run) {
        RoundResult plain;
        RoundResult searching;
        alternate(
            run % 2 == 0,
            [&] {
                plain = runEngineRound(plainEngine, false, roundLimit);
                expectServed(server, fastHosts, "Tarvik, 1000 hosts without options");
            },
            [&] {
                searching = runEngineRound(searchingEngine, false, roundLimit);
                expectServed(server, fastHosts, "Tarvik, 1000 hosts with bodyContains");
            });
        std::printf("%-5s %27.1f / %6.1f   %23.1f / %6.1f\n",
                    run >= 0 ? std::to_string(run + 1).c_str() : "warm", ms(plain.wall),
                    ms(plain.cpu), ms(searching.wall), ms(searching.cpu));
        std::fflush(stdout);
        if (run < 0)
            continue;
        plainWall.push_back(ms(plain.wall));
        plainCpu.push_back(ms(plain.cpu));
        searchWall.push_back(ms(searching.wall));
        searchCpu.push_back(ms(searching.cpu));
    }
    using Stats::median;
    std::printf("\n1000 hosts with bodyContains against 1000 without options, medians of %d runs\n",
                options.runs);
    std::printf("                      wall ms    cpu ms\n");
    std::printf("  without options    %8.1f  %8.1f\n", median(plainWall), median(plainCpu));
    std::printf("  with bodyContains  %8.1f  %8.1f\n", median(searchWall), median(searchCpu));
    std::printf("  with/without       %8.2f  %8.2f\n", median(searchWall) / median(plainWall),
                median(searchCpu) / median(plainCpu));
}

int measure(const Options &options, const std::string &workDir) {
    const long descriptors = ResourceLimits::raiseDescriptorLimit();
    if (descriptors >= 0 && descriptors < fastHosts + 256)
        throw BenchFailure("only " + std::to_string(descriptors) + " descriptors; need " +
                           std::to_string(fastHosts + 256));

    MachineLoad load;
    load.start();
    CurlRunner curl(options.curl, workDir);
    const std::string curlVersion = curl.versionLine();
    std::printf("Tarvik benchmark: %u cores, Qt %s, engine on libcurl %s\n",
                std::thread::hardware_concurrency(), qVersion(),
                curl_version_info(CURLVERSION_NOW)->version);
    std::printf("yardstick: %s\n", curlVersion.c_str());
    std::printf("%d runs after one warm-up run\n\n", options.runs);

    if (options.wants("http") || options.wants("check") || options.wants("bodies")) {
        BenchServer server;
        server.start(TARVIK_BENCH_SERVER, fastHosts, slowDelay, serverLifetime);
        const std::vector<std::string> fastUrls = urls("http", fastHosts, server.port(), "/");
        const std::string fastConfig = curl.writeConfig("fast", fastUrls);
        if (options.wants("http"))
            httpSection(options, curl, server, fastUrls, fastConfig, workDir);
        if (options.wants("check"))
            CheckCommandSection(options, curl, workDir).run(fastUrls, fastConfig, server);
        if (options.wants("bodies"))
            bodySection(options, server, fastUrls);
        if (!server.stop())
            throw BenchFailure("the server did not exit cleanly");
    }
    if (options.wants("https"))
        HttpsSection(options, curl, workDir).run();
    const double foreignShare =
        double(load.foreignCpu().count()) / double(std::max<long long>(1, load.capacity().count()));
    std::printf("\nOther processes used %.1f%% of the machine during the run", 100 * foreignShare);
    if (foreignShare > maxForeignShare)
        std::printf(": BUSY MACHINE, these figures are disturbed; rerun on an idle machine\n");
    else
        std::printf(" (quiet enough)\n");
    return 0;
}
} // namespace

int main(int argc, char **argv) {
    clearProxies();
    // Settings (the host list `tarvik --check` reads, the frequency) go to a folder of the run's
    // own, never the user's.
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "tarvik_bench: no temporary directory\n");
        return 1;
    }
    setenv("XDG_CONFIG_HOME", QDir(work.path()).filePath(QStringLiteral("config")).toLocal8Bit(),
           1);
    QCoreApplication app(argc, argv);
    try {
        return measure(parseOptions(argc, argv), work.path().toStdString());
    } catch (const std::exception &failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "tarvik_bench: %s\n", failure.what());
        return 1;
    }
}
