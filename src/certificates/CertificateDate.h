#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Reads the "Expire date" libcurl reports for a server certificate (CURLOPT_CERTINFO). Its text
// depends on the TLS library behind libcurl: OpenSSL prints "Mar  1 12:00:00 2027 GMT", GnuTLS
// and others "2027-03-01 12:00:00 GMT". Both are read; anything else is nothing rather than a
// guess.
class CertificateDate {
public:
    static std::optional<QDateTime> parse(const QString &text);
};
