#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>

#include <functional>

class QAction;
class QMenu;

// Shows the tooltips of a menu's rows while the pointer rests on them, even while a row's
// submenu is open. An open submenu takes every pointer event for itself, Qt's own tooltip
// requests included, and a row opens its submenu as soon as it is hovered: without this a row's
// tooltip (a long name shown whole, why a host is down) would never show.
class MenuRowToolTips : public QObject {
    Q_OBJECT
public:
    // `tipOf` gives an item's tooltip; items it gives none for get none from here.
    MenuRowToolTips(QMenu *menu, std::function<QString(const QAction *)> tipOf);
    ~MenuRowToolTips() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pointerAt(const QPoint &global);
    void showTip();
    void reset();

    QPointer<QMenu> menu_;
    std::function<QString(const QAction *)> tipOf_;
    QPointer<QAction> under_;
    QPoint pointer_;
    QTimer wakeUp_;
    bool shown_ = false;
    bool watching_ = false;
};
