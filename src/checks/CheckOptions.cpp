#include "checks/CheckOptions.h"

#include "checks/ReasonText.h"

#include <QByteArray>

#include <algorithm>

namespace {
using Problem = CheckOptions::Problem;

// RFC 7230 tchar.
bool isTokenChar(QChar c) {
    if (c.unicode() > 0x7f)
        return false;
    const char ascii = char(c.unicode());
    return (ascii >= 'a' && ascii <= 'z') || (ascii >= 'A' && ascii <= 'Z') ||
           (ascii >= '0' && ascii <= '9') || QByteArrayView("!#$%&'*+-.^_`|~").contains(ascii);
}

QString charName(QChar c) {
    if (c == QLatin1Char(':'))
        return QStringLiteral("a colon");
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
        return QStringLiteral("a line break");
    if (c.isSpace())
        return QStringLiteral("a space");
    return QStringLiteral("a character not allowed in header names");
}

// A user who pastes a whole header line ("Authorization: Bearer …") into the name would see the
// secret echoed back, so a bad name is shown only up to its first bad character.
std::optional<QString> headerNameProblem(const QString &name) {
    if (name.isEmpty())
        return QStringLiteral("a header has no name");
    const auto bad = std::find_if_not(name.begin(), name.end(), isTokenChar);
    if (bad == name.end())
        return std::nullopt;
    const qsizetype at = bad - name.begin();
    if (at == 0)
        return QStringLiteral("a header name starts with %1").arg(charName(*bad));
    return QStringLiteral("the header name %1 holds %2")
        .arg(quotedText(QString(name.first(at) + QStringLiteral("…"))), charName(*bad));
}

std::optional<QString> headerValueProblem(const QString &name, const QString &value) {
    for (const QChar c : value) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return QStringLiteral("the value of %1 holds a line break").arg(quotedText(name));
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7f)
            return QStringLiteral("the value of %1 holds a control character")
                .arg(quotedText(name));
    }
    return std::nullopt;
}

std::optional<QString> headersProblem(const QMap<QString, QString> &headers) {
    QMap<QString, QString> seen; // lower-case name to the name as written
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        if (auto why = headerNameProblem(it.key()))
            return why;
        if (auto why = headerValueProblem(it.key(), it.value()))
            return why;
        const QString folded = it.key().toLower();
        if (seen.contains(folded))
            return QStringLiteral("%1 and %2 are the same header")
                .arg(quotedText(seen.value(folded)), quotedText(it.key()));
        seen.insert(folded, it.key());
    }
    return std::nullopt;
}

// The digest must be the canonical base64 of 32 bytes: libcurl compares the text, so any other
// spelling of the same bytes would never match and the host would be down for good.
std::optional<QString> pinProblem(const QString &pin) {
    const QString prefix = QString::fromLatin1(CheckOptions::pinPrefix);
    const QString shape = QStringLiteral("must be \"%1\" and %2 base64 characters")
                              .arg(prefix)
                              .arg(CheckOptions::pinDigestLength);
    if (!pin.startsWith(prefix))
        return shape;
    const QStringView digest = QStringView(pin).sliced(prefix.size());
    if (digest.size() != CheckOptions::pinDigestLength)
        return QStringLiteral("%1, not %2").arg(shape).arg(digest.size());
    const QByteArray latin = digest.toLatin1();
    const auto decoded =
        QByteArray::fromBase64Encoding(latin, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 32 || decoded.decoded.toBase64() != latin)
        return QStringLiteral("is not the base64 of a SHA-256 digest after \"%1\"").arg(prefix);
    return std::nullopt;
}

std::optional<QString> bodyTextProblem(const std::optional<QString> &text,
                                       CheckOptions::Method method) {
    if (!text)
        return std::nullopt;
    if (text->isEmpty())
        return QStringLiteral("must not be empty");
    if (text->size() > CheckOptions::maxBodyTextLength)
        return QStringLiteral("must be at most %1 characters").arg(CheckOptions::maxBodyTextLength);
    if (method == CheckOptions::Method::Head)
        return QStringLiteral("a HEAD request has no body to search; use GET");
    return std::nullopt;
}

std::optional<Problem> problemOf(const char *key, const std::optional<QString> &why) {
    if (!why)
        return std::nullopt;
    return Problem{QString::fromLatin1(key), *why};
}
} // namespace

bool CheckOptions::hasAnyOption() const {
    return *this != CheckOptions();
}

QString CheckOptions::Problem::toString() const {
    return key.isEmpty() ? why : key + QStringLiteral(": ") + why;
}

std::optional<CheckOptions::Problem> CheckOptions::problem() const {
    if (auto p = problemOf(bodyContainsKey, bodyTextProblem(bodyContains, method)))
        return p;
    if (auto p = problemOf(bodyLacksKey, bodyTextProblem(bodyLacks, method)))
        return p;
    if (timeoutSeconds < minTimeoutSeconds || timeoutSeconds > maxTimeoutSeconds)
        return Problem{QString::fromLatin1(timeoutSecondsKey),
                       QStringLiteral("must be a whole number from %1 to %2")
                           .arg(minTimeoutSeconds)
                           .arg(maxTimeoutSeconds)};
    if (auto p = problemOf(headersKey, headersProblem(headers)))
        return p;
    if (trustedCertificate) {
        if (auto p = problemOf(trustedCertificateKey, pinProblem(*trustedCertificate)))
            return p;
    }
    if (slowAboveMs && (*slowAboveMs < 1 || *slowAboveMs > maxSlowAboveMs))
        return Problem{QString::fromLatin1(slowAboveMsKey),
                       QStringLiteral("must be a whole number of milliseconds from 1 to %1")
                           .arg(maxSlowAboveMs)};
    return std::nullopt;
}
