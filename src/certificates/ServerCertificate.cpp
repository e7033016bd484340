#include "certificates/ServerCertificate.h"

#include "http/HttpRequestOptions.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QStringList>

#include <functional>

namespace {
// One DER element: its tag, where it begins, where its content begins and where it ends.
struct Element {
    quint8 tag = 0;
    qsizetype begin = 0;
    qsizetype content = 0;
    qsizetype end = 0;
};

// The element at `at`, which must end by `limit`; nothing when it does not or is not DER.
std::optional<Element> element(QByteArrayView der, qsizetype at, qsizetype limit) {
    if (at < 0 || limit > der.size() || limit - at < 2)
        return std::nullopt;
    Element e;
    e.begin = at;
    e.tag = quint8(der[at]);
    // Tags past 30 take more bytes; none of the elements looked at here has one.
    if ((e.tag & 0x1f) == 0x1f)
        return std::nullopt;
    qsizetype pos = at + 1;
    const quint8 first = quint8(der[pos++]);
    qsizetype length = first;
    if (first >= 0x80) {
        // 0x80 alone is BER's "until an end mark", which DER never uses.
        const int bytes = first & 0x7f;
        if (bytes == 0 || bytes > 4 || bytes > limit - pos)
            return std::nullopt;
        length = 0;
        for (int i = 0; i < bytes; ++i)
            length = (length << 8) | quint8(der[pos++]);
    }
    if (length > limit - pos)
        return std::nullopt;
    e.content = pos;
    e.end = pos + length;
    return e;
}

constexpr quint8 sequence = 0x30;
constexpr quint8 integer = 0x02;
constexpr quint8 explicitVersion = 0xa0;

// A name or value as it reads on one line: nothing in it can break the line or turn the text
// around.
QString readable(const QString &text) {
    QString out = text;
    for (QChar &c : out) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            c = QChar::ReplacementCharacter;
            break;
        default:
            break;
        }
    }
    return out;
}

// The attributes of a name, the most telling first.
QString nameText(const QList<QByteArray> &attributes,
                 const std::function<QStringList(const QByteArray &)> &values) {
    static const QList<QByteArray> leading = {"CN", "OU", "O", "L", "ST", "C"};
    QList<QByteArray> ordered;
    for (const QByteArray &attribute : leading)
        if (attributes.contains(attribute))
            ordered.append(attribute);
    for (const QByteArray &attribute : attributes)
        if (!ordered.contains(attribute))
            ordered.append(attribute);
    QStringList parts;
    for (const QByteArray &attribute : ordered)
        for (const QString &value : values(attribute))
            parts.append(readable(QString::fromLatin1(attribute)) + QLatin1Char('=') +
                         readable(value));
    return parts.join(QStringLiteral(", "));
}
} // namespace

QByteArray ServerCertificate::pinOf(QByteArrayView der) {
    // Certificate ::= SEQUENCE { tbsCertificate SEQUENCE { [0] version OPTIONAL, serialNumber,
    // signature, issuer, validity, subject, subjectPublicKeyInfo, ... }, ... }
    const std::optional<Element> certificate = element(der, 0, der.size());
    if (!certificate || certificate->tag != sequence)
        return QByteArray();
    const std::optional<Element> tbs = element(der, certificate->content, certificate->end);
    if (!tbs || tbs->tag != sequence)
        return QByteArray();
    qsizetype at = tbs->content;
    std::optional<Element> field = element(der, at, tbs->end);
    if (field && field->tag == explicitVersion) {
        at = field->end;
        field = element(der, at, tbs->end);
    }
    for (const quint8 tag : {integer, sequence, sequence, sequence, sequence}) {
        if (!field || field->tag != tag)
            return QByteArray();
        at = field->end;
        field = element(der, at, tbs->end);
    }
    if (!field || field->tag != sequence)
        return QByteArray();
    const QByteArrayView key = der.sliced(field->begin, field->end - field->begin);
    return HttpRequestOptions::pinPrefix +
           QCryptographicHash::hash(key, QCryptographicHash::Sha256).toBase64();
}

std::optional<ServerCertificate> ServerCertificate::fromPem(const QByteArray &pem) {
    const QSslCertificate certificate(pem, QSsl::Pem);
    if (certificate.isNull())
        return std::nullopt;
    ServerCertificate read;
    read.publicKeyPin = pinOf(certificate.toDer());
    if (read.publicKeyPin.isEmpty())
        return std::nullopt;
    read.subject = nameText(certificate.subjectInfoAttributes(),
                            [&](const QByteArray &a) { return certificate.subjectInfo(a); });
    read.issuer = nameText(certificate.issuerInfoAttributes(),
                           [&](const QByteArray &a) { return certificate.issuerInfo(a); });
    read.notBefore = certificate.effectiveDate().toUTC();
    read.notAfter = certificate.expiryDate().toUTC();
    read.sha256Fingerprint = certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper();
    return read;
}
