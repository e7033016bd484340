#include "Settings.h"

#include "settings/KeptCopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

#include <cctype>
#include <cmath>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QSettings store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(Settings::organization),
                     QString::fromLatin1(Settings::application));
}

// The file may hold addresses with passwords in them: it is created readable by the user alone,
// and an older file left readable by others is narrowed. Existing modes survive the settings'
// own rewrites, which replace the file by renaming a new one over it.
void createPrivately(const QString &path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

void narrow(const QString &path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info = {};
    if (::lstat(native.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
        (info.st_mode & 077) != 0)
        ::chmod(native.constData(), info.st_mode & 0700);
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
    if (!Settings::ensureFolder() || !unusableHostsAreKept())
        return false;
    const QString path = Settings::fileName();
    createPrivately(path);
    QSettings settings = store();
    settings.setValue(QString::fromLatin1(key), value);
    settings.sync();
    narrow(path);
    // A format error is about what was read; the file written now is whole.
    return settings.status() != QSettings::AccessError;
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

QString Settings::fileName() {
    return store().fileName();
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
