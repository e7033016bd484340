#include "trayitem/StatusItem.h"

#include "drawing/PaintedIcon.h"
#include "trayitem/StatusItemRenderer.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

StatusItem::StatusItem(qreal length, QObject *parent)
    : QObject(parent)
    , length_(length)
    , button_(this)
    , tray_(new QSystemTrayIcon(this)) {
    button_.setWindowFrameSource([this]() -> std::optional<QRect> {
        const QRect geometry = tray_->geometry();
        if (!tray_->isVisible() || geometry.isEmpty())
            return std::nullopt;
        return geometry;
    });
    connect(&button_, &StatusItemButton::changed, this, &StatusItem::refresh);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onActivated(int(reason)); });
    refresh();
    tray_->show();
}

StatusItem::~StatusItem() {
    tray_->hide();
}

void StatusItem::setLength(qreal length) {
    length_ = length;
    refresh();
}

void StatusItem::setMenu(QMenu *menu) {
    menu_ = menu;
    // Exporting trays read the menu from here; elsewhere Tarvik pops it up itself on a left
    // click, and Qt does so on a right click.
    tray_->setContextMenu(menu ? menu : contextMenu_.data());
}

void StatusItem::setContextMenu(QMenu *menu) {
    contextMenu_ = menu;
    if (!menu_)
        tray_->setContextMenu(menu);
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
    tray_->setIcon(renderedIcon());
    tray_->setToolTip(toolTipForTray(button_.toolTip(), menusAreExported()));
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
    tray_->showMessage(title, body,
                       critical ? QSystemTrayIcon::Critical : QSystemTrayIcon::Information);
}

bool StatusItem::menusAreExported() {
    // The same test Qt makes when it chooses between the D-Bus tray and the XEmbed one.
    static const bool exported = [] {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
        if (!bus.isConnected() || !bus.interface() ||
            !bus.interface()->isServiceRegistered(watcher))
            return false;
        QDBusInterface probe(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
        return probe.property("IsStatusNotifierHostRegistered").toBool();
    }();
    return exported;
}
