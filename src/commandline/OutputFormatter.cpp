#include "commandline/OutputFormatter.h"

#include "checks/CheckVerdict.h"
#include "http/DisplayAddress.h"
#include "http/HttpFailure.h"
#include "http/HttpResult.h"
#include "monitoring/Host.h"
#include "text/TerminalText.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>

namespace {
QString compact(const QJsonObject &o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

double milliseconds(double seconds) {
    return std::round(seconds * 1e6) / 1e3;
}

QJsonObject resultObject(const Host &host, const HttpResult &result) {
    QJsonObject o;
    o.insert(QStringLiteral("event"), QStringLiteral("result"));
    o.insert(QStringLiteral("name"), host.string());
    o.insert(QStringLiteral("address"), displayAddress(host.address()));
    o.insert(QStringLiteral("reachable"), result.ok);
    o.insert(QStringLiteral("durationMs"), milliseconds(result.seconds));
    o.insert(QStringLiteral("status"), result.status ? QJsonValue(*result.status) : QJsonValue());
    o.insert(QStringLiteral("error"), result.ok ? QJsonValue() : QJsonValue(failureReason(result)));
    // Which of the host's check options the answer failed, and whether it was slower than one.
    const QString expectation = CheckVerdict::expectationKey(host.lastOutcome().failed);
    o.insert(QStringLiteral("expectation"),
             expectation.isNull() ? QJsonValue() : QJsonValue(expectation));
    o.insert(QStringLiteral("slow"), host.lastAnswerSlow());
    QJsonValue phases;
    if (const std::optional<HttpPhases> &p = result.phases)
        phases = QJsonObject{{QStringLiteral("dns"), milliseconds(p->dns)},
                             {QStringLiteral("connect"), milliseconds(p->connect)},
                             {QStringLiteral("tls"), milliseconds(p->tls)},
                             {QStringLiteral("firstByte"), milliseconds(p->processing)},
                             {QStringLiteral("transfer"), milliseconds(p->transfer)}};
    o.insert(QStringLiteral("phases"), phases);
    o.insert(QStringLiteral("certificateExpiry"),
             result.certificateExpiry
                 ? QJsonValue(result.certificateExpiry->toUTC().toString(Qt::ISODate))
                 : QJsonValue());
    return o;
}

QString resultLine(const Host &host, const HttpResult &result) {
    const QString status = result.status ? QString::number(*result.status) : QStringLiteral("-");
    QString line = QStringLiteral("%1  %2  %3  %4 ms  %5")
                       .arg(result.ok ? QStringLiteral("up  ") : QStringLiteral("down"),
                            printable(host.string()), printable(displayAddress(host.address())))
                       .arg(result.seconds * 1000.0, 0, 'f', 1)
                       .arg(status);
    // The short reason the tray and notifications give, not libcurl's own wording.
    const QString reason = result.ok ? host.slowReason() : failureReason(result);
    if (!reason.isEmpty())
        line += QStringLiteral("  (") + printable(reason) + QStringLiteral(")");
    return line;
}

QString reachability(std::optional<bool> reachable) {
    if (!reachable)
        return QStringLiteral("unknown");
    return *reachable ? QStringLiteral("up") : QStringLiteral("down");
}
} // namespace

QString OutputFormatter::result(const Host &host, const HttpResult &result) const {
    return json_ ? compact(resultObject(host, result)) : resultLine(host, result);
}

QString OutputFormatter::round(int round, const QDateTime &at, int requests) const {
    const QString when = at.toString(Qt::ISODateWithMs);
    if (json_)
        return compact({{QStringLiteral("event"), QStringLiteral("round")},
                        {QStringLiteral("round"), round},
                        {QStringLiteral("at"), when},
                        {QStringLiteral("requests"), requests}});
    return QStringLiteral("round %1 at %2: %3 checks").arg(round).arg(when).arg(requests);
}

QString OutputFormatter::state(const Host &host) const {
    if (json_)
        return compact({{QStringLiteral("event"), QStringLiteral("state")},
                        {QStringLiteral("name"), host.string()},
                        {QStringLiteral("address"), displayAddress(host.address())},
                        {QStringLiteral("reachable"),
                         host.isReachable() ? QJsonValue(*host.isReachable()) : QJsonValue()}});
    return QStringLiteral("state %1 is now %2")
        .arg(printable(host.string()), reachability(host.isReachable()));
}

QString OutputFormatter::network(bool offline, const QDateTime &at) const {
    const QString when = at.toString(Qt::ISODateWithMs);
    if (json_)
        return compact({{QStringLiteral("event"),
                         offline ? QStringLiteral("offline") : QStringLiteral("online")},
                        {QStringLiteral("at"), when}});
    return offline
               ? QStringLiteral("offline at %1: checks resume when the network is back").arg(when)
               : QStringLiteral("online at %1").arg(when);
}

void OutputFormatter::print(const QString &line, bool flush) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    if (flush)
        std::fflush(stdout);
}

void OutputFormatter::complain(const QString &line) {
    std::fputs((QStringLiteral("tarvik: ") + line).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}
