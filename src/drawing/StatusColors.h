#pragma once

#include "monitoring/Host.h"

#include <QColor>

// The system status colours, as the tray and menus draw them.
struct StatusColors {
    static QColor green() { return QColor(52, 199, 89); }
    static QColor red() { return QColor(255, 59, 48); }
    static QColor gray() { return QColor(142, 142, 147); }
    static QColor yellow() { return QColor(255, 204, 0); }

    // A host's colour: green while active and reachable, yellow while it is so but slow, red
    // while active and unreachable, gray otherwise (paused, or not checked yet). Its menu row's
    // dot, its own icon's bar and its row in the hosts window show it.
    static QColor of(const Host &host) {
        if (host.isActive() && host.isReachable() == true)
            return host.isSlow() ? yellow() : green();
        if (host.isActive() && host.isReachable() == false)
            return red();
        return gray();
    }
};
