#pragma once

#include <chrono>
#include <vector>

// What one round of either client cost and reported.
struct RoundResult {
    std::chrono::nanoseconds wall{};
    std::chrono::nanoseconds cpu{};
    std::chrono::nanoseconds mainThreadCpu{}; // engine rounds: the part on the engine's thread
    std::vector<double> seconds;              // each request's total time as libcurl reported it
    std::chrono::nanoseconds longestStall{};  // engine rounds run with the stall probe only
    std::chrono::nanoseconds longestBusy{};   // the same: the most CPU of the thread in one gap
    std::chrono::nanoseconds pingCall{};      // engine rounds: ping() itself, before the loop runs
};
