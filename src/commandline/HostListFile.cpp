#include "commandline/HostListFile.h"

#include "checks/CheckOptionsJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

std::optional<HostList> HostListFile::read(const QByteArray &json, QString *error) {
    std::optional<HostList> hosts = HostStore::decode(json, error);
    if (!hosts)
        return std::nullopt;
    // Decoding succeeded, so this is an array of as many objects as there are hosts.
    const QJsonArray objects = QJsonDocument::fromJson(json).array();
    const QString checkKey = QString::fromLatin1(CheckOptionsJson::key);
    for (qsizetype i = 0; i < objects.size(); ++i) {
        CheckOptions::Problem problem;
        const std::optional<CheckOptions> options =
            CheckOptionsJson::read(objects.at(i).toObject().value(checkKey), &problem);
        if (!options) {
            if (error)
                *error =
                    QStringLiteral("host %1: %2: %3").arg(i + 1).arg(checkKey, problem.toString());
            return std::nullopt;
        }
        (*hosts)[size_t(i)]->setCheckOptions(*options);
    }
    return hosts;
}

std::optional<QByteArray> HostListFile::write(const HostList &hosts) {
    const bool anyOptions = std::any_of(hosts.begin(), hosts.end(), [](const auto &host) {
        return host->checkOptions().hasAnyOption();
    });
    if (!anyOptions)
        return HostStore::encode(hosts);
    QJsonArray objects;
    for (const auto &host : hosts) {
        std::optional<QJsonObject> object = HostStore::encodeHost(*host);
        if (!object)
            return std::nullopt;
        if (host->checkOptions().hasAnyOption())
            object->insert(QString::fromLatin1(CheckOptionsJson::key),
                           CheckOptionsJson::write(host->checkOptions()));
        objects.append(*object);
    }
    return QJsonDocument(objects).toJson(QJsonDocument::Compact);
}
