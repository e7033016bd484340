#include "monitoring/HostStore.h"

#include "monitoring/HostCheckStore.h"
#include "settings/KeptCopies.h"
#include "settings/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <cstdio>

namespace {
const QString kIsReachable = QStringLiteral("isReachable");
const QString kAbbreviation = QStringLiteral("abbreviation");
const QString kAddress = QStringLiteral("address");
const QString kString = QStringLiteral("string");
const QString kIsFavorite = QStringLiteral("isFavorite");
const QString kHasMenuBarItem = QStringLiteral("hasMenuBarItem");
const QString kLastRequestDuration = QStringLiteral("lastRequestDuration");
const QString kCategories = QStringLiteral("categories");
const QString kIsActive = QStringLiteral("isActive");

bool fail(QString *error, const QString &why) {
    if (error)
        *error = why;
    return false;
}

bool required(const QJsonObject &o, const QString &key, QJsonValue::Type type, QJsonValue &out,
              QString *error) {
    const QJsonValue value = o.value(key);
    if (value.isUndefined() || value.isNull())
        return fail(error, QStringLiteral("\"%1\" is missing").arg(key));
    if (value.type() != type)
        return fail(error, QStringLiteral("\"%1\" has the wrong type").arg(key));
    out = value;
    return true;
}

// Missing and null both mean absent; anything else must have the right type.
bool optionalValue(const QJsonObject &o, const QString &key, QJsonValue::Type type, QJsonValue &out,
                   QString *error) {
    const QJsonValue value = o.value(key);
    if (value.isUndefined() || value.isNull()) {
        out = QJsonValue(QJsonValue::Undefined);
        return true;
    }
    if (value.type() != type)
        return fail(error, QStringLiteral("\"%1\" has the wrong type").arg(key));
    out = value;
    return true;
}

// What this process wrote last is known to be readable, so a save need not decode it again.
QByteArray &lastWritten() {
    static QByteArray bytes;
    return bytes;
}
} // namespace

std::shared_ptr<Host> HostStore::decodeHost(const QJsonObject &o, QString *error) {
    QJsonValue reachable, abbreviation, address, name, favorite, menuBarItem, duration, categories,
        active;
    if (!optionalValue(o, kIsReachable, QJsonValue::Bool, reachable, error) ||
        !optionalValue(o, kAbbreviation, QJsonValue::String, abbreviation, error) ||
        !required(o, kAddress, QJsonValue::String, address, error) ||
        !required(o, kString, QJsonValue::String, name, error) ||
        !required(o, kIsFavorite, QJsonValue::Bool, favorite, error) ||
        !required(o, kHasMenuBarItem, QJsonValue::Bool, menuBarItem, error) ||
        !optionalValue(o, kLastRequestDuration, QJsonValue::Double, duration, error) ||
        !required(o, kCategories, QJsonValue::Array, categories, error) ||
        !required(o, kIsActive, QJsonValue::Bool, active, error))
        return nullptr;
    QStringList categoryNames;
    for (const QJsonValue &category : categories.toArray()) {
        if (!category.isString()) {
            fail(error, QStringLiteral("\"categories\" holds something other than text"));
            return nullptr;
        }
        categoryNames.append(category.toString());
    }
    auto host = std::make_shared<Host>(address.toString());
    if (!reachable.isUndefined())
        host->setIsReachable(reachable.toBool());
    if (!abbreviation.isUndefined())
        host->setAbbreviation(abbreviation.toString());
    host->setString(name.toString());
    host->setIsFavorite(favorite.toBool());
    host->setHasMenuBarItem(menuBarItem.toBool());
    if (!duration.isUndefined()) {
        // A number too large for a double could never be written back, so it is refused here.
        if (!std::isfinite(duration.toDouble())) {
            fail(error, QStringLiteral("\"%1\" is out of range").arg(kLastRequestDuration));
            return nullptr;
        }
        host->setLastRequestDuration(duration.toDouble());
    }
    host->setCategories(categoryNames);
    host->restoreIsActive(active.toBool());
    return host;
}

