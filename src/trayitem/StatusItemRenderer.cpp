#include "trayitem/StatusItemRenderer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
void drawImage(QPainter &painter, const QIcon &image, const QRectF &box,
               StatusItemButton::ImageScaling scaling) {
    if (image.isNull())
        return;
    QRectF target = box;
    if (scaling == StatusItemButton::ImageScaling::ProportionallyDown) {
        const qreal side = std::min(box.width(), box.height());
        target = QRectF(0, 0, side, side);
        target.moveCenter(box.center());
    }
    image.paint(&painter, target.toAlignedRect());
}
} // namespace

void StatusItemRenderer::paint(QPainter &painter, const QRectF &square, const Face &face) {
    const bool hasTitle = face.title && !face.title->text.isEmpty();
    using Position = StatusItemButton::ImagePosition;
    if (!hasTitle || face.position == Position::ImageOnly) {
        drawImage(painter, face.image, square, face.scaling);
        return;
    }
    const qreal s = square.width();
    if (face.position == Position::ImageBelow) {
        // The image (a thin bar along its bottom edge) spans the square; the title sits above.
        drawImage(painter, face.image, square, face.scaling);
        drawTitle(painter, QRectF(square.left(), square.top(), s, s * 0.86), *face.title,
                  face.labelColor, Qt::AlignCenter);
        return;
    }
    // Image to the left of the title: the icon in the upper left, the title over its lower right.
    drawImage(painter, face.image, QRectF(square.left(), square.top(), s * 0.66, s * 0.66),
              face.scaling);
    drawTitle(painter, QRectF(square.left() + s * 0.25, square.top() + s * 0.4, s * 0.75, s * 0.6),
              *face.title, face.labelColor, Qt::AlignRight | Qt::AlignBottom);
}

void StatusItemRenderer::drawTitle(QPainter &painter, const QRectF &box,
                                   const AttributedText &title, const QColor &labelColor,
                                   Qt::Alignment alignment) {
    QFont font = title.font;
    font.setPixelSize(std::max(1, int(box.height())));
    QFontMetricsF metrics(font);
    // Shrink to fit both ways; a long short name gets small rather than cut.
    const qreal byWidth = box.width() / std::max<qreal>(1.0, metrics.horizontalAdvance(title.text));
    const qreal byHeight = box.height() / std::max<qreal>(1.0, metrics.capHeight() * 1.25);
    const qreal scale = std::min(byWidth, byHeight) * 0.95;
    font.setPixelSize(std::max(4, int(font.pixelSize() * std::min<qreal>(scale, 1.2))));
    metrics = QFontMetricsF(font);

    const qreal width = metrics.horizontalAdvance(title.text);
    const qreal capHeight = metrics.capHeight();
    qreal x = box.left() + (box.width() - width) / 2;
    if (alignment & Qt::AlignRight)
        x = box.right() - width;
    qreal baseline = box.top() + (box.height() + capHeight) / 2;
    if (alignment & Qt::AlignBottom)
        baseline = box.bottom() - std::max<qreal>(0.5, box.height() * 0.04);

    QPainterPath path;
    path.addText(QPointF(x, baseline), font, title.text);
    const QColor fill = title.color.value_or(labelColor);
    const QColor halo = fill.lightnessF() > 0.5 ? QColor(0, 0, 0, 170) : QColor(255, 255, 255, 200);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(halo, std::max<qreal>(1.0, font.pixelSize() / 7.0), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(path);
    painter.restore();
}
