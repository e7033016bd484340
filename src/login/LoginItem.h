#pragma once

#include <QString>

// Starting a program when the user logs in, the way freedesktop sessions do it: an autostart
// entry in $XDG_CONFIG_HOME/autostart named after the program's identifier. What is registered is
// the login helper, which then starts Tarvik unless it already runs.
class LoginItem {
public:
    static constexpr const char *helperIdentifier = "com.morvane.Tarvik.Helper";
    static constexpr const char *helperProgram = "tarvik-helper";

    // Writes (atomically) or removes the autostart entry for `identifier`. Removing an entry that
    // is not there succeeds; any failure returns false, says why in `error` when given, and
    // leaves no half-written entry.
    static bool setEnabled(const QString &identifier, bool enabled, QString *error = nullptr);
    // Whether an autostart entry for `identifier` is there, whoever wrote it.
    static bool isEnabled(const QString &identifier);

    // Where the entry for `identifier` lives; empty for an identifier that is no plain file name.
    static QString entryPath(const QString &identifier);
    // The Exec value that starts the helper: the one installed beside the program in
    // `programFolder` when there is one, else whichever `tarvik-helper` PATH finds at login.
    static QString helperCommand(const QString &programFolder);
};
