#pragma once

#include <chrono>

// How much CPU the rest of the machine used while the benchmark ran: every busy tick in
// /proc/stat minus what this process and its reaped children (the server, every curl run)
// consumed. With two cores and three busy processes of its own, any outside work shows up
// directly as longer wall times and stalls, so the run says when its figures were disturbed.
class MachineLoad {
public:
    // Starts counting; call before any child is started.
    void start();
    // CPU time of other processes since start(). Reap every child first.
    std::chrono::nanoseconds foreignCpu() const;
    // Wall time since start() multiplied by the number of cores.
    std::chrono::nanoseconds capacity() const;

private:
    static std::chrono::nanoseconds busyTime();
    static std::chrono::nanoseconds ownCpu();

    std::chrono::steady_clock::time_point started_;
    std::chrono::nanoseconds busyAtStart_{};
    std::chrono::nanoseconds ownAtStart_{};
};
