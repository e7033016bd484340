#pragma once

#include <QColor>

// The system status colours, as the tray and menus draw them.
struct StatusColors {
    static QColor green() { return QColor(52, 199, 89); }
    static QColor red() { return QColor(255, 59, 48); }
    static QColor gray() { return QColor(142, 142, 147); }
};
