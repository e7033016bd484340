#include "windows/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace {
QColor label(qreal alpha) {
    QColor color = QGuiApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(float(alpha));
    return color;
}
} // namespace

QColor SystemColors::secondaryLabel() {
    return label(0.5);
}

QColor SystemColors::quaternaryLabel() {
    return label(0.1);
}
