#include "monitoring/HostOutcomeStore.h"

#include "settings/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

namespace {
const QString nameKey = QStringLiteral("name");
const QString addressKey = QStringLiteral("address");
const QString upKey = QStringLiteral("up");
const QString reasonKey = QStringLiteral("reason");
const QString sinceKey = QStringLiteral("since");
const QString expectationKey = QStringLiteral("expectation");

CheckVerdict::Expectation expectationNamed(const QString &key) {
    using E = CheckVerdict::Expectation;
    for (E e :
         {E::ExpectStatus, E::BodyContains, E::BodyLacks, E::TrustedCertificate, E::TimeoutSeconds})
        if (CheckVerdict::expectationKey(e) == key)
            return e;
    return E::None;
}
} // namespace

QByteArray HostOutcomeStore::encode(const HostList &hosts) {
    QJsonArray entries;
    for (const auto &host : hosts) {
        const HostOutcome &outcome = host->lastOutcome();
        if (!outcome.up)
            continue;
        QJsonObject entry{{nameKey, host->string()},
                          {addressKey, host->address()},
                          {upKey, *outcome.up},
                          {reasonKey, outcome.reason},
                          {sinceKey, outcome.since.toUTC().toString(Qt::ISODateWithMs)}};
        if (outcome.failed != CheckVerdict::Expectation::None)
            entry.insert(expectationKey, CheckVerdict::expectationKey(outcome.failed));
        entries.append(entry);
    }
    return QJsonDocument(entries).toJson(QJsonDocument::Compact);
}

void HostOutcomeStore::apply(const QByteArray &json, const HostList &hosts) {
    const QJsonArray entries = QJsonDocument::fromJson(json).array();
    std::vector<bool> taken(size_t(entries.size()), false);
    for (const auto &host : hosts) {
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const QJsonObject entry = entries.at(i).toObject();
            if (taken[size_t(i)] || entry.value(nameKey).toString() != host->string() ||
                entry.value(addressKey).toString() != host->address() ||
                !entry.value(upKey).isBool())
                continue;
            const QDateTime since =
                QDateTime::fromString(entry.value(sinceKey).toString(), Qt::ISODateWithMs);
            if (!since.isValid())
                continue;
            taken[size_t(i)] = true;
            host->setLastOutcome({entry.value(upKey).toBool(), entry.value(reasonKey).toString(),
                                  since, expectationNamed(entry.value(expectationKey).toString())});
            break;
        }
    }
}

void HostOutcomeStore::save(const HostList &hosts) {
    Settings::setLastOutcomesData(encode(hosts));
}

void HostOutcomeStore::restore(const HostList &hosts) {
    apply(Settings::lastOutcomesData(), hosts);
}
