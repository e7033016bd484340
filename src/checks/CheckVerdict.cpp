#include "checks/CheckVerdict.h"

#include "checks/ReasonText.h"

#include <cmath>

namespace {
using Expectation = CheckVerdict::Expectation;
using Transport = CheckVerdict::Answer::Transport;

CheckVerdict down(const QString &reason, Expectation failed) {
    return CheckVerdict{false, reason, failed, false};
}

// Durations come from whole microseconds; going through them keeps 1.001 s from reading as
// 1000.9999 ms, and so as not above a limit of 1000 ms.
std::optional<qint64> wholeMilliseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e9)
        return std::nullopt;
    return std::llround(seconds * 1e6) / 1000;
}

// Seconds with as many decimals as it takes (at most three) for `ms`, rounded down, to read as
// more than `aboveMs`: 1999 ms over 1 s is "1.9 s", 1040 ms over 1 s is "1.04 s".
QString tookText(qint64 ms, qint64 aboveMs) {
    if (ms < 1000)
        return durationText(ms);
    for (qint64 step : {100, 10}) {
        const qint64 shown = ms / step * step;
        if (shown > aboveMs)
            return durationText(shown);
    }
    return durationText(ms);
}
} // namespace

CheckVerdict CheckVerdict::judge(const CheckOptions &options, const Answer &answer) {
    switch (answer.transport) {
    case Transport::TimedOut:
        return down(QStringLiteral("timed out after %1 s").arg(options.timeoutSeconds),
                    Expectation::TimeoutSeconds);
    case Transport::KeyChanged:
        return down(QStringLiteral("certificate key changed"), Expectation::TrustedCertificate);
    case Transport::Failed:
        return down(answer.failureReason.isEmpty() ? QStringLiteral("failed")
                                                   : answer.failureReason,
                    Expectation::None);
    case Transport::Answered:
        break;
    }
    if (!answer.status)
        return down(QStringLiteral("no HTTP answer"), Expectation::None);
    if (!options.expectStatus.contains(*answer.status)) {
        QString reason = QStringLiteral("HTTP %1").arg(*answer.status);
        if (options.hasAnyOption())
            reason += QStringLiteral(" (expected %1)").arg(options.expectStatus.toString());
        return down(reason, Expectation::ExpectStatus);
    }
    const QString inWhatWasRead =
        answer.bodyCut ? QStringLiteral(" in its first 1 MiB") : QString();
    if (options.bodyContains && !answer.bodyContainsFound)
        return down(
            QStringLiteral("body lacks %1%2").arg(quotedText(*options.bodyContains), inWhatWasRead),
            Expectation::BodyContains);
    if (options.bodyLacks && answer.bodyLacksFound)
        return down(QStringLiteral("body contains %1").arg(quotedText(*options.bodyLacks)),
                    Expectation::BodyLacks);

    CheckVerdict verdict{true, QString(), Expectation::None, false};
    if (options.slowAboveMs) {
        if (const std::optional<qint64> ms = wholeMilliseconds(answer.seconds);
            ms && *ms > *options.slowAboveMs) {
            verdict.slow = true;
            verdict.reason = slowReason(*ms, *options.slowAboveMs);
        }
    }
    return verdict;
}

QString CheckVerdict::expectationKey(Expectation expectation) {
    switch (expectation) {
    case Expectation::None:
        break;
    case Expectation::ExpectStatus:
        return QString::fromLatin1(CheckOptions::expectStatusKey);
    case Expectation::BodyContains:
        return QString::fromLatin1(CheckOptions::bodyContainsKey);
    case Expectation::BodyLacks:
        return QString::fromLatin1(CheckOptions::bodyLacksKey);
    case Expectation::TrustedCertificate:
        return QString::fromLatin1(CheckOptions::trustedCertificateKey);
    case Expectation::TimeoutSeconds:
        return QString::fromLatin1(CheckOptions::timeoutSecondsKey);
    }
    return QString();
}

QString CheckVerdict::slowReason(qint64 tookMs, qint64 slowAboveMs) {
    return QStringLiteral("slow (%1 > %2)")
        .arg(tookText(tookMs, slowAboveMs), durationText(slowAboveMs));
}
