#include "StallProbe.h"

#include <algorithm>

StallProbe::StallProbe(std::chrono::milliseconds interval)
    : interval_(interval) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(interval_);
    QObject::connect(&timer_, &QTimer::timeout, [this] { note(); });
}

void StallProbe::start() {
    longestGap_ = {};
    last_ = Clock::now();
    timer_.start();
}

void StallProbe::stop() {
    timer_.stop();
    note();
}

void StallProbe::note() {
    const Clock::time_point now = Clock::now();
    longestGap_ = std::max<std::chrono::nanoseconds>(longestGap_, now - last_);
    last_ = now;
}

std::chrono::nanoseconds StallProbe::longestStall() const {
    return std::max<std::chrono::nanoseconds>(longestGap_ - interval_, std::chrono::nanoseconds{});
}
