#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Dates as the tray tooltip shows them: the locale's short date and its time with seconds
// (without a time zone).
class DateText {
public:
    static QString shortDateMediumTime(const QDateTime &when, const QLocale &locale = QLocale());
};
