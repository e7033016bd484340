#include "checks/CheckOptionsJson.h"

#include "checks/ReasonText.h"

#include <cmath>

namespace {
using Problem = CheckOptions::Problem;

const QString kExpectStatus = QString::fromLatin1(CheckOptions::expectStatusKey);
const QString kFollowRedirects = QString::fromLatin1(CheckOptions::followRedirectsKey);
const QString kMethod = QString::fromLatin1(CheckOptions::methodKey);
const QString kBodyContains = QString::fromLatin1(CheckOptions::bodyContainsKey);
const QString kBodyLacks = QString::fromLatin1(CheckOptions::bodyLacksKey);
const QString kTimeoutSeconds = QString::fromLatin1(CheckOptions::timeoutSecondsKey);
const QString kHeaders = QString::fromLatin1(CheckOptions::headersKey);
const QString kTrustedCertificate = QString::fromLatin1(CheckOptions::trustedCertificateKey);
const QString kSlowAboveMs = QString::fromLatin1(CheckOptions::slowAboveMsKey);

const QString kGet = QStringLiteral("GET");
const QString kHead = QStringLiteral("HEAD");

bool fail(Problem *problem, const QString &key, const QString &why) {
    if (problem)
        *problem = Problem{key, why};
    return false;
}

bool present(const QJsonValue &value) {
    return !value.isUndefined() && !value.isNull();
}

// A JSON number that is a whole number within [low, high]; 30.0 is 30, 30.5 is nothing.
std::optional<int> wholeNumber(const QJsonValue &value, int low, int high) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!(number >= low && number <= high) || std::floor(number) != number)
        return std::nullopt;
    return int(number);
}

bool readText(const QJsonObject &o, const QString &key, std::optional<QString> &out,
              Problem *problem) {
    const QJsonValue value = o.value(key);
    if (!present(value))
        return true;
    if (!value.isString())
        return fail(problem, key, QStringLiteral("must be text"));
    out = value.toString();
    return true;
}

bool readValues(const QJsonObject &o, CheckOptions &options, Problem *problem) {
    if (const QJsonValue v = o.value(kExpectStatus); present(v)) {
        if (!v.isString())
            return fail(problem, kExpectStatus,
                        QStringLiteral("must be text such as \"200-299,401\""));
        QString why;
        const auto expectation = StatusExpectation::parse(v.toString(), &why);
        if (!expectation)
            return fail(problem, kExpectStatus, why);
        options.expectStatus = *expectation;
    }
    if (const QJsonValue v = o.value(kFollowRedirects); present(v)) {
        if (!v.isBool())
            return fail(problem, kFollowRedirects, QStringLiteral("must be true or false"));
        options.followRedirects = v.toBool();
    }
    if (const QJsonValue v = o.value(kMethod); present(v)) {
        if (v != QJsonValue(kGet) && v != QJsonValue(kHead))
            return fail(problem, kMethod, QStringLiteral("must be \"GET\" or \"HEAD\""));
        options.method =
            v.toString() == kHead ? CheckOptions::Method::Head : CheckOptions::Method::Get;
    }
    if (!readText(o, kBodyContains, options.bodyContains, problem) ||
        !readText(o, kBodyLacks, options.bodyLacks, problem))
        return false;
    if (const QJsonValue v = o.value(kTimeoutSeconds); present(v)) {
        const auto seconds =
            wholeNumber(v, CheckOptions::minTimeoutSeconds, CheckOptions::maxTimeoutSeconds);
        if (!seconds)
            return fail(problem, kTimeoutSeconds,
                        QStringLiteral("must be a whole number from %1 to %2")
                            .arg(CheckOptions::minTimeoutSeconds)
                            .arg(CheckOptions::maxTimeoutSeconds));
        options.timeoutSeconds = *seconds;
    }
    if (const QJsonValue v = o.value(kHeaders); present(v)) {
        if (!v.isObject())
            return fail(problem, kHeaders,
                        QStringLiteral("must be an object of header names and values"));
        const QJsonObject headers = v.toObject();
        for (auto it = headers.begin(); it != headers.end(); ++it) {
            if (!it.value().isString())
                return fail(
                    problem, kHeaders,
                    QStringLiteral("the value of %1 must be text").arg(quotedText(it.key())));
            options.headers.insert(it.key(), it.value().toString());
        }
    }
    if (!readText(o, kTrustedCertificate, options.trustedCertificate, problem))
        return false;
    if (const QJsonValue v = o.value(kSlowAboveMs); present(v)) {
        const auto ms = wholeNumber(v, 1, CheckOptions::maxSlowAboveMs);
        if (!ms)
            return fail(problem, kSlowAboveMs,
                        QStringLiteral("must be a whole number of milliseconds from 1 to %1")
                            .arg(CheckOptions::maxSlowAboveMs));
        options.slowAboveMs = *ms;
    }
    return true;
}
} // namespace

std::optional<CheckOptions> CheckOptionsJson::read(const QJsonValue &value, Problem *problem) {
    if (!present(value))
        return CheckOptions();
    if (!value.isObject()) {
        fail(problem, QString(),
             QStringLiteral("\"%1\" must be an object of check options").arg(QLatin1String(key)));
        return std::nullopt;
    }
    const QJsonObject o = value.toObject();
    static const QStringList known = {kExpectStatus, kFollowRedirects,    kMethod,
                                      kBodyContains, kBodyLacks,          kTimeoutSeconds,
                                      kHeaders,      kTrustedCertificate, kSlowAboveMs};
    for (const QString &name : o.keys()) {
        if (!known.contains(name)) {
            fail(problem, QString(),
                 QStringLiteral("unknown check option %1").arg(quotedText(name)));
            return std::nullopt;
        }
    }
    CheckOptions options;
    if (!readValues(o, options, problem))
        return std::nullopt;
    if (const auto p = options.problem()) {
        if (problem)
            *problem = *p;
        return std::nullopt;
    }
    return options;
}

QJsonObject CheckOptionsJson::write(const CheckOptions &options) {
    const CheckOptions defaults;
    QJsonObject o;
    if (options.expectStatus != defaults.expectStatus)
        o.insert(kExpectStatus, options.expectStatus.toString());
    if (options.followRedirects != defaults.followRedirects)
        o.insert(kFollowRedirects, options.followRedirects);
    if (options.method != defaults.method)
        o.insert(kMethod, options.method == CheckOptions::Method::Head ? kHead : kGet);
    if (options.bodyContains)
        o.insert(kBodyContains, *options.bodyContains);
    if (options.bodyLacks)
        o.insert(kBodyLacks, *options.bodyLacks);
    if (options.timeoutSeconds != defaults.timeoutSeconds)
        o.insert(kTimeoutSeconds, options.timeoutSeconds);
    if (!options.headers.isEmpty()) {
        QJsonObject headers;
        for (auto it = options.headers.cbegin(); it != options.headers.cend(); ++it)
            headers.insert(it.key(), it.value());
        o.insert(kHeaders, headers);
    }
    if (options.trustedCertificate)
        o.insert(kTrustedCertificate, *options.trustedCertificate);
    if (options.slowAboveMs)
        o.insert(kSlowAboveMs, *options.slowAboveMs);
    return o;
}
