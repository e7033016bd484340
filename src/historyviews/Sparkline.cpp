#include "historyviews/Sparkline.h"

#include "history/HostHistory.h"
#include "historyviews/DurationChart.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>

void Sparkline::paint(QPainter &painter, const QRectF &box, const HostHistory &history,
                      const QColor &lineColor) {
    const int count = std::min(checks, history.size());
    if (count == 0 || box.width() < 2 || box.height() < 4)
        return;
    const int first = history.size() - count;
    double longest = 0;
    for (int i = first; i < history.size(); ++i)
        longest = std::max(longest, double(history.at(i).total));
    if (!(longest > 0))
        longest = 1;
    // Room below the line for the ticks of failed checks.
    const QRectF line = box.adjusted(0, 1, 0, -3);
    const double step = count > 1 ? line.width() / (checks - 1) : 0;
    const double x0 = line.right() - step * (count - 1);
    QPolygonF points;
    painter.save();
    for (int i = 0; i < count; ++i) {
        const HistoryRecord &record = history.at(first + i);
        const double x = x0 + step * i;
        points << QPointF(x, line.bottom() - double(record.total) / longest * line.height());
        // Whole pixels in the plain colour, so a failure never blurs into the background.
        if (!record.up())
            painter.fillRect(QRect(int(x) - 1, int(box.bottom()) - 2, 2, 2),
                             DurationChart::downColor());
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(lineColor, 1.0));
    if (points.size() == 1)
        painter.drawPoint(points.first());
    else
        painter.drawPolyline(points);
    painter.restore();
}
