#pragma once

#include <QString>
#include <QStringList>

// Bounds on what a notice says, whatever the list holds: a notice is read at a glance, and a
// notification server handed a hundred thousand characters shows them all or stalls. As the
// tray's tooltip does, at most five hosts are named, then "and N more"; a long name, address or
// reason is cut with "…".
class NoticeText {
public:
    static constexpr int namesShown = 5;
    static constexpr int nameLength = 64;
    static constexpr int addressLength = 128;
    static constexpr int reasonLength = 256;

    static QString name(const QString &name);
    static QString address(const QString &address);
    static QString reason(const QString &reason);
    // "api, shop, db" or "a, b, c, d, e and 2 more"; each item as it is given.
    static QString list(const QStringList &items);
    // One line per item, at most namesShown of them, then "and N more" on a line of its own.
    static QString lines(const QStringList &items);
};
