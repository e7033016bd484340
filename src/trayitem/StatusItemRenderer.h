#pragma once

#include "trayitem/StatusItemButton.h"

#include <QIcon>
#include <QRectF>

#include <optional>

class QPainter;

// Draws a tray item's image and title into one square. The title is scaled to fit and drawn
// with a halo of the opposite tone, so it reads on light and dark panels.
class StatusItemRenderer {
public:
    struct Face {
        QIcon image;
        StatusItemButton::ImagePosition position = StatusItemButton::ImagePosition::ImageLeft;
        StatusItemButton::ImageScaling scaling = StatusItemButton::ImageScaling::ProportionallyDown;
        std::optional<AttributedText> title;
        QColor labelColor;
    };

    static void paint(QPainter &painter, const QRectF &square, const Face &face);

private:
    static void drawTitle(QPainter &painter, const QRectF &box, const AttributedText &title,
                          const QColor &labelColor, Qt::Alignment alignment);
};
