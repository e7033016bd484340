#include "statusmenu/MenuRowToolTips.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QToolTip>

MenuRowToolTips::MenuRowToolTips(QMenu *menu, std::function<QString(const QAction *)> tipOf)
    : QObject(menu)
    , menu_(menu)
    , tipOf_(std::move(tipOf)) {
    wakeUp_.setSingleShot(true);
    connect(&wakeUp_, &QTimer::timeout, this, &MenuRowToolTips::showTip);
    // Every pointer event of the application is looked at, but only while the menu is open.
    connect(menu, &QMenu::aboutToShow, this, [this] {
        if (!watching_)
            qApp->installEventFilter(this);
        watching_ = true;
    });
    connect(menu, &QMenu::aboutToHide, this, [this] {
        if (watching_)
            qApp->removeEventFilter(this);
        watching_ = false;
        reset();
    });
}

MenuRowToolTips::~MenuRowToolTips() {
    if (watching_)
        qApp->removeEventFilter(this);
}

bool MenuRowToolTips::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseMove)
        pointerAt(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
    return QObject::eventFilter(watched, event);
}

void MenuRowToolTips::pointerAt(const QPoint &global) {
    pointer_ = global;
    QAction *action = nullptr;
    if (menu_ && menu_->isVisible() && menu_->geometry().contains(global))
        action = menu_->actionAt(menu_->mapFromGlobal(global));
    if (action == under_)
        return;
    reset();
    under_ = action;
    if (action && !tipOf_(action).isEmpty())
        wakeUp_.start(menu_->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, menu_));
}

void MenuRowToolTips::showTip() {
    if (!menu_ || !menu_->isVisible() || !under_)
        return;
    const QString tip = tipOf_(under_);
    if (tip.isEmpty())
        return;
    // Names are shown as typed: a tooltip would read one that looks like markup as markup. A
    // long name stays on one line rather than being folded at each hyphen.
    QString escaped = tip.toHtmlEscaped();
    escaped.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    QToolTip::showText(pointer_,
                       QStringLiteral("<p style=\"white-space:pre\">") + escaped +
                           QStringLiteral("</p>"),
                       menu_, menu_->actionGeometry(under_));
    shown_ = true;
}

void MenuRowToolTips::reset() {
    wakeUp_.stop();
    under_ = nullptr;
    if (shown_)
        QToolTip::hideText();
    shown_ = false;
}
