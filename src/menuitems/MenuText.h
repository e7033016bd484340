#pragma once

#include <QString>

// User text as a menu item's label, shown as typed. A QMenu reads "&" as a mnemonic marker; a
// menu exported over D-Bus reads "_" as one, and Qt turns the label's first "&" into "_" on the
// way out.
class MenuText {
public:
    static QString forMenu(const QString &text);
    // `text` cut to at most `length` characters, the last of them "…", so one long name cannot
    // widen a menu or list past the screen. Characters are whole code points.
    static QString elided(const QString &text, int length);
};
