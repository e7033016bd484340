#include "metrics/ListenAddress.h"

#include <QRegularExpression>

namespace {
// Four decimal numbers without leading zeros: the address resolver also reads "010" as octal
// (8), "0x7f" as hex and "1.2.3" as 1.2.0.3, each almost always a typo that would listen
// somewhere else than written.
bool isPlainIpv4(const QString &host) {
    static const QRegularExpression plain(
        QStringLiteral(R"(^(0|[1-9][0-9]{0,2})(\.(0|[1-9][0-9]{0,2})){3}$)"));
    return plain.match(host).hasMatch();
}
} // namespace

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
    } else if (!listen.address.setAddress(host) || host.contains(u'%')) {
        *error = QStringLiteral("%1 is not an IP address").arg(host);
        return std::nullopt;
    } else if (listen.address.protocol() == QAbstractSocket::IPv4Protocol && !isPlainIpv4(host)) {
        *error = QStringLiteral("%1 is not an IP address written as four decimal numbers "
                                "without leading zeros")
                     .arg(host);
        return std::nullopt;
    } else if (listen.address == QHostAddress(QHostAddress::AnyIPv6)) {
        // "::" is every address; on its own the socket would take IPv6 connections alone.
        listen.address = QHostAddress(QHostAddress::Any);
    }
    return listen;
}
