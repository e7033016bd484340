#include "windows/FlippedGeometry.h"

#include <cmath>

QRect FlippedGeometry::toQt(const QRectF &frame, qreal parentHeight) {
    const qreal top = parentHeight - frame.y() - frame.height();
    return QRect(qRound(frame.x()), qRound(top), qRound(frame.width()), qRound(frame.height()));
}

QRectF FlippedGeometry::fromQt(const QRect &geometry, qreal parentHeight) {
    return QRectF(geometry.x(), parentHeight - geometry.y() - geometry.height(), geometry.width(),
                  geometry.height());
}

QRectF FlippedGeometry::screenFromQt(const QRect &geometry, qreal screenHeight) {
    return fromQt(geometry, screenHeight);
}

QPoint FlippedGeometry::windowTopLeft(const QPointF &origin, const QSizeF &size,
                                      qreal screenHeight) {
    // Qt positions whole pixels; the origin itself is kept exact until here.
    return QPoint(int(std::floor(origin.x())),
                  int(std::floor(screenHeight - origin.y() - size.height())));
}

QPointF FlippedGeometry::screenPointFromQt(const QPoint &point, qreal screenHeight) {
    return QPointF(point.x(), screenHeight - point.y());
}
