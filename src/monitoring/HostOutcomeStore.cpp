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
} // namespace

QByteArray HostOutcomeStore::encode(const HostList &hosts) {
    QJsonArray entries;
    for (const auto &host : hosts) {
        const HostOutcome &outcome = host->lastOutcome();
        if (!outcome.up)
            continue;
        entries.append(QJsonObject{{nameKey, host->string()},
                                   {addressKey, host->address()},
                                   {upKey, *outcome.up},
                                   {reasonKey, outcome.reason},
                                   {sinceKey, outcome.since.toUTC().toString(Qt::ISODateWithMs)}});
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
            host->setLastOutcome(
                {entry.value(upKey).toBool(), entry.value(reasonKey).toString(), since});
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
