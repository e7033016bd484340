#include "instance/InstanceProtocol.h"

#include "instance/PlainIdentifier.h"

#include <QDir>
#include <QStandardPaths>
#include <QtEndian>

#include <unistd.h>

namespace {
const QString socketSuffix = QStringLiteral(".instance");

// The user id keeps two users apart even where they share a runtime folder.
QString basePath(const QString &identifier) {
    if (!isPlainIdentifier(identifier))
        return {};
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
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

QStringList InstanceProtocol::socketPaths() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
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
