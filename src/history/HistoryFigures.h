#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

class HostHistory;

// The figures the details window and the hosts window show, worked out from a history alone so
// they can be checked without drawing anything.
class HistoryFigures {
public:
    struct Uptime {
        int up = 0;
        int checks = 0;
        // Successful checks among all checks; nothing when there was no check.
        std::optional<double> ratio() const;
    };
    // The checks made after `from` and up to `to`.
    static Uptime uptime(const HostHistory &history, const QDateTime &from, const QDateTime &to);
    // "99.93 % (1439 of 1440 checks)", "no checks". The percentage is cut, not rounded, so
    // only a clean record ever reads 100 %.
    static QString uptimeText(const Uptime &uptime);

    // A stretch of time the host was seen down, seconds since 1970 UTC.
    struct Period {
        qint64 start = 0;
        qint64 end = 0;
        bool operator==(const Period &) const = default;
    };
    // Each failed check marks the time until the next check as down, but no longer than
    // `longestGap` seconds: a host that was paused, or a machine that slept, was not down all
    // that while. A failed last check reaches to `now` (within the same limit). Adjoining
    // stretches are joined.
    static std::vector<Period> downPeriods(const HostHistory &history, qint64 longestGap,
                                           const QDateTime &now);

    // "Up, 123 ms", "Down: HTTP status 503"; "Not checked yet" for an empty history.
    static QString lastResultText(const HostHistory &history);
    // "7 Jan 2027, in 31 days", "expired 3 days ago", "expires today"; "not known" without one.
    static QString certificateText(const std::optional<QDateTime> &expiry, const QDateTime &now);
    // A duration as shown beside a chart: "850 µs", "123 ms", "2.45 s".
    static QString durationText(double seconds);
};
