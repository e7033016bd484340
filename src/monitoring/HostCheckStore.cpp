#include "monitoring/HostCheckStore.h"

#include "checks/CheckOptionsJson.h"
#include "http/DisplayAddress.h"
#include "settings/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <vector>

namespace {
const QString addressKey = QStringLiteral("address");
const QString checkKey = QString::fromLatin1(CheckOptionsJson::key);
} // namespace

std::optional<QByteArray> HostCheckStore::encode(const HostList &hosts) {
    QJsonArray entries;
    bool any = false;
    for (const auto &host : hosts) {
        if (!host->checkOptions().hasAnyOption()) {
            entries.append(QJsonValue());
            continue;
        }
        any = true;
        entries.append(QJsonObject{{addressKey, host->address()},
                                   {checkKey, CheckOptionsJson::write(host->checkOptions())}});
    }
    if (!any)
        return std::nullopt;
    return QJsonDocument(entries).toJson(QJsonDocument::Compact);
}

void HostCheckStore::apply(const QByteArray &json, const HostList &hosts, QStringList *problems) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()) {
        problems->append(QStringLiteral("not a JSON array"));
        return;
    }
    const QJsonArray entries = document.array();
    std::vector<bool> taken(size_t(entries.size()), false);
    const auto addressAt = [&](qsizetype i) { return entries.at(i).toObject().value(addressKey); };
    for (size_t h = 0; h < hosts.size(); ++h) {
        Host &host = *hosts[h];
        const QJsonValue address(host.address());
        qsizetype match = -1;
        if (qsizetype(h) < entries.size() && !taken[h] && addressAt(qsizetype(h)) == address)
            match = qsizetype(h);
        for (qsizetype i = 0; match < 0 && i < entries.size(); ++i)
            if (!taken[size_t(i)] && addressAt(i) == address)
                match = i;
        if (match < 0)
            continue;
        taken[size_t(match)] = true;
        CheckOptions::Problem problem;
        if (const std::optional<CheckOptions> options =
                CheckOptionsJson::read(entries.at(match).toObject().value(checkKey), &problem))
            host.setCheckOptions(*options);
        else
            problems->append(QStringLiteral("entry %1 (address %2): %3")
                                 .arg(match + 1)
                                 .arg(displayAddress(host.address()), problem.toString()));
    }
}

bool HostCheckStore::save(const HostList &hosts) {
    const std::optional<QByteArray> json = encode(hosts);
    const std::optional<QByteArray> stored = Settings::hostChecksData();
    if (json == stored)
        return true;
    return Settings::setHostChecksData(json);
}

void HostCheckStore::restore(const HostList &hosts) {
    const std::optional<QByteArray> stored = Settings::hostChecksData();
    if (!stored)
        return;
    QStringList problems;
    apply(*stored, hosts, &problems);
    static QByteArray toldAbout;
    if (problems.isEmpty() || toldAbout == *stored)
        return;
    toldAbout = *stored;
    for (const QString &problem : problems)
        std::fprintf(stderr,
                     "tarvik: stored check options are unreadable (%s); checking without them "
                     "until the list is saved again\n",
                     problem.toLocal8Bit().constData());
}
