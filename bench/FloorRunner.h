#pragma once

#include "RoundResult.h"

#include <chrono>
#include <string>
#include <vector>

// Runs tarvik_bench_floor (see floor_main.cpp): the engine's requests made by a bare libcurl
// loop, the trust store read once. Its CPU is what the floor process reports for the requests
// alone, without its start-up and its first, store-reading transfer.
class FloorRunner {
public:
    FloorRunner(std::string program, std::string workDir);

    // Writes the URL file for `urls`; returns its path.
    std::string writeUrls(const std::string &name, const std::vector<std::string> &urls) const;
    // One run; every transfer must answer 200, else BenchFailure.
    RoundResult run(const std::string &urlFile, const std::string &caFile, int expected,
                    std::chrono::seconds limit) const;

private:
    std::string program_;
    std::string workDir_;
};
