#pragma once

#include "checks/CheckVerdict.h"

#include <QDateTime>
#include <QString>

#include <optional>

struct HttpResult;

// What a host's last check said, kept so the tray can tell why a host is down and since when.
struct HostOutcome {
    std::optional<bool> up; // nothing until the host has been checked
    QString reason;         // the short reason of a failure; empty while up
    QDateTime since;        // when `up` last changed
    // The host's option whose expectation the last check failed (see CheckVerdict); None while
    // up, and for failures no option speaks of.
    CheckVerdict::Expectation failed = CheckVerdict::Expectation::None;

    // The outcome after `result` arrived at `now`: `since` moves only when up/down flips.
    HostOutcome next(const HttpResult &result, const QDateTime &now) const;
    // The same for a result already read by the host's options (CheckRequest::judged), with the
    // verdict that read it.
    HostOutcome next(const HttpResult &result, const CheckVerdict &verdict,
                     const QDateTime &now) const;
    // "HTTP 503", "up" or "not checked yet".
    QString shortText() const;
    // "HTTP 503 since 14:02", "up since 09:15", "not checked yet".
    QString withTime() const;

    bool operator==(const HostOutcome &) const = default;
};
