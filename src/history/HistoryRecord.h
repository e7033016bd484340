#pragma once

#include <QtGlobal>

#include <array>

// One check in a host's history, kept small because a day of one-minute checks for a thousand
// hosts is 1.4 million of them: whole seconds are enough to place a check on a day's chart, and
// single-precision seconds keep durations to well under a microsecond at the scale of a check.
struct HistoryRecord {
    enum Flag : quint8 { Up = 1, HasPhases = 2 };
    enum Phase { Dns, Connect, Tls, Processing, Transfer, PhaseCount };

    quint32 time = 0;                       // seconds since 1970-01-01 UTC
    float total = 0;                        // seconds
    std::array<float, PhaseCount> phases{}; // seconds, when HasPhases
    quint16 reason = 0;                     // index into the host's reason texts; 0 is none
    quint8 flags = 0;
    quint8 reserved = 0;

    bool up() const { return flags & Up; }
    bool hasPhases() const { return flags & HasPhases; }
};

static_assert(sizeof(HistoryRecord) == 32, "a record is meant to stay 32 bytes");
