#include "metrics/MetricsText.h"

#include <QHash>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {
// Shortest text that reads back as the same double; Prometheus parses Go floats. Whole numbers
// (statuses, epoch seconds) stay plain digits rather than an exponent, for people reading it.
QByteArray number(double value) {
    if (std::isnan(value))
        return QByteArrayLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QByteArrayLiteral("+Inf") : QByteArrayLiteral("-Inf");
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QByteArray::number(qint64(value));
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// Epoch milliseconds as plain decimal seconds: "1772366400.5".
QByteArray epochSeconds(qint64 ms) {
    QByteArray text = QByteArray::number(ms / 1000);
    if (const qint64 rest = ms % 1000; rest != 0) {
        QByteArray fraction = QByteArray::number(rest).rightJustified(3, '0');
        while (fraction.endsWith('0'))
            fraction.chop(1);
        text += '.' + fraction;
    }
    return text;
}

void family(QByteArray &out, const char *name, const char *type, const char *help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

// One sample line; `labels` is the already escaped "name=...,target=..." part.
void sample(QByteArray &out, const char *name, const QByteArray &labels, double value,
            const char *extraLabel = nullptr) {
    out += name;
    out += '{';
    out += labels;
    if (extraLabel) {
        out += ',';
        out += extraLabel;
    }
    out += "} ";
    out += number(value);
    out += '\n';
}
// The series about what hosts with check options failed, and whether they are slow.
void renderOptionSeries(QByteArray &out, const std::vector<MetricsText::Probe> &probes,
                        const std::vector<QByteArray> &labels) {
    using Expectation = CheckVerdict::Expectation;
    family(out, "probe_failed_due_to_regex", "gauge",
           "Whether the last check failed on its body text (bodyContains or bodyLacks).");
    for (std::size_t i = 0; i < probes.size(); ++i)
        if (probes[i].hasOptions)
            sample(out, "probe_failed_due_to_regex", labels[i],
                   probes[i].failed == Expectation::BodyContains ||
                           probes[i].failed == Expectation::BodyLacks
                       ? 1
                       : 0);

    family(out, "tarvik_probe_failed_expectation", "gauge",
           "Whether the last check failed this check option's expectation (1) or not (0).");
    constexpr std::array<std::pair<Expectation, const char *>, 5> expectations = {{
        {Expectation::ExpectStatus, "expectation=\"expectStatus\""},
        {Expectation::BodyContains, "expectation=\"bodyContains\""},
        {Expectation::BodyLacks, "expectation=\"bodyLacks\""},
        {Expectation::TrustedCertificate, "expectation=\"trustedCertificate\""},
        {Expectation::TimeoutSeconds, "expectation=\"timeoutSeconds\""},
    }};
    for (std::size_t i = 0; i < probes.size(); ++i)
        if (probes[i].hasOptions)
            for (const auto &[expectation, label] : expectations)
                sample(out, "tarvik_probe_failed_expectation", labels[i],
                       probes[i].failed == expectation ? 1 : 0, label);

    family(out, "tarvik_probe_slow", "gauge",
           "Whether the host is slow (1): up, but its answers took longer than its slowAboveMs.");
    for (std::size_t i = 0; i < probes.size(); ++i)
        if (probes[i].hasOptions)
            sample(out, "tarvik_probe_slow", labels[i], probes[i].slow ? 1 : 0);
}
} // namespace

QByteArray MetricsText::escapeLabelValue(const QString &value) {
    const QByteArray utf8 = value.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size() + 8);
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '"':
            escaped += "\\\"";
            break;
        case '\n':
            escaped += "\\n";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QByteArray MetricsText::render(const std::vector<Probe> &probes,
                               const std::optional<QDateTime> &roundStarted) {
    std::vector<QByteArray> labels;
    labels.reserve(probes.size());
    // Two hosts alike in name and shown address would make one series twice, and Prometheus
    // keeps only one of them; the second and later ones carry index="2", "3"... in list order.
    QHash<QByteArray, int> seen;
    seen.reserve(qsizetype(probes.size()));
    for (const Probe &p : probes) {
        QByteArray label = QByteArrayLiteral("name=\"") + escapeLabelValue(p.name) +
                           QByteArrayLiteral("\",target=\"") + escapeLabelValue(p.target) + '"';
        if (const int occurrence = ++seen[label]; occurrence > 1)
            label += ",index=\"" + QByteArray::number(occurrence) + '"';
        labels.push_back(std::move(label));
    }

    QByteArray out;
    // About 870 bytes per host with loopback addresses; one allocation for a thousand hosts
    // instead of dozens.
    out.reserve(qsizetype(probes.size()) * 960 + 1024);

    family(out, "probe_success", "gauge", "Whether the last check succeeded (1) or failed (0).");
    for (std::size_t i = 0; i < probes.size(); ++i)
        sample(out, "probe_success", labels[i], probes[i].result.ok ? 1 : 0);

    family(out, "probe_duration_seconds", "gauge", "How long the last check took in total.");
    for (std::size_t i = 0; i < probes.size(); ++i)
        sample(out, "probe_duration_seconds", labels[i], probes[i].result.seconds);

    family(out, "probe_http_status_code", "gauge",
           "The final HTTP status of the last check; 0 when no answer arrived.");
    for (std::size_t i = 0; i < probes.size(); ++i)
        sample(out, "probe_http_status_code", labels[i], probes[i].result.status.value_or(0));

    family(out, "probe_http_duration_seconds", "gauge",
           "Where the last check's time went, by phase; only for checks that got an answer.");
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const std::optional<HttpPhases> &ph = probes[i].result.phases;
        if (!ph)
            continue;
        const std::array<std::pair<const char *, double>, 5> phases = {{
            {"phase=\"resolve\"", ph->dns},
            {"phase=\"connect\"", ph->connect},
            {"phase=\"tls\"", ph->tls},
            {"phase=\"processing\"", ph->processing},
            {"phase=\"transfer\"", ph->transfer},
        }};
        for (const auto &[label, seconds] : phases)
            sample(out, "probe_http_duration_seconds", labels[i], seconds, label);
    }

    family(out, "probe_ssl_earliest_cert_expiry", "gauge",
           "When the server's certificate runs out, in seconds since the epoch; https only.");
    for (std::size_t i = 0; i < probes.size(); ++i)
        if (const auto &expiry = probes[i].result.certificateExpiry)
            sample(out, "probe_ssl_earliest_cert_expiry", labels[i],
                   double(expiry->toSecsSinceEpoch()));

    // What failed, for hosts with options: the body search as probers name it, and which option
    // by name, every one of them present so an alert rule can match on zero as well. A list
    // without options shows none of these families.
    if (std::any_of(probes.begin(), probes.end(), [](const Probe &p) { return p.hasOptions; }))
        renderOptionSeries(out, probes, labels);

    family(out, "tarvik_round_timestamp_seconds", "gauge",
           "When the last round of checks began, in seconds since the epoch.");
    if (roundStarted && roundStarted->isValid()) {
        out += "tarvik_round_timestamp_seconds ";
        out += epochSeconds(roundStarted->toMSecsSinceEpoch());
        out += '\n';
    }
    return out;
}
