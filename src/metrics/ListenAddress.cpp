#include "metrics/ListenAddress.h"

std::optional<ListenAddress> ListenAddress::parse(const QString &text, QString *error) {
    QString host;
    QString port = text;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0 || text.mid(close + 1, 1) != u":") {
            *error = QStringLiteral("%1 is not [ADDRESS]:PORT").arg(text);
            return std::nullopt;
        }
        host = text.mid(1, close - 1);
        port = text.mid(close + 2);
    } else if (const qsizetype colon = text.lastIndexOf(u':'); colon >= 0) {
        host = text.left(colon);
        port = text.mid(colon + 1);
        if (host.contains(u':')) {
            *error = QStringLiteral("write an IPv6 address in brackets: [%1]:PORT").arg(host);
            return std::nullopt;
        }
    }
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok || number == 0 || number > 65535 || port.startsWith(u'+')) {
        *error = QStringLiteral("%1 is not a port from 1 to 65535").arg(port);
        return std::nullopt;
    }
    ListenAddress listen;
    listen.port = quint16(number);
    if (host.isEmpty() || host.compare(u"localhost", Qt::CaseInsensitive) == 0) {
        listen.address = QHostAddress(QHostAddress::LocalHost);
    } else if (!listen.address.setAddress(host) || host.contains(u'%') ||
               // "1.2.3" is a valid old-style IPv4 address (1.2.0.3), and almost always a typo.
               (listen.address.protocol() == QAbstractSocket::IPv4Protocol &&
                host.count(u'.') != 3)) {
        *error = QStringLiteral("%1 is not an IP address").arg(host);
        return std::nullopt;
    }
    return listen;
}
