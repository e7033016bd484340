#pragma once

#include <QDateTime>

// The engine's rounds are timed on the wall clock; tests move time through their own clock
// instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The process-wide real clock; lives for the whole run.
    static const Clock &system();
};
