#include "MachineLoad.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

namespace {
std::chrono::nanoseconds cpuTime(const rusage &usage) {
    using namespace std::chrono;
    return seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}
} // namespace

void MachineLoad::start() {
    started_ = std::chrono::steady_clock::now();
    busyAtStart_ = busyTime();
    ownAtStart_ = ownCpu();
}

std::chrono::nanoseconds MachineLoad::foreignCpu() const {
    const auto foreign = (busyTime() - busyAtStart_) - (ownCpu() - ownAtStart_);
    return std::max(foreign, std::chrono::nanoseconds{});
}

std::chrono::nanoseconds MachineLoad::capacity() const {
    return (std::chrono::steady_clock::now() - started_) *
           std::max(1u, std::thread::hardware_concurrency());
}

std::chrono::nanoseconds MachineLoad::busyTime() {
    // cpu user nice system idle iowait irq softirq steal ...; guest time is already in user.
    std::ifstream stat("/proc/stat");
    std::string label;
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> label >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    if (!stat || label != "cpu")
        return {};
    const long long ticks = user + nice + system + irq + softirq + steal;
    const long hertz = sysconf(_SC_CLK_TCK);
    return std::chrono::nanoseconds(ticks * (1000000000LL / (hertz > 0 ? hertz : 100)));
}

std::chrono::nanoseconds MachineLoad::ownCpu() {
    rusage self = {};
    rusage children = {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return cpuTime(self) + cpuTime(children);
}
