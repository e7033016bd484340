#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSizeF>

// Layouts here are stated with the origin at the bottom left and y growing upwards; Qt places
// widgets from the top left. Every frame passes through these two conversions.
class FlippedGeometry {
public:
    // A frame given from the bottom left of a parent `parentHeight` high, as a Qt geometry.
    static QRect toQt(const QRectF &frame, qreal parentHeight);
    // A Qt geometry inside a parent `parentHeight` high, as a frame from the bottom left.
    static QRectF fromQt(const QRect &geometry, qreal parentHeight);

    // Screen coordinates: bottom-left origin on a screen `screenHeight` high and Qt's top-left
    // origin, for points and rectangles.
    static QRectF screenFromQt(const QRect &geometry, qreal screenHeight);
    // The top-left Qt position of a window whose bottom-left origin is `origin`.
    static QPoint windowTopLeft(const QPointF &origin, const QSizeF &size, qreal screenHeight);
    static QPointF screenPointFromQt(const QPoint &point, qreal screenHeight);
};
