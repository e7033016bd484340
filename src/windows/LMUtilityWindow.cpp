#include "windows/LMUtilityWindow.h"

#include "trayitem/StatusItemButton.h"
#include "windows/FlippedGeometry.h"
#include "windows/SystemColors.h"
#include "windows/WindowCloseButton.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {
qreal mainScreenHeight() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

} // namespace

LMUtilityWindow::LMUtilityWindow(StatusItemButton *statusBarButton, const QString &title,
                                 const QSizeF &size, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , titleBarLine_(new QWidget(this))
    , titleLabel_(new QLabel(this))
    , utilityView_(new QWidget(this))
    , statusBarButton_(statusBarButton)
    , closeButton_(new WindowCloseButton(this)) {
    const qreal w = size.width();
    const qreal h = size.height();
    setFixedSize(size.toSize());
    setWindowTitle(title);

    paintAsHairline(titleBarLine_);
    setFrame(titleBarLine_, QRectF(0, h - 22, w, 1));

    // Names are user text: the title is never read as markup.
    titleLabel_->setTextFormat(Qt::PlainText);
    titleLabel_->setText(windowTitle());
    titleLabel_->adjustSize();
    titleLabel_->setAlignment(Qt::AlignCenter);
    QPalette labelPalette = titleLabel_->palette();
    labelPalette.setColor(QPalette::WindowText, SystemColors::secondaryLabel());
    titleLabel_->setPalette(labelPalette);
    const qreal labelWidth = w - 40;
    const qreal lineTop = frameOf(titleBarLine_).bottom(); // maximum y, counted upwards
    setFrame(titleLabel_,
             QRectF((w - labelWidth) / 2, lineTop + 2, labelWidth, titleLabel_->height()));

    setFrame(utilityView_, QRectF(0, 0, w, frameOf(titleBarLine_).y()));

    closeButton_->move(6, 5);
}

void LMUtilityWindow::paintAsHairline(QWidget *view) {
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, SystemColors::quaternaryLabel());
    view->setPalette(palette);
    view->setAutoFillBackground(true);
}

QRectF LMUtilityWindow::frameOf(const QWidget *view) {
    return FlippedGeometry::fromQt(view->geometry(), view->parentWidget()->height());
}

void LMUtilityWindow::setFrame(QWidget *view, const QRectF &frame) {
    view->setGeometry(FlippedGeometry::toQt(frame, view->parentWidget()->height()));
}

QPointF LMUtilityWindow::anchoredOrigin(const std::optional<QRectF> &buttonWindowFrame,
                                        const QSizeF &size, const QPointF &mouseLocation) {
    if (buttonWindowFrame) {
        const QRectF &b = *buttonWindowFrame;
        return QPointF(b.x() + (b.width() - size.width()) / 2, b.y() - size.height() - 10);
    }
    return QPointF(mouseLocation.x() - size.width() / 2, mouseLocation.y());
}

QRect LMUtilityWindow::fitOnScreen(const QRect &window, const QRect &available) {
    QRect fitted = window;
    if (fitted.width() <= available.width()) {
        if (fitted.right() > available.right())
            fitted.moveRight(available.right());
        if (fitted.left() < available.left())
            fitted.moveLeft(available.left());
    }
    if (fitted.height() <= available.height()) {
        if (fitted.bottom() > available.bottom())
            fitted.moveBottom(available.bottom());
        if (fitted.top() < available.top())
            fitted.moveTop(available.top());
    }
    return fitted;
}

void LMUtilityWindow::makeKeyAndOrderFront() {
    const qreal screenHeight = mainScreenHeight();
    std::optional<QRectF> buttonFrame;
    if (statusBarButton_)
        if (const std::optional<QRect> frame = statusBarButton_->windowFrame())
            buttonFrame = FlippedGeometry::screenFromQt(*frame, screenHeight);
    const QPointF mouse = FlippedGeometry::screenPointFromQt(QCursor::pos(), screenHeight);
    const QPointF origin = anchoredOrigin(buttonFrame, size(), mouse);
    QRect placed(FlippedGeometry::windowTopLeft(origin, size(), screenHeight), size());
    // Linux trays usually sit at the very edge of the screen, where a window centred under its
    // icon would hang off it (and with it the buttons at its far side).
    if (const QScreen *screen = QGuiApplication::screenAt(placed.center())
                                    ? QGuiApplication::screenAt(placed.center())
                                    : QGuiApplication::primaryScreen())
        placed = fitOnScreen(placed, screen->availableGeometry());
    move(placed.topLeft());
    show();
    raise();
    activateWindow();
}
