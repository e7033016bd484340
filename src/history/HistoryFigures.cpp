#include "history/HistoryFigures.h"

#include "history/HostHistory.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {
QLatin1String plural(qint64 count) {
    return QLatin1String(count == 1 ? "" : "s");
}
} // namespace

std::optional<double> HistoryFigures::Uptime::ratio() const {
    if (checks <= 0)
        return std::nullopt;
    return double(up) / double(checks);
}

HistoryFigures::Uptime HistoryFigures::uptime(const HostHistory &history, const QDateTime &from,
                                              const QDateTime &to) {
    const qint64 after = from.toSecsSinceEpoch();
    const qint64 until = to.toSecsSinceEpoch();
    Uptime result;
    // Newest first, stopping at the first check that is too old: the window is usually the
    // last hour of a day's history.
    for (int i = history.size() - 1; i >= 0; --i) {
        const HistoryRecord &record = history.at(i);
        if (qint64(record.time) <= after)
            break;
        if (qint64(record.time) > until)
            continue;
        ++result.checks;
        result.up += record.up() ? 1 : 0;
    }
    return result;
}

QString HistoryFigures::uptimeText(const Uptime &uptime) {
    const std::optional<double> ratio = uptime.ratio();
    if (!ratio)
        return QStringLiteral("no checks");
    // Hundredths of a percent, cut: 1439 of 1440 is 99.93 %, never 100 %.
    const double hundredths = std::floor(*ratio * 10000.0 + 1e-9);
    return QStringLiteral("%1 % (%2 of %3 checks)")
        .arg(hundredths / 100.0, 0, 'f', uptime.up == uptime.checks ? 0 : 2)
        .arg(uptime.up)
        .arg(uptime.checks);
}

std::vector<HistoryFigures::Period>
HistoryFigures::downPeriods(const HostHistory &history, qint64 longestGap, const QDateTime &now) {
    std::vector<Period> periods;
    const qint64 nowSeconds = now.toSecsSinceEpoch();
    for (int i = 0; i < history.size(); ++i) {
        const HistoryRecord &record = history.at(i);
        if (record.up())
            continue;
        const qint64 start = record.time;
        const qint64 next = i + 1 < history.size() ? qint64(history.at(i + 1).time) : nowSeconds;
        const qint64 end = std::max(start, std::min(next, start + longestGap));
        if (!periods.empty() && periods.back().end >= start)
            periods.back().end = std::max(periods.back().end, end);
        else
            periods.push_back({start, end});
    }
    return periods;
}

QString HistoryFigures::durationText(double seconds) {
    if (seconds < 0.001)
        return QStringLiteral("%1 µs").arg(std::lround(seconds * 1e6));
    if (seconds < 1.0)
        return QStringLiteral("%1 ms").arg(std::lround(seconds * 1e3));
    return QStringLiteral("%1 s").arg(seconds, 0, 'f', 2);
}

QString HistoryFigures::lastResultText(const HostHistory &history) {
    if (history.isEmpty())
        return QStringLiteral("Not checked yet");
    const int last = history.size() - 1;
    const HistoryRecord &record = history.at(last);
    if (record.up())
        return QStringLiteral("Up, ") + durationText(record.total);
    const QString reason = history.reason(last);
    return reason.isEmpty() ? QStringLiteral("Down") : QStringLiteral("Down: ") + reason;
}

QString HistoryFigures::certificateText(const std::optional<QDateTime> &expiry,
                                        const QDateTime &now) {
    if (!expiry)
        return QStringLiteral("not known");
    const QString date = QLocale().toString(expiry->toLocalTime().date(), QLocale::ShortFormat);
    const qint64 seconds = now.secsTo(*expiry);
    if (seconds < 0) {
        const qint64 days = -seconds / 86400;
        if (days == 0)
            return QStringLiteral("expired today (%1)").arg(date);
        return QStringLiteral("expired %1 day%2 ago (%3)").arg(days).arg(plural(days)).arg(date);
    }
    const qint64 days = seconds / 86400;
    if (days == 0)
        return QStringLiteral("expires today (%1)").arg(date);
    return QStringLiteral("%1, in %2 day%3").arg(date).arg(days).arg(plural(days));
}
