#include "windows/LMUtilityWindow.h"

#include "trayitem/StatusItemButton.h"
#include "windows/FlippedGeometry.h"
#include "windows/SystemColors.h"
#include "windows/WindowCloseButton.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

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

void LMUtilityWindow::setTitle(const QString &title) {
    titleLabel_->setText(title);
    // Qt reads "[*]" in a window title as the place of an unsaved-changes mark; doubled, it is
    // shown as written.
    QString escaped = title;
    setWindowTitle(escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
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

QRect LMUtilityWindow::placement(const std::optional<QRect> &buttonFrame, const QSize &size,
                                 const QPoint &mouse, const QRect &available) {
    // anchoredOrigin() counts from the bottom left; any screen height gives the same result
    // back in Qt's coordinates, since it cancels out.
    const qreal height = available.bottom() + 1;
    std::optional<QRectF> button;
    if (buttonFrame)
        button = FlippedGeometry::screenFromQt(*buttonFrame, height);
    const QPointF origin =
        anchoredOrigin(button, QSizeF(size), FlippedGeometry::screenPointFromQt(mouse, height));
    QRect placed(FlippedGeometry::windowTopLeft(origin, QSizeF(size), height), size);
    if (buttonFrame && placed.bottom() > available.bottom()) {
        // The tray is at the bottom: the same gap, above the button instead of below it.
        const QRect above = placed.translated(0, buttonFrame->top() - 10 - 1 - placed.bottom());
        if (above.top() >= available.top())
            placed = above;
    }
    return fitOnScreen(placed, available);
}

void LMUtilityWindow::keyPressEvent(QKeyEvent *event) {
    // Escape closes, as it does any small window; a form loses what was not saved.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LMUtilityWindow::makeKeyAndOrderFront() {
    std::optional<QRect> buttonFrame;
    if (statusBarButton_)
        buttonFrame = statusBarButton_->windowFrame();
    const QPoint mouse = QCursor::pos();
    // The screen holding the button, else the pointer.
    const QPoint anchor = buttonFrame ? buttonFrame->center() : mouse;
    const QScreen *screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        show();
        return;
    }
    move(placement(buttonFrame, size(), mouse, screen->availableGeometry()).topLeft());
    show();
    raise();
    activateWindow();
}
