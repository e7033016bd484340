#include "menuitems/MenuText.h"

QString MenuText::forMenu(const QString &text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString MenuText::forExportedMenu(const QString &text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('_'), QStringLiteral("__"));
    // Doubling the first "&" makes Qt's conversion yield "_&", a literal ampersand.
    const qsizetype first = escaped.indexOf(QLatin1Char('&'));
    if (first >= 0)
        escaped.insert(first, QLatin1Char('&'));
    return escaped;
}
