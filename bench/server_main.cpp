// The benchmark's loopback HTTP server; see LoopbackServer.h. Runs as its own process so that
// its work is counted against neither client.
//
//   tarvik_bench_server HOSTS SLOW_DELAY_MS LIFETIME_SECONDS [CA_FILE]
//
// With CA_FILE every host speaks https, and the authority that signed their certificates is
// written there first. Prints "ready PORT" once every listener is bound.

#include "LoopbackHosts.h"
#include "LoopbackServer.h"
#include "commandline/ResourceLimits.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {
int number(const char *text, int low, int high) {
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || value < low || value > high)
        return -1;
    return int(value);
}
} // namespace

int main(int argc, char **argv) {
    const long descriptors = ResourceLimits::raiseDescriptorLimit();
    std::signal(SIGPIPE, SIG_IGN);

    const bool valid = argc == 4 || argc == 5;
    const int hosts = valid ? number(argv[1], 1, LoopbackHosts::maxHosts) : -1;
    const int delayMs = valid ? number(argv[2], 0, 60000) : -1;
    const int lifetime = valid ? number(argv[3], 1, 3600) : -1;
    if (hosts < 0 || delayMs < 0 || lifetime < 0) {
        std::fprintf(stderr,
                     "usage: tarvik_bench_server HOSTS SLOW_DELAY_MS LIFETIME_SECONDS [CA_FILE]\n");
        return 2;
    }
    // A listener and a connection per host, plus a margin.
    if (descriptors >= 0 && descriptors < 2L * hosts + 64) {
        std::fprintf(stderr, "tarvik_bench_server: only %ld descriptors for %d hosts\n",
                     descriptors, hosts);
        return 1;
    }

    std::string error;
    std::unique_ptr<ServerTls> tls;
    if (argc == 5) {
        tls = std::make_unique<ServerTls>();
        if (!tls->create(hosts, argv[4], error)) {
            std::fprintf(stderr, "tarvik_bench_server: %s\n", error.c_str());
            return 1;
        }
    }
    LoopbackServer server(hosts, std::chrono::milliseconds(delayMs), std::move(tls));
    const int port = server.listen(error);
    if (port == 0) {
        std::fprintf(stderr, "tarvik_bench_server: %s\n", error.c_str());
        return 1;
    }
    std::printf("ready %d\n", port);
    std::fflush(stdout);
    if (!server.run(std::chrono::seconds(lifetime), error)) {
        std::fprintf(stderr, "tarvik_bench_server: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
