#include "StallProbe.h"

#include "ProcessCpu.h"

#include <algorithm>

StallProbe::StallProbe(std::chrono::milliseconds interval)
    : interval_(interval) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(interval_);
    QObject::connect(&timer_, &QTimer::timeout, [this] { note(); });
}

void StallProbe::start() {
    longestGap_ = {};
    longestBusy_ = {};
    last_ = Clock::now();
    lastCpu_ = threadCpuTime();
    timer_.start();
}

void StallProbe::stop() {
    timer_.stop();
    note();
}

void StallProbe::note() {
    const Clock::time_point now = Clock::now();
    const std::chrono::nanoseconds cpu = threadCpuTime();
    longestGap_ = std::max<std::chrono::nanoseconds>(longestGap_, now - last_);
    longestBusy_ = std::max(longestBusy_, cpu - lastCpu_);
    last_ = now;
    lastCpu_ = cpu;
}

std::chrono::nanoseconds StallProbe::longestStall() const {
    return std::max<std::chrono::nanoseconds>(longestGap_ - interval_, std::chrono::nanoseconds{});
}
