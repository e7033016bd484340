#include "certificates/CertificateNotice.h"

qint64 CertificateNotice::daysLeft(const QDateTime &expiry, const QDateTime &now) {
    const qint64 seconds = now.secsTo(expiry);
    // Rounded towards minus infinity, so a certificate that ran out an hour ago is at -1, not 0.
    return seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
}

bool CertificateNotice::isWarning(const QDateTime &expiry, const QDateTime &now) {
    return daysLeft(expiry, now) < warningDays;
}

std::optional<QString> CertificateNotice::toolTipLine(const std::optional<QDateTime> &expiry,
                                                      const QDateTime &now) {
    if (!expiry || !expiry->isValid())
        return std::nullopt;
    const qint64 days = daysLeft(*expiry, now);
    if (now >= *expiry)
        return QStringLiteral("Warning: the certificate has run out");
    if (days == 0)
        return QStringLiteral("Warning: the certificate runs out today");
    const QString count = days == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(days);
    if (days < warningDays)
        return QStringLiteral("Warning: the certificate runs out in ") + count;
    return QStringLiteral("Certificate: ") + count + QStringLiteral(" left");
}
