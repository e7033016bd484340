#pragma once

#include "RoundResult.h"

#include <chrono>
#include <string>
#include <vector>

// Runs the curl command-line tool as the yardstick: one process per round, every URL in
// parallel, bodies thrown away, each transfer's status and total time written out.
class CurlRunner {
public:
    // What the tool is asked for; the 7.x tool silently lowers it to 300.
    static constexpr int parallelMax = 1000;

    CurlRunner(std::string program, std::string workDir);

    // The first line of `curl --version`; throws BenchFailure when the tool does not run.
    std::string versionLine() const;
    // Writes a config file naming every URL and sending each body to /dev/null; returns its path.
    std::string writeConfig(const std::string &name, const std::vector<std::string> &urls) const;
    // One run over `config`, with `extra` arguments; all `expected` transfers must answer 200,
    // else BenchFailure.
    RoundResult run(const std::string &config, int expected, std::chrono::seconds limit,
                    const std::vector<std::string> &extra = {}) const;

private:
    std::string program_;
    std::string workDir_;
};
