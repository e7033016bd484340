#include "drawing/NamedImages.h"

#include "drawing/PaintedIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace {
// Button glyphs are drawn in one neutral tone that reads on light and dark menus alike.
const QColor glyph(96, 96, 104);

void menubarIcon(QPainter &p, const QRectF &r) {
    // A teal disc with a white pulse line, outlined so it stands out on light and dark panels.
    const QRectF disc = r.adjusted(1, 1, -1, -1);
    p.setPen(QPen(QColor(16, 52, 64), 1.2));
    p.setBrush(QColor(22, 150, 160));
    p.drawEllipse(disc);
    QPainterPath pulse;
    const double y = r.center().y();
    pulse.moveTo(r.left() + 3.5, y);
    pulse.lineTo(r.left() + 7.5, y);
    pulse.lineTo(r.left() + 9.5, y - 5);
    pulse.lineTo(r.left() + 12, y + 5);
    pulse.lineTo(r.left() + 14, y);
    pulse.lineTo(r.right() - 3.5, y);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(pulse);
}

void plusOrMinus(QPainter &p, const QRectF &r, bool plus) {
    p.setPen(QPen(glyph, 2.0, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = r.center();
    const double half = r.width() * 0.32;
    p.drawLine(QPointF(c.x() - half, c.y()), QPointF(c.x() + half, c.y()));
    if (plus)
        p.drawLine(QPointF(c.x(), c.y() - half), QPointF(c.x(), c.y() + half));
}

void pencil(QPainter &p, const QRectF &r) {
    p.setPen(QPen(glyph, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath body;
    const double w = r.width();
    body.moveTo(r.left() + 0.2 * w, r.top() + 0.8 * w);
    body.lineTo(r.left() + 0.25 * w, r.top() + 0.6 * w);
    body.lineTo(r.left() + 0.65 * w, r.top() + 0.2 * w);
    body.lineTo(r.left() + 0.8 * w, r.top() + 0.35 * w);
    body.lineTo(r.left() + 0.4 * w, r.top() + 0.75 * w);
    body.closeSubpath();
    p.drawPath(body);
}

void playGlyph(QPainter &p, const QRectF &r) {
    QPainterPath triangle;
    const double w = r.width();
    triangle.moveTo(r.left() + 0.3 * w, r.top() + 0.2 * w);
    triangle.lineTo(r.left() + 0.8 * w, r.top() + 0.5 * w);
    triangle.lineTo(r.left() + 0.3 * w, r.top() + 0.8 * w);
    triangle.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(glyph);
    p.drawPath(triangle);
}

void pauseGlyph(QPainter &p, const QRectF &r) {
    const double w = r.width();
    p.setPen(Qt::NoPen);
    p.setBrush(glyph);
    p.drawRoundedRect(QRectF(r.left() + 0.25 * w, r.top() + 0.2 * w, 0.17 * w, 0.6 * w), 1, 1);
    p.drawRoundedRect(QRectF(r.left() + 0.58 * w, r.top() + 0.2 * w, 0.17 * w, 0.6 * w), 1, 1);
}
void chartGlyph(QPainter &p, const QRectF &r) {
    // Three bars of rising height: a host's history.
    const double w = r.width();
    p.setPen(Qt::NoPen);
    p.setBrush(glyph);
    const double base = r.top() + 0.82 * w;
    const double heights[] = {0.3, 0.5, 0.68};
    for (int i = 0; i < 3; ++i) {
        const double left = r.left() + (0.18 + 0.23 * i) * w;
        p.drawRoundedRect(QRectF(left, base - heights[i] * w, 0.17 * w, heights[i] * w), 1, 1);
    }
}
} // namespace

QSize NamedImages::naturalSize(const QString &name) {
    return name == u"menubarIcon" ? QSize(20, 20) : QSize(16, 16);
}

QIcon NamedImages::icon(const QString &name) {
    const QSizeF size = naturalSize(name);
    if (name == u"menubarIcon")
        return PaintedIcon::make(size, menubarIcon);
    if (name == u"LMAdd")
        return PaintedIcon::make(size,
                                 [](QPainter &p, const QRectF &r) { plusOrMinus(p, r, true); });
    if (name == u"LMRemove")
        return PaintedIcon::make(size,
                                 [](QPainter &p, const QRectF &r) { plusOrMinus(p, r, false); });
    if (name == u"LMEdit")
        return PaintedIcon::make(size, pencil);
    if (name == u"LMPlay")
        return PaintedIcon::make(size, playGlyph);
    if (name == u"LMPause")
        return PaintedIcon::make(size, pauseGlyph);
    if (name == u"LMDetails")
        return PaintedIcon::make(size, chartGlyph);
    return {};
}
