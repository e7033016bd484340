#pragma once

#include <QDateTime>
#include <QString>

class Host;
struct HttpResult;

// Every line the command line prints about the engine's work, as text for a person or, with
// --json, as one JSON object a line for a program; and where those lines go. Text prints names,
// addresses and reasons with control characters escaped, so the list cannot forge a line or steer
// the terminal; both hide an address's password.
class OutputFormatter {
public:
    explicit OutputFormatter(bool json)
        : json_(json) {}

    // One host's check.
    QString result(const Host &host, const HttpResult &result) const;
    // A round begins, checking `requests` hosts.
    QString round(int round, const QDateTime &at, int requests) const;
    // A host went up or down (or is no longer known to be either).
    QString state(const Host &host) const;
    // The machine went offline or came back.
    QString network(bool offline, const QDateTime &at) const;

    // A line on stdout for whoever reads it as it comes; `flush` false leaves it to stdio's
    // buffer, for output that ends with the program (--check).
    static void print(const QString &line, bool flush = true);
    // Why something failed, on stderr.
    static void complain(const QString &line);

private:
    bool json_;
};
