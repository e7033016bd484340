#include "login/DesktopEntry.h"

#include "login/DesktopExec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
bool fail(QString *error, const QString &why) {
    if (error)
        *error = why;
    return false;
}

const QString mainGroup = QStringLiteral("[Desktop Entry]");
} // namespace

QString DesktopEntry::locate(const QString &desktopId) {
    if (desktopId.isEmpty() || desktopId.contains(u'/'))
        return {};
    // GenericDataLocation is $XDG_DATA_HOME followed by $XDG_DATA_DIRS, each with its default.
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString &folder : folders) {
        const QFileInfo candidate(
            QDir(folder).filePath(QStringLiteral("applications/") + desktopId));
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return {};
}

std::optional<DesktopEntry> DesktopEntry::read(const QString &path, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    return fromData(file.readAll(), path, error);
}

std::optional<DesktopEntry> DesktopEntry::fromData(const QByteArray &contents, const QString &path,
                                                   QString *error) {
    DesktopEntry entry;
    entry.path_ = QFileInfo(path).absoluteFilePath();
    bool inMain = false;
    bool sawMain = false;
    const QStringList lines = QString::fromUtf8(contents).split(u'\n');
    for (const QString &raw : lines) {
        const QString line = raw.endsWith(u'\r') ? raw.chopped(1) : raw;
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMain = line == mainGroup;
            sawMain = sawMain || inMain;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMain || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        // Spaces around '=' are not part of the value; a leading space that is meant is "\s".
        QString value = line.mid(equals + 1);
        while (value.startsWith(u' ') || value.startsWith(u'\t'))
            value.remove(0, 1);
        entry.values_.try_emplace(key, value); // a repeated key keeps its first value
    }
    if (!sawMain) {
        fail(error, QStringLiteral("%1 has no [Desktop Entry] group").arg(path));
        return std::nullopt;
    }
    return entry;
}

std::optional<QString> DesktopEntry::value(const QString &key) const {
    const auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    return unescapeValue(it->second);
}

std::optional<QStringList> DesktopEntry::command(QString *error) const {
    const std::optional<QString> exec = value(QStringLiteral("Exec"));
    if (!exec) {
        fail(error, QStringLiteral("%1 has no Exec key").arg(path_));
        return std::nullopt;
    }
    DesktopExec::Fields fields;
    fields.icon = value(QStringLiteral("Icon")).value_or(QString());
    fields.name = value(QStringLiteral("Name")).value_or(QString());
    fields.entryPath = path_;
    QString why;
    std::optional<QStringList> arguments = DesktopExec::split(*exec, fields, &why);
    if (!arguments)
        fail(error, QStringLiteral("the Exec line of %1 is not valid: %2").arg(path_, why));
    return arguments;
}

bool DesktopEntry::launch(QString *error) const {
    if (value(QStringLiteral("Hidden")) == QStringLiteral("true"))
        return fail(error, QStringLiteral("%1 is marked Hidden").arg(path_));
    if (value(QStringLiteral("Type")) != QStringLiteral("Application"))
        return fail(error, QStringLiteral("%1 is not an application").arg(path_));
    std::optional<QStringList> arguments = command(error);
    if (!arguments)
        return false;
    QString program = arguments->takeFirst();
    if (!program.contains(u'/')) {
        const QString found = QStandardPaths::findExecutable(program);
        if (found.isEmpty())
            return fail(error, QStringLiteral("%1 is not in PATH").arg(program));
        program = found;
    }
    const QString folder = value(QStringLiteral("Path")).value_or(QString());
    if (!QProcess::startDetached(program, *arguments, folder))
        return fail(error, QStringLiteral("cannot start %1").arg(program));
    return true;
}

QString DesktopEntry::escapeValue(const QString &text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u' ' && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

QString DesktopEntry::unescapeValue(const QString &text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[i + 1];
        // Other backslashes belong to the value (the Exec line has escapes of its own).
        const QString known = QStringLiteral("s\\ntr");
        if (!known.contains(next)) {
            out += text[i];
            continue;
        }
        ++i;
        out += next == u's'   ? QChar(u' ')
               : next == u'n' ? QChar(u'\n')
               : next == u't' ? QChar(u'\t')
               : next == u'r' ? QChar(u'\r')
                              : QChar(u'\\');
    }
    return out;
}
