#include "checkediting/CheckSummary.h"

#include "checks/ReasonText.h"

#include <QStringList>

QList<std::pair<QString, QString>> CheckSummary::rows(const CheckOptions &options) {
    const QString request =
        (options.method == CheckOptions::Method::Head ? QStringLiteral("HEAD")
                                                      : QStringLiteral("GET")) +
        (options.followRedirects
             ? QStringLiteral(", redirects followed")
             : QStringLiteral(", redirects not followed (the first answer is judged)")) +
        QStringLiteral(", timeout %1 s").arg(options.timeoutSeconds);

    QString upWhen = QStringLiteral("HTTP ") + options.expectStatus.toString();
    if (options.bodyContains)
        upWhen += QStringLiteral(", body contains ") + quotedText(*options.bodyContains);
    if (options.bodyLacks)
        upWhen += QStringLiteral(", body lacks ") + quotedText(*options.bodyLacks);

    const QString slow = options.slowAboveMs
                             ? QStringLiteral("slower than ") + durationText(*options.slowAboveMs)
                             : QStringLiteral("not watched (no limit set)");

    QStringList headers;
    for (auto it = options.headers.cbegin(); it != options.headers.cend(); ++it)
        headers << it.key() + QStringLiteral(": ") + QString::fromUtf8(hiddenValue);
    const QString trust =
        options.trustedCertificate
            ? QStringLiteral("the key pinned as ") + *options.trustedCertificate
            : QStringLiteral("certificates signed by an authority the system trusts");

    return {{QStringLiteral("Request"), request},
            {QStringLiteral("Up when"), upWhen},
            {QStringLiteral("Slow"), slow},
            {QStringLiteral("Headers"),
             headers.isEmpty() ? QStringLiteral("none") : headers.join(QStringLiteral(", "))},
            {QStringLiteral("Trust"), trust}};
}
