#pragma once

#include <QColor>
#include <QDateTime>
#include <QWidget>

#include "history/HostHistory.h"

#include <optional>

// A host's check durations over the last day, drawn with QPainter: one column per pixel, the
// phases of the checks that fall in it (averaged) stacked from name lookup to transfer, checks
// without phases as one gray total, and the stretches the host was down shaded red across the
// whole height. Columns with a slow answer get a yellow mark along the bottom, and the limit a
// dashed yellow line while it is within the scale.
class DurationChart : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 span = 24 * 3600; // seconds shown, ending now

    explicit DurationChart(QWidget *parent = nullptr);

    // Shows a copy of `history` (null for nothing) as it stands at `now`. A failed check
    // counts as down until the next one, but for at most `longestGap` seconds.
    void setHistory(const HostHistory *history, const QDateTime &now, qint64 longestGap);
    // Answers that were up but took longer than this many seconds are marked slow; nothing for
    // a host without a limit.
    void setSlowAbove(std::optional<double> seconds);

    // The colour of each phase, in stacking order, and of a total without phases.
    static QColor phaseColor(int phase);
    static QColor totalColor();
    static QColor downColor();
    static QColor slowColor();

    // The top of the duration scale for `longest`: 1, 2 or 5 times a power of ten at or above it.
    static double scaleTop(double longest);
    // A gridline's label: the duration in µs, ms or s to at most three figures, never rounded
    // to a whole unit ("2.5 ms" halfway up a 5 ms scale).
    static QString scaleText(double seconds);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // A copy: a day is 48 KiB, and the chart never points into a store that may drop it.
    std::optional<HostHistory> history_;
    QDateTime now_;
    qint64 longestGap_ = 0;
    std::optional<double> slowAbove_;
};
