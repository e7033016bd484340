#pragma once

#include <QByteArray>
#include <QString>

// One request to a running instance and its answer, waited for within a deadline. Made for
// short-lived callers (a second start, the command line, the login helper) that have nothing else
// to do meanwhile; it must not run on the thread of the instance it asks.
class InstanceClient {
public:
    enum class Outcome {
        Answered,   // the instance took the request; `payload` is its answer
        Refused,    // the instance said no; `error` says why
        NoInstance, // nothing listens: no socket, or one left behind by a crash
        NoAnswer,   // something listens but gave no valid answer in time
    };
    struct Answer {
        Outcome outcome = Outcome::NoInstance;
        QByteArray payload;
        QString error;
    };

    static Answer request(const QString &socketPath, const QByteArray &command,
                          const QByteArray &payload, int timeoutMs);
};
