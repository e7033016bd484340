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

bool LoginItem::setEnabled(const QString &identifier, bool enabled) {
    const QString path = entryPath(identifier);
    if (path.isEmpty())
        return false;
    if (!enabled) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return true;
        return QFile::remove(path);
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
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
    if (!file.open(QIODevice::WriteOnly)) {
        file.cancelWriting();
        return false;
    }
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        file.cancelWriting();
        return false;
    }
    return true;
}
