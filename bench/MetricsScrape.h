#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

class MetricsServer;
class ProbeMetrics;

// One scrape of /metrics, served by the program's own server on this thread's loop and read by a
// plain socket in the same process (so the figure includes the reading side too: an upper bound
// for the server's share). Throws BenchFailure when the answer is not a complete 200.
struct ScrapeResult {
    std::chrono::nanoseconds wall{};
    std::chrono::nanoseconds cpu{};
    std::size_t bytes = 0; // the body
    int probes = 0;        // probe_success samples in it
};

class MetricsScrape {
public:
    explicit MetricsScrape(const ProbeMetrics &metrics);
    ~MetricsScrape();

    ScrapeResult run(std::chrono::seconds limit);

private:
    std::unique_ptr<MetricsServer> server_;
};
