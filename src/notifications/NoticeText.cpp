#include "notifications/NoticeText.h"

#include "menuitems/MenuText.h"

QString NoticeText::name(const QString &name) {
    return MenuText::elided(name, nameLength);
}

QString NoticeText::address(const QString &address) {
    return MenuText::elided(address, addressLength);
}

QString NoticeText::reason(const QString &reason) {
    return MenuText::elided(reason, reasonLength);
}

QString NoticeText::list(const QStringList &items) {
    if (items.size() <= namesShown)
        return items.join(QStringLiteral(", "));
    return items.mid(0, namesShown).join(QStringLiteral(", ")) +
           QStringLiteral(" and %1 more").arg(items.size() - namesShown);
}

QString NoticeText::lines(const QStringList &items) {
    if (items.size() <= namesShown)
        return items.join(u'\n');
    return items.mid(0, namesShown).join(u'\n') +
           QStringLiteral("\nand %1 more").arg(items.size() - namesShown);
}
