#include "windows/WindowCloseButton.h"

#include <QPainter>

WindowCloseButton::WindowCloseButton(QWidget *parent)
    : QAbstractButton(parent) {
    setFixedSize(12, 12);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Close"));
    connect(this, &QAbstractButton::clicked, this, [this] { window()->close(); });
}

void WindowCloseButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.8));
    painter.setBrush(hovered_ || isDown() ? QColor(255, 95, 87) : QColor(200, 200, 204));
    painter.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    if (hovered_ || isDown()) {
        painter.setPen(QPen(QColor(90, 10, 10), 1.3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(3.8, 3.8), QPointF(8.2, 8.2));
        painter.drawLine(QPointF(8.2, 3.8), QPointF(3.8, 8.2));
    }
}

void WindowCloseButton::enterEvent(QEnterEvent *) {
    hovered_ = true;
    update();
}

void WindowCloseButton::leaveEvent(QEvent *) {
    hovered_ = false;
    update();
}
