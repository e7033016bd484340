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

namespace {
using namespace BenchSupport;
using namespace std::chrono_literals;

constexpr double maxWallRatio = 1.0;
constexpr double maxCpuRatio = 0.9;

std::chrono::nanoseconds cpuTime(const rusage &usage) {
    using namespace std::chrono;
    return seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// One `tarvik --check`; every host must be reported up.
RoundResult runCheck(const std::string &out, int expected) {
    ChildProcess child;
    RoundResult result;
    const auto started = std::chrono::steady_clock::now();
    {
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int output = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || output < 0)
            throw BenchFailure("cannot open " + out);
        child.start({TARVIK_BINARY, "--check"}, in, output, STDERR_FILENO);
        close(in);
        close(output);
    }
    const auto exit = child.wait(60s);
    result.wall = std::chrono::steady_clock::now() - started;
    if (!exit)
        throw BenchFailure("tarvik --check overran and was killed");
    if (!WIFEXITED(exit->status) || WEXITSTATUS(exit->status) != 0)
        throw BenchFailure("tarvik --check did not report every host up (status " +
                           std::to_string(WEXITSTATUS(exit->status)) + ")");
    result.cpu = cpuTime(exit->usage);
    std::ifstream written(out);
    int up = 0;
    for (std::string line; std::getline(written, line);)
        up += line.starts_with("up ");
    if (up != expected)
        throw BenchFailure("tarvik --check reported " + std::to_string(up) + " hosts up, not " +
                           std::to_string(expected));
    return result;
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

    std::vector<double> tarvikWall, tarvikCpu, curlWall, curlCpu;
    for (int run = -1; run < options_.runs; ++run) {
        RoundResult tarvik;
        RoundResult curl;
        alternate(
            run % 2 == 0,
            [&] {
                tarvik = runCheck(out, count);
                expectServed(server, count, "tarvik --check");
            },
            [&] {
                curl = curl_.run(curlConfig, count, 60s);
                expectServed(server, count, "curl, for tarvik --check");
            });
        if (run < 0)
            continue;
        tarvikWall.push_back(ms(tarvik.wall));
        tarvikCpu.push_back(ms(tarvik.cpu));
        curlWall.push_back(ms(curl.wall));
        curlCpu.push_back(ms(curl.cpu));
    }
    using Stats::median;
    const double wallRatio = median(tarvikWall) / median(curlWall);
    const double cpuRatio = median(tarvikCpu) / median(curlCpu);
    std::printf("\nThe whole tarvik --check against the whole curl --parallel, %d hosts, "
                "medians of %d runs\n",
                count, options_.runs);
    std::printf("                 wall ms    cpu ms\n");
    std::printf("  tarvik --check %7.1f  %8.1f\n", median(tarvikWall), median(tarvikCpu));
    std::printf("  curl          %8.1f  %8.1f\n", median(curlWall), median(curlCpu));
    std::printf("  Targets: wall ratio %.2f <= %.1f: %s; cpu ratio %.2f <= %.1f: %s\n", wallRatio,
                maxWallRatio, verdict(wallRatio <= maxWallRatio), cpuRatio, maxCpuRatio,
                verdict(cpuRatio <= maxCpuRatio));
    std::fflush(stdout);
}