std::optional<QJsonObject> HostStore::encodeHost(const Host &host) {
    QJsonObject o;
    if (host.isReachable())
        o.insert(kIsReachable, *host.isReachable());
    if (host.abbreviation())
        o.insert(kAbbreviation, *host.abbreviation());
    o.insert(kAddress, host.address());
    o.insert(kString, host.string());
    o.insert(kIsFavorite, host.isFavorite());
    o.insert(kHasMenuBarItem, host.hasMenuBarItem());
    if (const auto duration = host.lastRequestDuration()) {
        if (!std::isfinite(*duration))
            return std::nullopt;
        o.insert(kLastRequestDuration, *duration);
    }
    o.insert(kCategories, QJsonArray::fromStringList(host.categories()));
    o.insert(kIsActive, host.isActive());
    return o;
}

std::optional<HostList> HostStore::decode(const QByteArray &json, QString *error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, QStringLiteral("not JSON (%1 at byte %2)")
                        .arg(parseError.errorString())
                        .arg(parseError.offset));
        return std::nullopt;
    }
    if (!document.isArray()) {
        fail(error, QStringLiteral("the top level is not an array"));
        return std::nullopt;
    }
    HostList hosts;
    const QJsonArray array = document.array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString why;
        std::shared_ptr<Host> host =
            array.at(i).isObject() ? decodeHost(array.at(i).toObject(), &why) : nullptr;
        if (!host) {
            fail(error, QStringLiteral("host %1: %2")
                            .arg(i + 1)
                            .arg(why.isEmpty() ? QStringLiteral("not an object") : why));
            return std::nullopt;
        }
        hosts.push_back(std::move(host));
    }
    return hosts;
}

std::optional<QByteArray> HostStore::encode(const HostList &hosts) {
    QJsonArray array;
    for (const auto &host : hosts) {
        const auto object = encodeHost(*host);
        if (!object)
            return std::nullopt;
        array.append(*object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

HostStore::ReadResult HostStore::read() {
    ReadResult result;
    const Settings::HostsValue stored = Settings::hostsValue();
    if (stored.kind == Settings::HostsValue::Kind::Missing)
        return result;
    if (stored.kind == Settings::HostsValue::Kind::Text) {
        if (auto hosts = decode(stored.bytes, &result.error)) {
            HostCheckStore::restore(*hosts);
            result.status = Status::Ok;
            result.hosts = std::move(*hosts);
            return result;
        }
    } else {
        result.error = stored.why;
    }
    result.status = Status::Unreadable;
    result.preservedCopy = keepCopy(stored);
    const QByteArray where =
        result.preservedCopy.isEmpty()
            ? QByteArrayLiteral("could not keep a copy, so it will not be written over")
            : QByteArrayLiteral("kept a copy in ") + result.preservedCopy.toLocal8Bit();
    std::fprintf(stderr, "tarvik: the stored host list is unreadable (%s); starting empty; %s\n",
                 result.error.toLocal8Bit().constData(), where.constData());
    return result;
}

QString HostStore::keepCopy(const Settings::HostsValue &stored) {
    return KeptCopies::keep(stored.bytes, stored.kind == Settings::HostsValue::Kind::Text
                                              ? QStringLiteral(".json")
                                              : QStringLiteral(".conf"));
}

bool HostStore::storedListIsSafe() {
    const Settings::HostsValue stored = Settings::hostsValue();
    if (stored.kind == Settings::HostsValue::Kind::Missing)
        return true;
    if (stored.kind == Settings::HostsValue::Kind::Text &&
        (stored.bytes == lastWritten() || decode(stored.bytes)))
        return true;
    if (!keepCopy(stored).isEmpty())
        return true;
    static bool said = false;
    if (!said) {
        said = true;
        std::fprintf(stderr,
                     "tarvik: could not keep a copy of the unreadable host list in %s; "
                     "the host list is not written until a copy can be kept\n",
                     Settings::fileName().toLocal8Bit().constData());
    }
    return false;
}

std::optional<HostList> HostStore::readStoredHosts() {
    ReadResult result = read();
    if (result.status != Status::Ok)
        return std::nullopt;
    return std::move(result.hosts);
}

bool HostStore::write(const HostList &hosts) {
    const std::optional<QByteArray> json = encode(hosts);
    return json && writeEncoded(*json) && HostCheckStore::save(hosts);
}

bool HostStore::writeEncoded(const QByteArray &json) {
    if (!storedListIsSafe() || !Settings::setHostsData(json))
        return false;
    lastWritten() = json;
    return true;
}
