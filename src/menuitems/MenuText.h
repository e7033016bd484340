#pragma once

#include <QString>

// User text as a menu item's label, shown as typed. A QMenu reads "&" as a mnemonic marker; a
// menu exported over D-Bus reads "_" as one, and Qt turns the label's first "&" into "_" on the
// way out.
class MenuText {
public:
    static QString forMenu(const QString &text);
};
