#include "trayitem/AttributedText.h"

#include <QFontMetricsF>

qreal AttributedText::width() const {
    return QFontMetricsF(font).horizontalAdvance(text);
}
