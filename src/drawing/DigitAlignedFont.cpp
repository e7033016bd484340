#include "drawing/DigitAlignedFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>

bool DigitAlignedFont::hasAlignedDigits(const QFont &font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (!qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char(digit)), zero))
            return false;
    return true;
}

QFont DigitAlignedFont::font(qreal pointSize) {
    QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    system.setPointSizeF(pointSize);
    system.setWeight(QFont::Normal);
    if (hasAlignedDigits(system))
        return system;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(pointSize);
    fixed.setWeight(QFont::Normal);
    return fixed;
}
