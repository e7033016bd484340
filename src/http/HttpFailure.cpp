#include "http/HttpFailure.h"

#include "http/HttpClient.h"

#include <cmath>

QString failureReason(const HttpResult &result) {
    switch (result.failure) {
    case HttpFailure::None:
        return QString();
    case HttpFailure::NotChecked:
        return QStringLiteral("not checked yet");
    case HttpFailure::HttpStatus:
        return result.status ? QStringLiteral("HTTP %1").arg(*result.status)
                             : QStringLiteral("no HTTP answer");
    case HttpFailure::TimedOut:
        return QStringLiteral("timed out after %1 s").arg(std::lround(result.seconds));
    case HttpFailure::ConnectionRefused:
        return QStringLiteral("connection refused");
    case HttpFailure::NameNotResolved:
        return QStringLiteral("name not resolved");
    case HttpFailure::NetworkUnreachable:
        return QStringLiteral("network unreachable");
    case HttpFailure::HostUnreachable:
        return QStringLiteral("host unreachable");
    case HttpFailure::ConnectionFailed:
        return QStringLiteral("could not connect");
    case HttpFailure::CertificateNotTrusted:
        return QStringLiteral("certificate not trusted");
    case HttpFailure::TooManyRedirects:
        return QStringLiteral("too many redirects");
    case HttpFailure::NotWebAddress:
        return QStringLiteral("not an http or https address");
    case HttpFailure::ResponseTooLarge:
        return QStringLiteral("response too large");
    case HttpFailure::HeaderTooLarge:
        return QStringLiteral("response header too large");
    case HttpFailure::CertificateKeyChanged:
        return QStringLiteral("certificate key changed");
    case HttpFailure::Other:
        break;
    }
    return result.error.isEmpty() ? QStringLiteral("failed") : result.error;
}

bool isNetworkLevel(HttpFailure failure) {
    return failure == HttpFailure::NameNotResolved || failure == HttpFailure::NetworkUnreachable ||
           failure == HttpFailure::HostUnreachable;
}
