#pragma once

#include "checks/CheckVerdict.h"
#include "http/HttpClient.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// The Prometheus text exposition format (version 0.0.4) for the last check of every host, under
// the names server-side probers use, so dashboards and alert rules written for those fit as they
// are. Every sample carries the labels name (the host's display name) and target (its address),
// and, only where two hosts share both, index to tell their series apart.
class MetricsText {
public:
    static constexpr char contentType[] = "text/plain; version=0.0.4; charset=utf-8";

    struct Probe {
        QString name;
        QString target;
        HttpResult result;
        // Only hosts with check options of their own get the series about them, so a host
        // without options shows exactly what it always did.
        bool hasOptions = false;
        CheckVerdict::Expectation failed = CheckVerdict::Expectation::None;
        bool slow = false; // the host's slow state, not the last answer's alone
    };

    // The exposition for `probes`, in their order, and the time the last round began when there
    // was one.
    static QByteArray render(const std::vector<Probe> &probes,
                             const std::optional<QDateTime> &roundStarted);

    // A label value as the format requires it: backslash, double quote and line feed escaped,
    // everything else (UTF-8 included) as it is.
    static QByteArray escapeLabelValue(const QString &value);
};
