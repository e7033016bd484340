#pragma once

#include "windows/LMUtilityWindow.h"

#include <QPointer>

#include <memory>

class CheckSection;
class Clock;
class DurationChart;
class HistoryStore;
class Host;
class QLabel;
class TRHostController;

// One host's details: its last result and reason, how often it was up over the last hour and
// day, its certificate's expiry, the chart of its last day, and how it is checked. It follows the
// host live: each check of it redraws the window, and an edit renames it. When the host is removed
// it closes.
class TRHostDetailsWindow : public LMUtilityWindow {
    Q_OBJECT
public:
    static constexpr qreal width = 460;
    static constexpr qreal height = 440;

    TRHostDetailsWindow(StatusItemButton *statusBarButton, HistoryStore *store,
                        TRHostController *engine, const Clock &clock, QWidget *parent = nullptr);
    TRHostDetailsWindow(StatusItemButton *statusBarButton, HistoryStore *store,
                        TRHostController *engine, QWidget *parent = nullptr);

    void setHost(const std::shared_ptr<Host> &host);
    std::shared_ptr<Host> host() const { return host_.lock(); }
    // Reads the host's history afresh.
    void refresh();

    QLabel *lastResultLabel() const { return lastResult_; }
    QLabel *lastHourLabel() const { return lastHour_; }
    QLabel *lastDayLabel() const { return lastDay_; }
    QLabel *certificateLabel() const { return certificate_; }
    DurationChart *chart() const { return chart_; }
    CheckSection *checkSection() const { return checkSection_; }

private:
    QLabel *addRow(const QString &title, int row);

    QPointer<HistoryStore> store_;
    QPointer<TRHostController> engine_;
    const Clock &clock_;
    std::weak_ptr<Host> host_;
    QWidget *figures_;
    CheckSection *checkSection_;
    DurationChart *chart_;
    QWidget *legend_;
    QLabel *lastResult_;
    QLabel *lastHour_;
    QLabel *lastDay_;
    QLabel *certificate_;
};
