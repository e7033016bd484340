#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <string>

// The driver's handle on tarvik_bench_server: starts it, asks it what it served, and stops it.
// The server also stops by itself when this process dies (its stdin closes) or its lifetime ends.
class BenchServer {
public:
    struct Stats {
        long served = 0; // complete answers sent since the last call
        long peak = 0;   // most connections open at once since the last call
    };

    BenchServer() = default;
    ~BenchServer();
    BenchServer(const BenchServer &) = delete;
    BenchServer &operator=(const BenchServer &) = delete;

    // Starts the server and waits until it listens; throws BenchFailure otherwise. With
    // `caFile`, the hosts speak https and the authority that signed them is written there.
    void start(const std::string &program, int hosts, std::chrono::milliseconds slowDelay,
               std::chrono::seconds lifetime, const std::string &caFile = {});
    int port() const { return port_; }
    Stats takeStats();
    // Ends the server through its stdin; true when it exited cleanly.
    bool stop();

private:
    std::string readLine(std::chrono::milliseconds limit);

    ChildProcess process_;
    int toServer_ = -1;
    int fromServer_ = -1;
    std::string pending_;
    int port_ = 0;
};
