#include "networkstate/LocalAddress.h"

#include <QHostAddress>
#include <QUrl>

bool isOnThisMachine(const QString &address) {
    const QString host = QUrl(address.trimmed()).host();
    if (host.isEmpty())
        return false;
    if (host.compare(u"localhost", Qt::CaseInsensitive) == 0 ||
        host.endsWith(u".localhost", Qt::CaseInsensitive))
        return true;
    const QHostAddress ip(host);
    return !ip.isNull() && ip.isLoopback();
}
