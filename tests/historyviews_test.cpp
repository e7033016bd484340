// What a host's history looks like: the duration chart's scale and drawing, and the details
// window following a real engine checking a real local server.
#include "checkediting/CheckSection.h"
#include "history/HostHistory.h"
#include "historyviews/DurationChart.h"
#include "historyviews/TRHostDetailsWindow.h"
#include "support/HistoryTest.h"

#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include <tuple>

namespace {
TEST(DurationChartTest, ScaleTopIsTheNextRoundFigureAndItsGridlinesSayExactlyWhereTheyAre) {
    const std::pair<double, double> tops[] = {
        {0.123, 0.2}, {0.2, 0.2}, {0.21, 0.5}, {0.6, 1.0}, {30.0, 50.0}};
    for (const auto &[value, top] : tops)
        EXPECT_DOUBLE_EQ(DurationChart::scaleTop(value), top) << value;
    EXPECT_GT(DurationChart::scaleTop(0), 0.0);

    // The top of each scale, then its middle.
    const std::tuple<double, const char *, const char *> scales[] = {
        {0.005, "5 ms", "2.5 ms"},  {0.05, "50 ms", "25 ms"}, {0.5, "500 ms", "250 ms"},
        {0.001, "1 ms", "500 µs"},  {5e-6, "5 µs", "2.5 µs"}, {1.0, "1 s", "500 ms"},
        {50.0, "50 s", "25 s"},     {5.0, "5 s", "2.5 s"},    {0.002, "2 ms", "1 ms"},
        {1e-7, "0.1 µs", "0.05 µs"}};
    for (const auto &[top, topLabel, middleLabel] : scales) {
        EXPECT_EQ(DurationChart::scaleText(top), QString::fromUtf8(topLabel)) << top;
        EXPECT_EQ(DurationChart::scaleText(top / 2), QString::fromUtf8(middleLabel)) << top;
    }
}

TEST(DurationChartTest, DrawsPhasesStackedAndDownStretchesShaded) {
    const QDateTime now = dayStart.addDays(1);
    HostHistory history;
    // The last six hours: up with phases, then the last three hours down.
    for (int minute = 0; minute < 360; ++minute) {
        const QDateTime at = now.addSecs(-6 * 3600 + 60 * minute);
        history.append(at, minute < 180 ? withPhases(0.02, 0.02, 0.02, 0.02, 0.02)
                                        : result(false, 0, QStringLiteral("refused")));
    }
    DurationChart chart;
    chart.resize(452, 170);
    chart.setHistory(&history, now, 120);
    const QImage image = chart.grab().toImage();
    const auto has = [&](const QColor &wanted, int fromX, int toX) {
        for (int x = fromX; x < toX; ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(x, y) == wanted)
                    return true;
        return false;
    };
    const int w = image.width();
    // Plot from x 52 to w - 6: the last quarter is the last six hours.
    const int quarter = 52 + (w - 58) * 3 / 4;
    for (int phase = 0; phase < HistoryRecord::PhaseCount; ++phase) {
        EXPECT_TRUE(has(DurationChart::phaseColor(phase), quarter, w)) << phase;
        EXPECT_FALSE(has(DurationChart::phaseColor(phase), 52, quarter - 2)) << phase;
    }
    const int downFrom = 52 + (w - 58) * 7 / 8 + 2;
    EXPECT_TRUE(has(DurationChart::downColor(), downFrom, w));
    EXPECT_FALSE(has(DurationChart::downColor(), 52, downFrom - 4));
    EXPECT_FALSE(has(DurationChart::slowColor(), 52, w)) << "no limit, nothing slow";

    // Its checks took 100 ms: above a 50 ms limit they are slow, below a 200 ms one they are not.
    chart.setSlowAbove(0.05);
    const QImage slow = chart.grab().toImage();
    const auto marked = [&](int x) { return slow.pixelColor(x, slow.height() - 17); };
    EXPECT_EQ(marked(quarter + 10), DurationChart::slowColor());
    EXPECT_NE(marked(downFrom + 10), DurationChart::slowColor()) << "down is not slow";
    chart.setSlowAbove(0.2);
    EXPECT_EQ(chart.grab().toImage().pixelColor(quarter + 10, slow.height() - 17),
              image.pixelColor(quarter + 10, image.height() - 17));
}

using DetailsWindowTest = HistoryTest;

TEST_F(DetailsWindowTest, ShowsTheFiguresAndFollowsEveryCheck) {
    auto host = addHost(QStringLiteral("site"), QStringLiteral("/ok"));
    auto store = openStore();
    TRHostDetailsWindow window(nullptr, store.get(), &engine, clock);
    window.setHost(host);
    window.show();
    EXPECT_EQ(window.lastResultLabel()->text(), QStringLiteral("Not checked yet"));
    EXPECT_EQ(window.lastHourLabel()->text(), QStringLiteral("no checks"));
    EXPECT_EQ(window.certificateLabel()->text(), QStringLiteral("none (not an https address)"));
    EXPECT_EQ(window.checkSection()->row(1)->text(), QStringLiteral("HTTP 200-299"));

    checkAll();
    EXPECT_TRUE(window.lastResultLabel()->text().startsWith(QStringLiteral("Up, ")));
    EXPECT_EQ(window.lastHourLabel()->text(), QStringLiteral("100 % (1 of 1 checks)"));

    // A new name alone is not checked; a new address is, at once: that host alone, no round.
    QSignalSpy addressEdits(&engine, &TRHostController::addressChanged);
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    HostEdit edited = editOf(*host);
    edited.name = QStringLiteral("site, renamed");
    engine.updateHost(host, edited);
    EXPECT_EQ(window.titleLabel()->text(), QStringLiteral("site, renamed"));
    EXPECT_EQ(addressEdits.count(), 0);
    edited.address = server.url(QStringLiteral("/status/503"));
    engine.updateHost(host, edited);
    ASSERT_TRUE(waitUntil([&] {
        return window.lastResultLabel()->text().startsWith(QStringLiteral("Down: HTTP 503"));
    }));
    EXPECT_EQ(rounds.count(), 0);
    clock.advanceMs(61000);
    EXPECT_EQ(window.lastHourLabel()->text(), QStringLiteral("50.00 % (1 of 2 checks)"));
    EXPECT_EQ(window.lastDayLabel()->text(), QStringLiteral("50.00 % (1 of 2 checks)"));

    // Two hours on, the first hour's checks have left the hour but not the day.
    clock.advanceMs(2 * 3600 * 1000);
    checkAll();
    EXPECT_EQ(window.lastHourLabel()->text(), QStringLiteral("0.00 % (0 of 1 checks)"));
    EXPECT_EQ(window.lastDayLabel()->text(), QStringLiteral("33.33 % (1 of 3 checks)"));

    engine.removeHost(host);
    EXPECT_FALSE(window.isVisible());
}
} // namespace
