#include "drawing/PaintedIcon.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace {
class PaintedIconEngine final : public QIconEngine {
public:
    PaintedIconEngine(const QSizeF &logicalSize, PaintedIcon::Draw draw)
        : logicalSize_(logicalSize)
        , draw_(std::move(draw)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / logicalSize_.width(), rect.height() / logicalSize_.height());
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.4);
        draw_(*painter, QRectF(QPointF(0, 0), logicalSize_));
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        painter.end();
        return QPixmap::fromImage(image);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        // What an exported tray icon is sent as; drawn on demand, so any size works.
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24),  QSize(32, 32),
                QSize(48, 48), QSize(64, 64), QSize(128, 128)};
    }

    QIconEngine *clone() const override { return new PaintedIconEngine(logicalSize_, draw_); }
    QString key() const override { return QStringLiteral("tarvik-painted"); }

private:
    QSizeF logicalSize_;
    PaintedIcon::Draw draw_;
};
} // namespace

QIcon PaintedIcon::make(const QSizeF &logicalSize, Draw draw) {
    // QIcon takes ownership of its engine.
    return QIcon(new PaintedIconEngine(logicalSize, std::move(draw)));
}

QImage PaintedIcon::render(const QIcon &icon, const QSize &size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, QRect(QPoint(0, 0), size));
    painter.end();
    return image;
}
