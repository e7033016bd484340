#pragma once

#include <QRegularExpression>
#include <QString>

// Identifiers such as "com.morvane.Tarvik" become file names (sockets, locks, autostart
// entries), so only dotted runs of letters, digits, "_" and "-" are accepted: nothing that could
// climb out of its folder.
inline bool isPlainIdentifier(const QString &identifier) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]+(\\.[A-Za-z0-9_-]+)*$"));
    return plain.match(identifier).hasMatch();
}
