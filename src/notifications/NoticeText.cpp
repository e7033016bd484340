#include "notifications/NoticeText.h"

#include "text/ElidedText.h"

QString NoticeText::name(const QString &name) {
    return elided(name, nameLength);
}

QString NoticeText::address(const QString &address) {
    return elided(address, addressLength);
}

QString NoticeText::reason(const QString &reason) {
    return elided(reason, reasonLength);
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
