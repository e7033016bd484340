#pragma once

#include <chrono>
#include <ctime>

// CPU time of all threads of this process; the server and curl run in others.
inline std::chrono::nanoseconds processCpuTime() {
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// CPU time of the calling thread alone: with the transfers on a thread of their own, what is
// left of a round on the main thread.
inline std::chrono::nanoseconds threadCpuTime() {
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}
