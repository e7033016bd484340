#include "Settings.h"

#include "settings/KeptCopies.h"
#include "settings/PrivateFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStringDecoder>

#include <cctype>
#include <cmath>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace {
QSettings store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(Settings::organization),
                     QString::fromLatin1(Settings::application));
}

// Values compared as the file holds them: as text, lists joined.
QString asStored(const QVariant &value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QChar(0x1f));
    return value.toString();
}

// Qt's file writes take a short write (a full disk, a file size limit) for success, and the
// settings then commit the truncated file in place of the old one. So the settings write into a
// private scratch copy of the file, which is read back under a name of its own (so nothing cached
// answers for it) and only then renamed over the file. The file is thereby always 0600, and a
// failed write leaves it as it was.
bool writeVerified(const QString &key, const QVariant &value) {
    const QString path = Settings::fileName();
    QByteArray current;
    if (QFile file(path); file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            return false;
        current = file.readAll();
    }
    const QString scratch = PrivateFile::scratchPathBeside(path);
    if (!PrivateFile::writeNew(scratch, current))
        return false;
    QHash<QString, QString> expected;
    {
        QSettings settings(scratch, QSettings::IniFormat);
        if (value.isValid())
            settings.setValue(key, value);
        else
            settings.remove(key);
        settings.sync();
        if (settings.status() == QSettings::AccessError) {
            QFile::remove(scratch);
            return false;
        }
        for (const QString &name : settings.allKeys())
            expected.insert(name, asStored(settings.value(name)));
    }
    const QString checked = PrivateFile::scratchPathBeside(path);
    if (::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(checked).constData()) !=
        0) {
        QFile::remove(scratch);
        return false;
    }
    bool same = false;
    {
        const QSettings reread(checked, QSettings::IniFormat);
        const QStringList names = reread.allKeys();
        same = reread.status() == QSettings::NoError && names.size() == expected.size();
        for (const QString &name : names)
            same = same && expected.value(name) == asStored(reread.value(name));
    }
    if (!same || ::rename(QFile::encodeName(checked).constData(),
                          QFile::encodeName(path).constData()) != 0) {
        QFile::remove(checked);
        return false;
    }
    return true;
}

// A settings file whose host list cannot be read is kept whole before the settings rewrite it;
// until a copy exists nothing is written.
bool unusableHostsAreKept() {
    const Settings::HostsValue hosts = Settings::hostsValue();
    if (hosts.kind != Settings::HostsValue::Kind::Unusable)
        return true;
    if (!KeptCopies::keep(hosts.bytes, QStringLiteral(".conf")).isEmpty())
        return true;
    static bool said = false;
    if (!said) {
        said = true;
        std::fprintf(stderr,
                     "tarvik: could not keep a copy of %s, whose host list is unreadable; "
                     "nothing is written to it until a copy can be kept\n",
                     Settings::fileName().toLocal8Bit().constData());
    }
    return false;
}

bool writeValue(const char *key, const QVariant &value) {
    return Settings::ensureFolder() && unusableHostsAreKept() &&
           writeVerified(QString::fromLatin1(key), value);
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

bool isText(const QByteArray &bytes) {
    if (bytes.contains('\0'))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    [[maybe_unused]] const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

// A line naming the host list that the settings did not read as a value ("hosts" without "=",
// say).
bool mentionsHosts(const QByteArray &bytes) {
    for (const QByteArray &line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith(Settings::hostsKey))
            continue;
        const qsizetype after = qsizetype(qstrlen(Settings::hostsKey));
        if (trimmed.size() == after || !std::isalnum(static_cast<unsigned char>(trimmed[after])))
            return true;
    }
    return false;
}
} // namespace

Settings::HostsValue Settings::hostsValue() {
    HostsValue result;
    QFile file(fileName());
    if (!file.exists())
        return result;
    auto unusable = [&](const QString &why) {
        result.kind = HostsValue::Kind::Unusable;
        result.why = why;
        if (file.open(QIODevice::ReadOnly))
            result.bytes = file.readAll();
        return result;
    };
    const QSettings settings = store();
    if (settings.status() == QSettings::FormatError)
        return unusable(QStringLiteral("the settings file cannot be parsed"));
    const QVariant value = settings.value(QString::fromLatin1(hostsKey));
    if (value.isValid()) {
        const int type = value.typeId();
        if (type != QMetaType::QByteArray && type != QMetaType::QString)
            return unusable(QStringLiteral("the stored value is not text"));
        result.kind = HostsValue::Kind::Text;
        result.bytes = value.toByteArray();
        return result;
    }
    if (!file.open(QIODevice::ReadOnly))
        return unusable(QStringLiteral("the settings file cannot be read: ") + file.errorString());
    const QByteArray raw = file.readAll();
    file.close();
    if (!isText(raw))
        return unusable(QStringLiteral("the settings file is not UTF-8 text"));
    if (mentionsHosts(raw))
        return unusable(QStringLiteral("the settings file holds a host list line without a value"));
    return result;
}

std::optional<QByteArray> Settings::hostsData() {
    HostsValue value = hostsValue();
    if (value.kind != HostsValue::Kind::Text)
        return std::nullopt;
    return std::move(value.bytes);
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

QByteArray Settings::lastOutcomesData() {
    return store().value(QString::fromLatin1(lastOutcomesKey)).toByteArray();
}

bool Settings::setLastOutcomesData(const QByteArray &json) {
    return writeValue(lastOutcomesKey, json);
}

std::optional<QByteArray> Settings::hostChecksData() {
    const QVariant value = store().value(QString::fromLatin1(hostChecksKey));
    if (!value.isValid())
        return std::nullopt;
    return value.toByteArray();
}

bool Settings::setHostChecksData(const std::optional<QByteArray> &json) {
    return writeValue(hostChecksKey, json ? QVariant(*json) : QVariant());
}

bool Settings::notificationsEnabled() {
    return store().value(QString::fromLatin1(notificationsKey), true).toBool();
}

bool Settings::setNotificationsEnabled(bool enabled) {
    return writeValue(notificationsKey, enabled);
}

QString Settings::fileName() {
    return store().fileName();
}

void Settings::nameApplication() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(organization));
    QCoreApplication::setApplicationName(QString::fromLatin1(application));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVIK_VERSION));
}

QString Settings::folder() {
    return QFileInfo(fileName()).absolutePath();
}

bool Settings::ensureFolder() {
    const QString path = folder();
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || QFileInfo(path).isDir();
}
