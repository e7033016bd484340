#include "instance/InstanceProtocol.h"

#include "instance/PlainIdentifier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString socketSuffix = QStringLiteral(".instance");

// Only a folder this user owns and nobody else may enter: where another user can create or
// replace files, the lock and socket could be pre-empted or stood in for.
bool isPrivateFolder(const QString &path) {
    struct stat info = {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// The user id keeps two users apart even where they share a runtime folder.
QString basePath(const QString &identifier) {
    if (!isPlainIdentifier(identifier))
        return {};
    const QString folder = InstanceProtocol::runtimeFolder();
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(identifier + u'.' + QString::number(::getuid()));
}
} // namespace

QString InstanceProtocol::socketPath(const QString &identifier) {
    const QString base = basePath(identifier);
    return base.isEmpty() ? base : base + socketSuffix;
}

QString InstanceProtocol::lockPath(const QString &identifier) {
    const QString base = basePath(identifier);
    return base.isEmpty() ? base : base + QStringLiteral(".lock");
}

QString InstanceProtocol::runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        return runtime;
    // No usable runtime folder (none set, or one open to others): a folder in this user's own
    // cache, created private, serves every Tarvik of the user alike.
    const QString fallback =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
            .filePath(QStringLiteral("com.morvane.runtime"));
    if (!QFileInfo::exists(fallback)) {
        QDir().mkpath(QFileInfo(fallback).absolutePath());
        ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    }
    return isPrivateFolder(fallback) ? fallback : QString();
}

QStringList InstanceProtocol::socketPaths() {
    const QString folder = runtimeFolder();
    if (folder.isEmpty())
        return {};
    const QDir dir(folder);
    const QString pattern = QStringLiteral("*.") + QString::number(::getuid()) + socketSuffix;
    QStringList paths;
    for (const QString &name :
         dir.entryList({pattern}, QDir::System | QDir::Files | QDir::Hidden, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

QByteArray InstanceProtocol::message(const QByteArray &command, const QByteArray &payload) {
    const QByteArray body = command + '\n' + payload;
    QByteArray out(4, '\0');
    qToBigEndian(quint32(body.size()), out.data());
    return out + body;
}

InstanceProtocol::Take InstanceProtocol::take(QByteArray &buffer, QByteArray *command,
                                              QByteArray *payload) {
    if (buffer.size() < 4)
        return Take::Incomplete;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > quint32(maxMessageSize))
        return Take::Invalid;
    if (buffer.size() - 4 < qsizetype(length))
        return Take::Incomplete;
    const QByteArray body = buffer.mid(4, length);
    buffer.remove(0, 4 + length);
    const qsizetype newline = body.indexOf('\n');
    if (newline <= 0)
        return Take::Invalid;
    *command = body.left(newline);
    *payload = body.mid(newline + 1);
    return Take::Message;
}
