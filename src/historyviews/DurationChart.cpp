#include "historyviews/DurationChart.h"

#include "drawing/StatusColors.h"
#include "history/HistoryFigures.h"
#include "history/HostHistory.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace {
constexpr int leftMargin = 52;
constexpr int bottomMargin = 16;
constexpr int topMargin = 6;
constexpr int rightMargin = 6;
constexpr int layers = HistoryRecord::PhaseCount + 1; // the phases and what they leave of total

struct Column {
    std::array<double, layers> sum{};
    int checks = 0;
    bool down = false;
    bool slow = false;
};
} // namespace

DurationChart::DurationChart(QWidget *parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DurationChart::setHistory(const HostHistory *history, const QDateTime &now,
                               qint64 longestGap) {
    history_.reset();
    if (history)
        history_.emplace(*history);
    now_ = now;
    longestGap_ = longestGap;
    update();
}

QColor DurationChart::phaseColor(int phase) {
    static const std::array<QColor, HistoryRecord::PhaseCount> colors = {
        QColor(0x8e, 0x6c, 0xd8), // name lookup
        QColor(0xe0, 0x9a, 0x2b), // connect
        QColor(0x2b, 0xa3, 0xb8), // TLS
        QColor(0x3b, 0x7d, 0xd8), // server
        QColor(0x5c, 0xb8, 0x5c), // transfer
    };
    return phase >= 0 && phase < int(colors.size()) ? colors[size_t(phase)] : totalColor();
}

void DurationChart::setSlowAbove(std::optional<double> seconds) {
    slowAbove_ = seconds;
    update();
}

QColor DurationChart::slowColor() {
    return StatusColors::yellow();
}

QColor DurationChart::totalColor() {
    return QColor(0x9a, 0x9a, 0xa2);
}

QColor DurationChart::downColor() {
    return QColor(0xe0, 0x40, 0x40);
}

double DurationChart::scaleTop(double longest) {
    if (!(longest > 0) || !std::isfinite(longest))
        return 0.001;
    const double power = std::pow(10.0, std::floor(std::log10(longest)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * power >= longest * (1 - 1e-9))
            return step * power;
    return 10.0 * power;
}

QString DurationChart::scaleText(double seconds) {
    const auto [unit, name] = seconds < 0.001 ? std::pair(1e-6, QStringLiteral("µs"))
                              : seconds < 1.0 ? std::pair(1e-3, QStringLiteral("ms"))
                                              : std::pair(1.0, QStringLiteral("s"));
    const double value = seconds / unit;
    return (value >= 1000 ? QString::number(value, 'f', 0) : QString::number(value, 'g', 3)) +
           u' ' + name;
}

void DurationChart::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QPalette colors = palette();
    painter.fillRect(rect(), colors.color(QPalette::Base));
    const QRect plot = rect().adjusted(leftMargin, topMargin, -rightMargin, -bottomMargin);
    if (plot.width() <= 0 || plot.height() <= 0)
        return;

    const qint64 end = now_.toSecsSinceEpoch();
    const qint64 begin = end - span;
    const auto xOf = [&](qint64 t) {
        return plot.left() + double(t - begin) * double(plot.width()) / double(span);
    };

    // One column per pixel; a day is 86400 s over a few hundred pixels, so many checks share one.
    std::vector<Column> columns(size_t(plot.width()));
    double longest = 0;
    if (history_) {
        for (int i = 0; i < history_->size(); ++i) {
            const HistoryRecord &r = history_->at(i);
            if (qint64(r.time) < begin || qint64(r.time) > end)
                continue;
            const int c = std::clamp(int(xOf(r.time)) - plot.left(), 0, plot.width() - 1);
            Column &column = columns[size_t(c)];
            ++column.checks;
            column.down = column.down || !r.up();
            column.slow = column.slow || (r.up() && slowAbove_ && double(r.total) > *slowAbove_);
            double stacked = 0;
            if (r.hasPhases())
                for (int p = 0; p < HistoryRecord::PhaseCount; ++p) {
                    const double part = std::max(0.0, double(r.phases[size_t(p)]));
                    column.sum[size_t(p)] += part;
                    stacked += part;
                }
            column.sum[layers - 1] += std::max(0.0, double(r.total) - stacked);
        }
        for (const Column &column : columns) {
            if (column.checks == 0)
                continue;
            double height = 0;
            for (double part : column.sum)
                height += part;
            longest = std::max(longest, height / column.checks);
        }
    }
    const double top = scaleTop(longest);

    // Down stretches first, so the bars stay readable on top of them.
    QColor shade = downColor();
    shade.setAlpha(48);
    if (history_)
        for (const HistoryFigures::Period &period :
             HistoryFigures::downPeriods(*history_, longestGap_, now_)) {
            if (period.end < begin)
                continue;
            const double x0 = xOf(std::max(period.start, begin));
            const double x1 = std::max(x0 + 1.0, xOf(std::min(period.end, end)));
            painter.fillRect(QRectF(x0, plot.top(), x1 - x0, plot.height()), shade);
        }

    // Grid: the scale's top and half, and every six hours.
    const QColor grid = colors.color(QPalette::Mid);
    painter.setPen(QPen(grid, 0));
    for (double f : {0.0, 0.5, 1.0}) {
        const double y = plot.bottom() + 1 - f * plot.height();
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right() + 1, y));
    }
    for (int hours = 0; hours <= 24; hours += 6) {
        const double x = xOf(begin + hours * 3600);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom() + 1));
    }

    for (int c = 0; c < int(columns.size()); ++c) {
        const Column &column = columns[size_t(c)];
        if (column.checks == 0)
            continue;
        double base = plot.bottom() + 1;
        for (int layer = 0; layer < layers; ++layer) {
            const double mean = column.sum[size_t(layer)] / column.checks;
            const double h = mean / top * plot.height();
            if (h <= 0)
                continue;
            const QColor color =
                layer < HistoryRecord::PhaseCount ? phaseColor(layer) : totalColor();
            painter.fillRect(QRectF(plot.left() + c, base - h, 1.0, h), color);
            base -= h;
        }
        if (column.down)
            painter.fillRect(QRectF(plot.left() + c, plot.bottom() - 2, 1.0, 3.0), downColor());
        else if (column.slow)
            painter.fillRect(QRectF(plot.left() + c, plot.bottom() - 2, 1.0, 3.0), slowColor());
    }
    if (slowAbove_ && *slowAbove_ <= top) {
        const double y = plot.bottom() + 1 - *slowAbove_ / top * plot.height();
        painter.setPen(QPen(slowColor(), 1, Qt::DashLine));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right() + 1, y));
    }

    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    painter.setFont(small);
    painter.setPen(colors.color(QPalette::PlaceholderText));
    const QRect scale(0, plot.top() - 2, leftMargin - 4, 14);
    painter.drawText(scale, Qt::AlignRight | Qt::AlignTop, scaleText(top));
    painter.drawText(scale.translated(0, plot.height() / 2 - 6), Qt::AlignRight | Qt::AlignTop,
                     scaleText(top / 2));
    painter.drawText(QRect(0, plot.bottom() - 10, leftMargin - 4, 14),
                     Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0"));
    for (int hours = 0; hours <= 24; hours += 6) {
        const QString label =
            hours == 24 ? QStringLiteral("now") : QStringLiteral("−%1 h").arg(24 - hours);
        const int x = int(xOf(begin + hours * 3600));
        const Qt::Alignment side = hours == 24 ? Qt::AlignRight : Qt::AlignHCenter;
        const QRect box = hours == 24 ? QRect(x - 60, plot.bottom() + 2, 60, 14)
                                      : QRect(x - 30, plot.bottom() + 2, 60, 14);
        painter.drawText(box, side | Qt::AlignTop, label);
    }
}
