#pragma once

#include <QHostAddress>
#include <QString>

#include <optional>

// Where --metrics listens, from "ADDR:PORT", "[IPv6]:PORT", ":PORT" or "PORT". Without an address
// it is loopback only: metrics name every watched address, and serving them to the network has to
// be asked for. "localhost" means loopback too; other names are refused rather than looked up.
// IPv4 addresses are four decimal numbers ("127.0.0.010" is refused, not read as octal); "::"
// listens on every address of both families, "0.0.0.0" on every IPv4 one.
struct ListenAddress {
    QHostAddress address;
    quint16 port = 0;

    static std::optional<ListenAddress> parse(const QString &text, QString *error);
};
