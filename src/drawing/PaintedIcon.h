#pragma once

#include <QIcon>
#include <QRectF>
#include <QSizeF>

#include <functional>

class QPainter;

// An icon drawn in code at whatever size is asked for, so trays and menus get crisp pixels at
// 16 px, 64 px and on high-DPI screens alike. `draw` paints into a rectangle of the logical size
// (origin top left); the painter is already scaled to the target.
class PaintedIcon {
public:
    using Draw = std::function<void(QPainter &, const QRectF &)>;
    static QIcon make(const QSizeF &logicalSize, Draw draw);
    // Renders `icon` at `size` device pixels, for tests and screenshots.
    static QImage render(const QIcon &icon, const QSize &size);
};
