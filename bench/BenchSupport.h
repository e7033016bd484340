#pragma once

#include "BenchFailure.h"
#include "BenchServer.h"
#include "LoopbackHosts.h"
#include "monitoring/TRHostController.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// What every section of the benchmark shares: the run's options, address lists, and the small
// checks and verdicts around a round.
namespace BenchSupport {
struct Options {
    int runs = 7;
    std::string curl = "curl";
    std::string only; // sections to run, comma-separated; empty for all
    // A tarvik of another build (today's main, say) whose whole --check is timed beside this
    // build's tarvikd --check; empty for none.
    std::string referenceCheck;

    bool wants(const std::string &section) const {
        return only.empty() || ("," + only + ",").find("," + section + ",") != std::string::npos;
    }
};

inline double ms(std::chrono::nanoseconds duration) {
    return double(duration.count()) / 1e6;
}

inline std::vector<std::string> urls(const char *scheme, int count, int port, const char *path) {
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i)
        list.push_back(std::string(scheme) + "://" + LoopbackHosts::dotted(i) + ":" +
                       std::to_string(port) + path);
    return list;
}

inline void addHosts(TRHostController &engine, const std::vector<std::string> &list) {
    HostList hosts = engine.hosts();
    for (const std::string &url : list)
        hosts.push_back(std::make_shared<Host>(QString::fromStdString(url)));
    engine.setHosts(std::move(hosts));
}

// The server's peak of open connections since the last call, once it has answered `expected`.
inline double expectServed(BenchServer &server, long expected, const char *what) {
    const BenchServer::Stats stats = server.takeStats();
    if (stats.served != expected)
        throw BenchFailure(std::string(what) + ": the server answered " +
                           std::to_string(stats.served) + " requests, not " +
                           std::to_string(expected));
    return double(stats.peak);
}

inline const char *verdict(bool met) {
    return met ? "met" : "MISSED";
}

// Runs `first` then `second`, or the other way round, so neither client always inherits the
// other's leftovers (TIME_WAIT entries, cache state).
template <typename A, typename B> void alternate(bool engineFirst, A engineSide, B otherSide) {
    if (engineFirst) {
        engineSide();
        otherSide();
    } else {
        otherSide();
        engineSide();
    }
}
} // namespace BenchSupport
