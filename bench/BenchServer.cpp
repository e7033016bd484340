#include "BenchServer.h"

#include "BenchFailure.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
using namespace std::chrono_literals;

void closeIfOpen(int &fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}
} // namespace

BenchServer::~BenchServer() {
    stop();
}

void BenchServer::start(const std::string &program, int hosts, std::chrono::milliseconds slowDelay,
                        std::chrono::seconds lifetime, const std::string &caFile) {
    // Close-on-exec everywhere: a curl child holding the write end would keep the server alive.
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        throw BenchFailure(std::string("pipe2: ") + std::strerror(errno));
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        throw BenchFailure(std::string("pipe2: ") + std::strerror(errno));
    }
    toServer_ = input[1];
    fromServer_ = output[0];
    try {
        std::vector<std::string> argv = {program, std::to_string(hosts),
                                         std::to_string(slowDelay.count()),
                                         std::to_string(lifetime.count())};
        if (!caFile.empty())
            argv.push_back(caFile);
        process_.start(argv, input[0], output[1], STDERR_FILENO);
    } catch (...) {
        close(input[0]);
        close(output[1]);
        throw;
    }
    close(input[0]);
    close(output[1]);

    // Binding a thousand listeners (and signing their certificates) takes well under a second;
    // ten seconds means it is broken.
    const std::string line = readLine(10s);
    int port = 0;
    if (std::sscanf(line.c_str(), "ready %d", &port) != 1 || port <= 0)
        throw BenchFailure("the server did not start (said \"" + line + "\")");
    port_ = port;
}

BenchServer::Stats BenchServer::takeStats() {
    static constexpr char request[] = "stats\n";
    if (write(toServer_, request, sizeof request - 1) != ssize_t(sizeof request - 1))
        throw BenchFailure("the server no longer reads its input");
    const std::string line = readLine(5s);
    Stats stats;
    if (std::sscanf(line.c_str(), "stats served=%ld peak=%ld", &stats.served, &stats.peak) != 2)
        throw BenchFailure("the server gave no statistics (said \"" + line + "\")");
    return stats;
}

bool BenchServer::stop() {
    if (!process_.running())
        return true;
    closeIfOpen(toServer_);
    const auto exit = process_.wait(5s);
    closeIfOpen(fromServer_);
    return exit && WIFEXITED(exit->status) && WEXITSTATUS(exit->status) == 0;
}

std::string BenchServer::readLine(std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + limit;
    for (;;) {
        const std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            return {};
        pollfd ready = {fromServer_, POLLIN, 0};
        const int count = poll(&ready, 1, int(left.count()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return {};
        char buffer[256];
        const ssize_t got = read(fromServer_, buffer, sizeof buffer);
        if (got <= 0)
            return {};
        pending_.append(buffer, std::size_t(got));
    }
}
