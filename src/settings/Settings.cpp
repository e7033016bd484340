#include "Settings.h"

#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace {
QSettings store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(Settings::organization),
                     QString::fromLatin1(Settings::application));
}

bool writeValue(const char *key, const QVariant &value) {
    QSettings settings = store();
    settings.setValue(QString::fromLatin1(key), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::optional<double> storedNumber(const QVariant &value) {
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}
} // namespace

std::optional<QByteArray> Settings::hostsData() {
    const QVariant value = store().value(QString::fromLatin1(hostsKey));
    if (!value.isValid())
        return std::nullopt;
    return value.toByteArray();
}

bool Settings::setHostsData(const QByteArray &json) {
    return writeValue(hostsKey, json);
}

double Settings::pingFrequency() {
    return storedNumber(store().value(QString::fromLatin1(pingFrequencyKey)))
        .value_or(defaultPingFrequency);
}

std::optional<qint64> Settings::wholePingFrequency() {
    const auto number = storedNumber(store().value(QString::fromLatin1(pingFrequencyKey)));
    if (!number || std::trunc(*number) != *number || std::abs(*number) > 1e15)
        return std::nullopt;
    return static_cast<qint64>(*number);
}

bool Settings::setPingFrequency(qint64 seconds) {
    return writeValue(pingFrequencyKey, seconds);
}

bool Settings::launchAtLogin() {
    return store().value(QString::fromLatin1(launchAtLoginKey), false).toBool();
}

bool Settings::setLaunchAtLogin(bool enabled) {
    return writeValue(launchAtLoginKey, enabled);
}

QString Settings::fileName() {
    return store().fileName();
}

QString Settings::folder() {
    return QFileInfo(fileName()).absolutePath();
}
