#include "trayitem/StatusItem.h"

#include "drawing/PaintedIcon.h"
#include "trayitem/EmbeddedTrayRoute.h"
#include "trayitem/StatusItemRenderer.h"
#include "trayitem/StatusNotifierItem.h"
#include "trayitem/StatusNotifierWatch.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

StatusItem::StatusItem(qreal length, QObject *parent)
    : StatusItem(length, StatusNotifierWatch::session(), parent) {}

StatusItem::StatusItem(qreal length, StatusNotifierWatch &watch, QObject *parent)
    : QObject(parent)
    , length_(length)
    , button_(this)
    , watch_(watch) {
    button_.setWindowFrameSource([this]() -> std::optional<QRect> {
        if (!tray_ || !tray_->isVisible())
            return std::nullopt;
        const QRect geometry = tray_->geometry();
        if (geometry.isEmpty())
            return std::nullopt;
        return geometry;
    });
    connect(&button_, &StatusItemButton::changed, this, &StatusItem::refresh);
    if (watch_.isConnected()) {
        statusNotifierItem_ = std::make_unique<StatusNotifierItem>(watch_);
        statusNotifierItem_->setActivationHandler(
            [this](StatusNotifierItem::Activation activation) {
                if (activation == StatusNotifierItem::Activation::Primary)
                    onActivated(QSystemTrayIcon::Trigger);
            });
    }
    connect(&watch_, &StatusNotifierWatch::hostRegisteredChanged, this, &StatusItem::follow);
    connect(&EmbeddedTrayRoute::instance(), &EmbeddedTrayRoute::decided, this, &StatusItem::follow);
    refresh();
    follow();
}

StatusItem::~StatusItem() {
    showEmbedded(false);
}

void StatusItem::follow() {
    const std::optional<bool> host = watch_.hostRegistered();
    // While the tray is not known yet, nothing is shown rather than the wrong kind of icon.
    const bool exported = host.value_or(false) && statusNotifierItem_;
    if (host == false) {
        EmbeddedTrayRoute &route = EmbeddedTrayRoute::instance();
        if (!route.isOpen())
            route.ask();
        showEmbedded(route.isOpen().value_or(false));
    } else {
        showEmbedded(false);
    }
    if (exported != exported_) {
        exported_ = exported;
        Q_EMIT exportedChanged(exported);
    }
}

void StatusItem::showEmbedded(bool shown) {
    if (!shown) {
        if (tray_)
            tray_->hide();
        return;
    }
    if (!tray_) {
        tray_ = new QSystemTrayIcon(this);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { onActivated(int(reason)); });
        // Qt pops the menu up itself on a right click.
        tray_->setContextMenu(menu_);
        refresh();
    }
    tray_->show();
}

void StatusItem::setLength(qreal length) {
    length_ = length;
    refresh();
}

void StatusItem::setMenu(QMenu *menu) {
    menu_ = menu;
    if (statusNotifierItem_)
        statusNotifierItem_->setMenu(menu ? menu : contextMenu_.data());
    if (tray_)
        tray_->setContextMenu(menu);
}

void StatusItem::setContextMenu(QMenu *menu) {
    contextMenu_ = menu;
    if (!menu_ && statusNotifierItem_)
        statusNotifierItem_->setMenu(menu);
}

QString StatusItem::toolTipForTray(const QString &text, bool exported) {
    if (exported || text.isEmpty())
        return text;
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return QStringLiteral("<p style=\"white-space:pre\">") + escaped + QStringLiteral("</p>");
}

QIcon StatusItem::renderedIcon() const {
    StatusItemRenderer::Face face;
    face.image = button_.image();
    face.position = button_.imagePosition();
    face.scaling = button_.imageScaling();
    face.title = button_.attributedTitle();
    face.labelColor = QApplication::palette().color(QPalette::WindowText);
    return PaintedIcon::make(QSizeF(20, 20), [face](QPainter &painter, const QRectF &square) {
        StatusItemRenderer::paint(painter, square, face);
    });
}

void StatusItem::refresh() {
    const QIcon icon = renderedIcon();
    if (statusNotifierItem_) {
        statusNotifierItem_->setIcon(icon);
        statusNotifierItem_->setToolTip(toolTipForTray(button_.toolTip(), true));
    }
    if (tray_) {
        tray_->setIcon(icon);
        tray_->setToolTip(toolTipForTray(button_.toolTip(), false));
    }
}

void StatusItem::popUpMenu() {
    if (!menu_)
        return;
    Q_EMIT menuWillPopUp();
    const std::optional<QRect> frame = button_.windowFrame();
    menu_->popup(frame ? frame->bottomLeft() + QPoint(0, 1) : QCursor::pos());
}

void StatusItem::onActivated(int reason) {
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (menu_) {
        popUpMenu();
        return;
    }
    button_.performClick();
}

void StatusItem::showMessage(const QString &title, const QString &body, bool critical) {
    if (tray_ && tray_->isVisible())
        tray_->showMessage(title, body,
                           critical ? QSystemTrayIcon::Critical : QSystemTrayIcon::Information);
}

bool StatusItem::menusAreExported() {
    return StatusNotifierWatch::session().hostRegistered().value_or(false);
}
