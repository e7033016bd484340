#include "menuitems/MenuText.h"

QString MenuText::forMenu(const QString &text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
