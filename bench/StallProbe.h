#pragma once

#include <QTimer>

#include <chrono>

// Measures how long the thread's event loop stays away: a repeating precise timer on the same
// thread notes the gap between consecutive firings, and the largest gap beyond the interval is
// the longest stall a user of that thread would have seen. Each gap's CPU time on the thread is
// noted too: on a busy machine a gap may be the scheduler's (the thread was ready but another
// process ran), and the CPU says how much of it was the thread's own work.
class StallProbe {
public:
    explicit StallProbe(std::chrono::milliseconds interval = std::chrono::milliseconds(1));

    void start();
    // The time from the last firing to now counts too: a stall may run right up to the stop.
    void stop();
    std::chrono::nanoseconds longestStall() const;
    // The most CPU the thread spent between two firings: its longest stretch of its own work.
    std::chrono::nanoseconds longestBusy() const { return longestBusy_; }

private:
    using Clock = std::chrono::steady_clock;
    void note();

    QTimer timer_;
    std::chrono::milliseconds interval_;
    Clock::time_point last_;
    std::chrono::nanoseconds lastCpu_{};
    std::chrono::nanoseconds longestGap_{};
    std::chrono::nanoseconds longestBusy_{};
};
