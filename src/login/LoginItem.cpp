#include "login/LoginItem.h"

#include "instance/PlainIdentifier.h"

#include "login/DesktopEntry.h"
#include "login/DesktopExec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString LoginItem::entryPath(const QString &identifier) {
    if (!isPlainIdentifier(identifier))
        return {};
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return {};
    return QDir(config).filePath(QStringLiteral("autostart/") + identifier +
                                 QStringLiteral(".desktop"));
}

QString LoginItem::helperCommand(const QString &programFolder) {
    const QFileInfo beside(QDir(programFolder).filePath(QString::fromLatin1(helperProgram)));
    if (!programFolder.isEmpty() && beside.isFile() && beside.isExecutable())
        return DesktopExec::quote(beside.absoluteFilePath());
    return DesktopExec::quote(QString::fromLatin1(helperProgram));
}

bool LoginItem::isEnabled(const QString &identifier) {
    const QString path = entryPath(identifier);
    return !path.isEmpty() && (QFileInfo(path).exists() || QFileInfo(path).isSymLink());
}

bool LoginItem::setEnabled(const QString &identifier, bool enabled, QString *error) {
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString path = entryPath(identifier);
    if (path.isEmpty())
        return fail(QStringLiteral("there is no folder for autostart entries"));
    if (!enabled) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return true;
        QFile entry(path);
        if (!entry.remove())
            return fail(QStringLiteral("%1 cannot be removed: %2").arg(path, entry.errorString()));
        return true;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("the folder %1 cannot be made").arg(folder));
    const QString exec = helperCommand(QCoreApplication::applicationDirPath());
    const QByteArray text = QStringLiteral("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=Tarvik login helper\n"
                                           "Comment=Starts Tarvik when you log in\n"
                                           "Exec=%1\n"
                                           "NoDisplay=true\n"
                                           "X-GNOME-Autostart-enabled=true\n")
                                .arg(DesktopEntry::escapeValue(exec))
                                .toUtf8();
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    if (!written) {
        const QString why = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("%1 cannot be written: %2").arg(path, why));
    }
    return true;
}
