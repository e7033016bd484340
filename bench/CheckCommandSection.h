#pragma once

#include "BenchSupport.h"

#include <string>
#include <vector>

class BenchServer;
class CurlRunner;

// The whole `tarvik --check` program against the whole curl program over the same hosts: start-
// up, reading the stored list, the round and printing every result, as someone timing either
// from a shell would see it. Both are separate processes; their CPU comes from the kernel.
class CheckCommandSection {
public:
    CheckCommandSection(const BenchSupport::Options &options, const CurlRunner &curl,
                        std::string workDir);

    // Stores `urls` as the host list, then alternates the two programs over them.
    void run(const std::vector<std::string> &urls, const std::string &curlConfig,
             BenchServer &server);

private:
    const BenchSupport::Options &options_;
    const CurlRunner &curl_;
    std::string workDir_;
};
