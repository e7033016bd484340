#pragma once

#include "BenchSupport.h"

#include <string>
#include <vector>

class BenchServer;
class CurlRunner;

// The whole `tarvik --check` and `tarvikd --check` programs against the whole curl program over
// the same hosts: start-up, reading the stored list, the round and printing every result, as
// someone timing either from a shell would see it; then their start-up alone, over an empty list.
// With a reference tarvik (another build's, today's main say), its --check is timed in the same
// runs. Every program is a separate process; their CPU comes from the kernel.
class CheckCommandSection {
public:
    CheckCommandSection(const BenchSupport::Options &options, const CurlRunner &curl,
                        std::string workDir);

    // Stores `urls` as the host list, then takes turns among the programs over them.
    void run(const std::vector<std::string> &urls, const std::string &curlConfig,
             BenchServer &server);

private:
    const BenchSupport::Options &options_;
    const CurlRunner &curl_;
    std::string workDir_;
};
