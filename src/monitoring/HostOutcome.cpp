#include "monitoring/HostOutcome.h"

#include "http/HttpClient.h"

HostOutcome HostOutcome::next(const HttpResult &result, const QDateTime &now) const {
    HostOutcome outcome;
    outcome.up = result.ok;
    outcome.reason = result.ok ? QString() : failureReason(result);
    outcome.since = (up == outcome.up && since.isValid()) ? since : now;
    return outcome;
}

HostOutcome HostOutcome::next(const HttpResult &result, const CheckVerdict &verdict,
                              const QDateTime &now) const {
    HostOutcome outcome = next(result, now);
    outcome.failed = verdict.failed;
    return outcome;
}

QString HostOutcome::shortText() const {
    if (!up)
        return QStringLiteral("not checked yet");
    return *up ? QStringLiteral("up") : reason;
}

QString HostOutcome::withTime() const {
    if (!up || !since.isValid())
        return shortText();
    return shortText() + QStringLiteral(" since ") + since.toLocalTime().toString(u"HH:mm");
}
