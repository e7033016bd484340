#include "certificates/CertificateDate.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <array>

namespace {
int monthNumber(QStringView name) {
    static constexpr std::array<const char *, 12> months = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::size_t i = 0; i < months.size(); ++i)
        if (name.compare(QLatin1StringView(months[i]), Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    return 0;
}

std::optional<QDateTime> utc(int year, int month, int day, int hour, int minute, int second) {
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}
} // namespace

std::optional<QDateTime> CertificateDate::parse(const QString &text) {
    static const QRegularExpression openSsl(QStringLiteral(
        R"(^\s*([A-Za-z]{3})\s+(\d{1,2})\s+(\d{2}):(\d{2}):(\d{2})(?:\.\d+)?\s+(\d{4})\s+GMT\s*$)"));
    static const QRegularExpression iso(QStringLiteral(
        R"(^\s*(\d{4})-(\d{2})-(\d{2})[ T](\d{2}):(\d{2}):(\d{2})\s*(?:GMT|UTC|Z)?\s*$)"));
    if (const QRegularExpressionMatch m = openSsl.match(text); m.hasMatch()) {
        const int month = monthNumber(m.capturedView(1));
        if (month == 0)
            return std::nullopt;
        return utc(m.capturedView(6).toInt(), month, m.capturedView(2).toInt(),
                   m.capturedView(3).toInt(), m.capturedView(4).toInt(), m.capturedView(5).toInt());
    }
    if (const QRegularExpressionMatch m = iso.match(text); m.hasMatch())
        return utc(m.capturedView(1).toInt(), m.capturedView(2).toInt(), m.capturedView(3).toInt(),
                   m.capturedView(4).toInt(), m.capturedView(5).toInt(), m.capturedView(6).toInt());
    return std::nullopt;
}
