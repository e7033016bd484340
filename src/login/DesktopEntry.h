#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

// One desktop entry file, read and started the way a desktop launcher does it: keys of the
// [Desktop Entry] group with their string escapes undone, and the Exec line run without a shell.
class DesktopEntry {
public:
    // The file that stands for `desktopId`: the first applications/<id> under $XDG_DATA_HOME,
    // then under each of $XDG_DATA_DIRS in order. Empty when there is none.
    static QString locate(const QString &desktopId);
    // Nothing, and why in `error`, when the file cannot be read or has no [Desktop Entry] group.
    static std::optional<DesktopEntry> read(const QString &path, QString *error = nullptr);
    // The entry these file contents describe, as if read from `path`.
    static std::optional<DesktopEntry> fromData(const QByteArray &contents, const QString &path,
                                                QString *error = nullptr);

    QString path() const { return path_; }
    // The value of `key` (unlocalised) in the [Desktop Entry] group, escapes undone.
    std::optional<QString> value(const QString &key) const;

    // The program and arguments its Exec line stands for, with field codes expanded.
    std::optional<QStringList> command(QString *error = nullptr) const;
    // Starts the entry's program detached from this process. An entry marked Hidden counts as
    // deleted, and only applications can be started.
    bool launch(QString *error = nullptr) const;

    // A string value as it is written in a file, and back.
    static QString escapeValue(const QString &text);
    static QString unescapeValue(const QString &text);

private:
    QString path_;
    std::map<QString, QString> values_; // raw, as written
};
