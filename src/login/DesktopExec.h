#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The small command language of a desktop entry's Exec key: arguments split on spaces, whole
// arguments in double quotes with backslash escapes, and %-field codes. No shell ever sees the
// line, so what is not valid here is refused rather than guessed at.
class DesktopExec {
public:
    // What the field codes that name the entry itself stand for.
    struct Fields {
        QString icon;      // %i, as "--icon ICON"; nothing when empty
        QString name;      // %c
        QString entryPath; // %k
    };

    // The program and its arguments for an Exec value whose string escapes are already undone.
    // Launched without files or URLs, so their codes (%f %F %u %U and the deprecated ones) vanish.
    // Nothing, and why in `error`, for a line that breaks the quoting rules or is empty.
    static std::optional<QStringList> split(const QString &exec, const Fields &fields,
                                            QString *error = nullptr);

    // `argument` written so that split() gives it back unchanged.
    static QString quote(const QString &argument);
};
