#include "CheckCommandSection.h"

#include "BenchFailure.h"
#include "BenchServer.h"
#include "ChildProcess.h"
#include "CurlRunner.h"
#include "Stats.h"
#include "monitoring/HostStore.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

namespace {
using namespace BenchSupport;
using namespace std::chrono_literals;

constexpr double maxWallRatio = 1.0;
constexpr double maxCpuRatio = 0.9;
// tarvikd loads no GUI library, so its whole --check is to start and end sooner than tarvik's.
constexpr double maxServerRatio = 1.0;

std::chrono::nanoseconds cpuTime(const rusage &usage) {
    using namespace std::chrono;
    return seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// One `PROGRAM --check`; every host must be reported up.
RoundResult runCheck(const std::string &program, const std::string &out, int expected) {
    ChildProcess child;
    RoundResult result;
    const std::string what = program + " --check";
    const auto started = std::chrono::steady_clock::now();
    {
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int output = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || output < 0)
            throw BenchFailure("cannot open " + out);
        child.start({program, "--check"}, in, output, STDERR_FILENO);
        close(in);
        close(output);
    }
    const auto exit = child.wait(60s);
    result.wall = std::chrono::steady_clock::now() - started;
    if (!exit)
        throw BenchFailure(what + " overran and was killed");
    if (!WIFEXITED(exit->status) || WEXITSTATUS(exit->status) != 0)
        throw BenchFailure(what + " did not report every host up (status " +
                           std::to_string(WEXITSTATUS(exit->status)) + ")");
    result.cpu = cpuTime(exit->usage);
    std::ifstream written(out);
    int up = 0;
    for (std::string line; std::getline(written, line);)
        up += line.starts_with("up ");
    if (up != expected)
        throw BenchFailure(what + " reported " + std::to_string(up) + " hosts up, not " +
                           std::to_string(expected));
    return result;
}

struct Contender {
    std::string label;
    std::function<RoundResult()> run;
    std::vector<double> wall;
    std::vector<double> cpu;
};

// Runs every contender once per run, a different one first each time, so none always inherits
// another's leftovers (TIME_WAIT entries, cache state); the first run warms up and is not counted.
void takeTurns(std::vector<Contender> &contenders, int runs) {
    const size_t count = contenders.size();
    for (int run = -1; run < runs; ++run) {
        for (size_t i = 0; i < count; ++i) {
            Contender &contender = contenders[(size_t(run + 1) + i) % count];
            const RoundResult result = contender.run();
            if (run >= 0) {
                contender.wall.push_back(ms(result.wall));
                contender.cpu.push_back(ms(result.cpu));
            }
        }
    }
}

void printTable(const std::vector<Contender> &contenders) {
    using Stats::median;
    std::printf("                             wall ms    cpu ms\n");
    for (const Contender &contender : contenders)
        std::printf("  %-25s %7.1f  %8.1f\n", contender.label.c_str(), median(contender.wall),
                    median(contender.cpu));
}

// How `server` compares with `other`, as medians: wall and CPU ratios and whether both are met.
void printServerAgainst(const Contender &server, const Contender &other) {
    using Stats::median;
    const double wall = median(server.wall) / median(other.wall);
    const double cpu = median(server.cpu) / median(other.cpu);
    std::printf("  tarvikd against %s: wall ratio %.2f, cpu ratio %.2f; target < %.1f: %s\n",
                other.label.c_str(), wall, cpu, maxServerRatio,
                verdict(wall < maxServerRatio && cpu < maxServerRatio));
}
} // namespace

CheckCommandSection::CheckCommandSection(const BenchSupport::Options &options,
                                         const CurlRunner &curl, std::string workDir)
    : options_(options)
    , curl_(curl)
    , workDir_(std::move(workDir)) {}

void CheckCommandSection::run(const std::vector<std::string> &urls, const std::string &curlConfig,
                              BenchServer &server) {
    HostList hosts;
    for (const std::string &url : urls)
        hosts.push_back(std::make_shared<Host>(QString::fromStdString(url)));
    if (!HostStore::write(hosts))
        throw BenchFailure("cannot store the host list for tarvik --check");
    const int count = int(urls.size());
    const std::string out = workDir_ + "/check.out";

    // Each of these checks the whole list; `expected` is how many hosts each must report up.
    int expected = count;
    const auto check = [&](const std::string &label, const std::string &program) {
        return Contender{label,
                         [&, label, program] {
                             const RoundResult result = runCheck(program, out, expected);
                             if (expected > 0)
                                 expectServed(server, expected, label.c_str());
                             return result;
                         },
                         {},
                         {}};
    };
    std::vector<Contender> contenders{check("tarvik --check", TARVIK_BINARY),
                                      check("tarvikd --check", TARVIKD_BINARY)};
    if (!options_.referenceCheck.empty())
        contenders.push_back(check("reference tarvik --check", options_.referenceCheck));
    contenders.push_back(Contender{"curl",
                                   [&] {
                                       const RoundResult result = curl_.run(curlConfig, count, 60s);
                                       expectServed(server, count, "curl, for tarvik --check");
                                       return result;
                                   },
                                   {},
                                   {}});
    takeTurns(contenders, options_.runs);

    using Stats::median;
    const Contender &tarvik = contenders[0];
    const Contender &tarvikd = contenders[1];
    const Contender &curl = contenders.back();
    const double wallRatio = median(tarvik.wall) / median(curl.wall);
    const double cpuRatio = median(tarvik.cpu) / median(curl.cpu);
    std::printf("\nThe whole tarvik --check and tarvikd --check against the whole curl --parallel, "
                "%d hosts, medians of %d runs\n",
                count, options_.runs);
    if (!options_.referenceCheck.empty())
        std::printf("(reference: %s)\n", options_.referenceCheck.c_str());
    printTable(contenders);
    std::printf("  Targets: wall ratio %.2f <= %.1f: %s; cpu ratio %.2f <= %.1f: %s\n", wallRatio,
                maxWallRatio, verdict(wallRatio <= maxWallRatio), cpuRatio, maxCpuRatio,
                verdict(cpuRatio <= maxCpuRatio));
    printServerAgainst(tarvikd, tarvik);
    if (!options_.referenceCheck.empty())
        printServerAgainst(tarvikd, contenders[2]);

    // Start-up alone: the same programs over an empty list, which start, find nothing to check
    // and end.
    if (!HostStore::write({}))
        throw BenchFailure("cannot store the empty host list");
    expected = 0;
    std::vector<Contender> starts(contenders.begin(), contenders.end() - 1);
    for (Contender &start : starts) {
        start.wall.clear();
        start.cpu.clear();
    }
    takeTurns(starts, options_.runs);
    std::printf("\nStart-up alone (an empty list), medians of %d runs\n", options_.runs);
    printTable(starts);
    printServerAgainst(starts[1], starts[0]);
    if (!options_.referenceCheck.empty())
        printServerAgainst(starts[1], starts[2]);
    std::fflush(stdout);
}
