// Draws Tarvik's application icon at every size the desktop asks for, so the PNGs in the icon
// theme are made at build time from this code rather than kept as binaries.
// Usage: tarvik-icon-renderer OUTPUT_FOLDER SIZE...   writes OUTPUT_FOLDER/SIZExSIZE.png
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cstdio>

namespace {
QImage render(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 100-unit square, whatever the pixel size.
    painter.scale(size / 100.0, size / 100.0);

    QLinearGradient disc(QPointF(10, 10), QPointF(90, 90));
    disc.setColorAt(0.0, QColor(0x25, 0x63, 0xeb));
    disc.setColorAt(1.0, QColor(0x0d, 0x94, 0x88));
    painter.setPen(Qt::NoPen);
    painter.setBrush(disc);
    painter.drawEllipse(QRectF(4, 4, 92, 92));

    QPainterPath pulse;
    pulse.moveTo(16, 54);
    pulse.lineTo(34, 54);
    pulse.lineTo(42, 30);
    pulse.lineTo(54, 74);
    pulse.lineTo(62, 46);
    pulse.lineTo(68, 54);
    pulse.lineTo(84, 54);
    // Small icons get a bolder line so the beat still reads at 16 pixels.
    const double width = size <= 24 ? 11.0 : size <= 48 ? 9.0 : 7.0;
    painter.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(pulse);
    painter.end();
    return image;
}
} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fputs("usage: tarvik-icon-renderer OUTPUT_FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "tarvik-icon-renderer: cannot create %s\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "tarvik-icon-renderer: bad size %s\n", argv[i]);
            return 2;
        }
        const QString file = folder.filePath(QStringLiteral("%1x%1.png").arg(size));
        if (!render(size).save(file, "PNG")) {
            std::fprintf(stderr, "tarvik-icon-renderer: cannot write %s\n",
                         file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
