#pragma once

#include "BenchSupport.h"

#include <string>

class CurlRunner;

// The benchmark over https: a server of its own whose hosts carry certificates from an authority
// made for the run, trusted the way the system's authorities are (a bundle holding it and the
// system's bundle, with libcurl's default folder beside it, so the choice of store is exercised
// too). Prints, against the floor program in the same run: the CPU of one check, the durations
// of 100 hosts checked at once, the longest stall of the engine's thread in a 1000-host round,
// that round against curl --parallel, and what 50 hosts checked every minute cost in an hour.
class HttpsSection {
public:
    HttpsSection(const BenchSupport::Options &options, const CurlRunner &curl, std::string workDir);

    void run();

private:
    const BenchSupport::Options &options_;
    const CurlRunner &curl_;
    std::string workDir_;
};
