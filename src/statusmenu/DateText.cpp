#include "statusmenu/DateText.h"

#include <QRegularExpression>

QString DateText::shortDateMediumTime(const QDateTime &when, const QLocale &locale) {
    // The long time format is the one with seconds; it also names the zone ("t"), which the
    // medium style leaves out.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b\\s*")));
    const QDateTime local = when.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QStringLiteral(", ") +
           locale.toString(local.time(), timeFormat.trimmed());
}
