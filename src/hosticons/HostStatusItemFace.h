#pragma once

#include "trayitem/AttributedText.h"

#include <QColor>
#include <QDateTime>
#include <QIcon>
#include <QString>

#include <cstdint>

class Host;

// What a host's own tray icon shows and how a click on it is read; pure functions of the host.
class HostStatusItemFace {
public:
    enum class Gesture { ToggleActivation, Edit, PingNow };

    // Name, address, last duration, last result, an empty line, then the three gestures.
    // With an https host's certificate known, its days left (or a warning) follow the result.
    // Without `withGestures` (trays where a click carries no keys, and a menu offers the
    // commands) it ends before the empty line.
    static QString toolTip(const Host &host, bool withGestures = true);
    static QString toolTip(const Host &host, const QDateTime &now, bool withGestures = true);
    // The short name, or "#" without one, in the 14-point digit-aligned font.
    static AttributedText title(const Host &host);
    // 20 x 20, transparent but for a 2-point bar along the bottom edge in `color`.
    static QIcon barImage(const QColor &color);
    // The item's length for a title: its drawn width plus 4 points.
    static qreal length(const AttributedText &title) { return title.width() + 4; }
    // Control alone pings, Option alone edits, anything else toggles.
    static Gesture gesture(std::uint64_t modifierFlags);
};
