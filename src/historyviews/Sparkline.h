#pragma once

#include <QColor>
#include <QRectF>

class HostHistory;
class QPainter;

// A host's last checks as a tiny line of their durations, for a row of the hosts window: scaled
// to the longest of them, with a red tick under every failed check.
class Sparkline {
public:
    static constexpr int checks = 30;

    // Draws the last `checks` of `history` inside `box`; nothing for an empty history.
    static void paint(QPainter &painter, const QRectF &box, const HostHistory &history,
                      const QColor &lineColor);
};
