#include "historyviews/TRHostDetailsWindow.h"

#include "checkediting/CheckSection.h"
#include "history/HistoryFigures.h"
#include "history/HistoryStore.h"
#include "historyviews/DurationChart.h"
#include "monitoring/Clock.h"
#include "monitoring/TRHostController.h"
#include "windows/SystemColors.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace {
QWidget *legendEntry(const QString &text, const QColor &color, QWidget *parent) {
    auto *entry = new QWidget(parent);
    auto *layout = new QHBoxLayout(entry);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    auto *swatch = new QLabel(entry);
    swatch->setFixedSize(9, 9);
    swatch->setAutoFillBackground(true);
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, color);
    swatch->setPalette(palette);
    auto *label = new QLabel(text, entry);
    QFont small = label->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1));
    label->setFont(small);
    layout->addWidget(swatch);
    layout->addWidget(label);
    return entry;
}
} // namespace

TRHostDetailsWindow::TRHostDetailsWindow(StatusItemButton *statusBarButton, HistoryStore *store,
                                         TRHostController *engine, const Clock &clock,
                                         QWidget *parent)
    : LMUtilityWindow(statusBarButton, QStringLiteral("Details"), QSizeF(width, height), parent)
    , store_(store)
    , engine_(engine)
    , clock_(clock)
    , figures_(new QWidget(utilityView()))
    , checkSection_(new CheckSection(engine, utilityView()))
    , chart_(new DurationChart(utilityView()))
    , legend_(new QWidget(utilityView())) {
    const qreal content = utilityView()->height();
    setFrame(legend_, QRectF(10, 4, width - 20, 16));
    setFrame(chart_, QRectF(4, frameOf(legend_).bottom() + 2, width - 8, 170));
    setFrame(checkSection_, QRectF(12, frameOf(chart_).bottom() + 6, width - 24, 140));
    setFrame(figures_, QRectF(12, frameOf(checkSection_).bottom() + 6, width - 24,
                              content - frameOf(checkSection_).bottom() - 10));

    auto *grid = new QGridLayout(figures_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    lastResult_ = addRow(QStringLiteral("Last result"), 0);
    lastHour_ = addRow(QStringLiteral("Last hour"), 1);
    lastDay_ = addRow(QStringLiteral("Last day"), 2);
    certificate_ = addRow(QStringLiteral("Certificate"), 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, CheckSection::titleWidth);

    auto *legend = new QHBoxLayout(legend_);
    legend->setContentsMargins(0, 0, 0, 0);
    legend->setSpacing(10);
    const char *names[] = {"DNS", "Connect", "TLS", "Server", "Transfer"};
    for (int phase = 0; phase < HistoryRecord::PhaseCount; ++phase)
        legend->addWidget(legendEntry(QString::fromLatin1(names[phase]),
                                      DurationChart::phaseColor(phase), legend_));
    legend->addWidget(legendEntry(QStringLiteral("Total"), DurationChart::totalColor(), legend_));
    legend->addWidget(legendEntry(QStringLiteral("Slow"), DurationChart::slowColor(), legend_));
    legend->addWidget(legendEntry(QStringLiteral("Down"), DurationChart::downColor(), legend_));
    legend->addStretch(1);

    if (store_)
        connect(store_, &HistoryStore::recorded, this, [this](const Host *checked) {
            if (checked && checked == host_.lock().get())
                refresh();
        });
    if (engine_) {
        // A rename shows in the title; the host gone from the list closes the window.
        connect(engine_, &TRHostController::hostChanged, this, [this](const Host &changed) {
            if (&changed == host_.lock().get())
                refresh();
        });
        connect(engine_, &TRHostController::hostRemoved, this, [this](const Host &removed) {
            if (&removed == host_.lock().get())
                refresh();
        });
        connect(engine_, &TRHostController::hostsReplaced, this, &TRHostDetailsWindow::refresh);
    }
}

TRHostDetailsWindow::TRHostDetailsWindow(StatusItemButton *statusBarButton, HistoryStore *store,
                                         TRHostController *engine, QWidget *parent)
    : TRHostDetailsWindow(statusBarButton, store, engine, Clock::system(), parent) {}

QLabel *TRHostDetailsWindow::addRow(const QString &title, int row) {
    auto *grid = static_cast<QGridLayout *>(figures_->layout());
    auto *name = new QLabel(title, figures_);
    QPalette secondary = name->palette();
    secondary.setColor(QPalette::WindowText, SystemColors::secondaryLabel());
    name->setPalette(secondary);
    auto *value = new QLabel(figures_);
    // Reasons and names come from servers and users: never markup.
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(name, row, 0, Qt::AlignRight);
    grid->addWidget(value, row, 1);
    return value;
}

void TRHostDetailsWindow::setHost(const std::shared_ptr<Host> &host) {
    host_ = host;
    checkSection_->setHost(host);
    refresh();
}

void TRHostDetailsWindow::refresh() {
    const std::shared_ptr<Host> host = host_.lock();
    const bool listed =
        host && engine_ &&
        std::find(engine_->hosts().begin(), engine_->hosts().end(), host) != engine_->hosts().end();
    const HostHistory *history = listed && store_ ? store_->history(*host) : nullptr;
    if (!history) {
        chart_->setHistory(nullptr, clock_.now(), 0);
        if (host_.expired() || !listed)
            close();
        return;
    }
    setWindowTitle(host->string());
    titleLabel()->setText(host->string());

    const QDateTime now = clock_.now();
    // A failed check stands for the time until the next round, and a little more for a slow one.
    const qint64 frequency = qint64(engine_->pingFrequency());
    const qint64 longestGap = std::max<qint64>(2 * frequency, 120);
    lastResult_->setText(
        HistoryFigures::lastResultText(*history) +
        (history->isEmpty()
             ? QString()
             : QStringLiteral(" at ") +
                   QLocale().toString(history->time(history->size() - 1).toLocalTime().time(),
                                      QLocale::ShortFormat)));
    lastHour_->setText(
        HistoryFigures::uptimeText(HistoryFigures::uptime(*history, now.addSecs(-3600), now)));
    lastDay_->setText(
        HistoryFigures::uptimeText(HistoryFigures::uptime(*history, now.addDays(-1), now)));
    const bool https = host->address().startsWith(QStringLiteral("https:"), Qt::CaseInsensitive);
    certificate_->setText(!https && !history->certificateExpiry()
                              ? QStringLiteral("none (not an https address)")
                              : HistoryFigures::certificateText(history->certificateExpiry(), now));
    const std::optional<int> slowAboveMs = host->checkOptions().slowAboveMs;
    chart_->setSlowAbove(slowAboveMs ? std::optional<double>(*slowAboveMs / 1000.0) : std::nullopt);
    chart_->setHistory(history, now, longestGap);
    checkSection_->refresh();
}
