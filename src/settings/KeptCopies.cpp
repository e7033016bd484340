#include "settings/KeptCopies.h"

#include "settings/Settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

QString KeptCopies::find(const QByteArray &bytes) {
    const QDir folder(Settings::folder());
    const auto existing = folder.entryInfoList({QString::fromLatin1(prefix) + QStringLiteral("*")},
                                               QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &info : existing) {
        QFile file(info.absoluteFilePath());
        if (info.size() == bytes.size() && file.open(QIODevice::ReadOnly) &&
            file.readAll() == bytes)
            return info.absoluteFilePath();
    }
    return {};
}

QString KeptCopies::keep(const QByteArray &bytes, const QString &suffix) {
    if (!Settings::ensureFolder())
        return {};
    if (QString found = find(bytes); !found.isEmpty())
        return found;
    const QDir folder(Settings::folder());
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = QString::fromLatin1(prefix) + stamp;
    for (int n = 1; n < 1000; ++n) {
        const QString path =
            folder.filePath(base + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + suffix);
        QFile file(path);
        // NewOnly never follows or replaces what is there; the copy is born private.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFile::ReadOwner | QFile::WriteOwner)) {
            if (QFile::exists(path))
                continue;
            return {};
        }
        const bool written = file.write(bytes) == bytes.size() && file.flush();
        file.close();
        if (written && file.error() == QFileDevice::NoError)
            return path;
        // A partial copy (a full disk) is no copy: it would only be mistaken for one.
        QFile::remove(path);
        return {};
    }
    return {};
}
