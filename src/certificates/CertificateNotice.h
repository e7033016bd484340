#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// What a host's certificate expiry means to the user: how many whole days are left, whether that
// is close enough to warn about, and the tooltip line that says so.
class CertificateNotice {
public:
    // A certificate that runs out within this many days is warned about.
    static constexpr int warningDays = 14;

    // Whole days from `now` until `expiry`, rounded down; negative once it has run out.
    static qint64 daysLeft(const QDateTime &expiry, const QDateTime &now);
    static bool isWarning(const QDateTime &expiry, const QDateTime &now);
    // "Certificate: 42 days left", or a warning line within `warningDays`; nothing without a known
    // expiry (plain http, or not checked yet).
    static std::optional<QString> toolTipLine(const std::optional<QDateTime> &expiry,
                                              const QDateTime &now);
};
