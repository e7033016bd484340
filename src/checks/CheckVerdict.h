#pragma once

#include "checks/CheckOptions.h"

#include <QString>

#include <optional>

// What one answer means for a host with the given options: up or down, the short reason people
// read, which expectation failed, and whether the answer was slow.
//
// Reasons keep the style of the transport's own ("HTTP 503", "timed out after 30 s"). A host
// without options gets exactly the reasons it always had; once a host has options, a status
// outside its list names the list: "HTTP 503 (expected 200-299)". The other failures read
// "body lacks \"status: UP\"" (with " in its first 1 MiB" when the body was longer than what is
// searched), "body contains \"maintenance\"", "certificate key changed" and "timed out after 5 s".
// An answer that is up but slow reads "slow (1.2 s > 1 s)"; any other answer that is up has no
// reason.
struct CheckVerdict {
    // The option whose expectation an answer failed. The defaults are expectations too: a 503
    // fails expectStatus and a timeout fails timeoutSeconds, with options or without.
    enum class Expectation {
        None, // up, or a failure of the transport no option speaks of (refused, not resolved...)
        ExpectStatus,
        BodyContains,
        BodyLacks,
        TrustedCertificate,
        TimeoutSeconds,
    };

    // One answer, its transport outcome already sorted by whoever made the request.
    struct Answer {
        enum class Transport {
            Answered,   // an HTTP answer arrived (its status is judged)
            TimedOut,   // nothing complete before the host's timeout
            KeyChanged, // the server's public key does not match the host's pin
            Failed,     // any other transport failure, described by `failureReason`
        };
        Transport transport = Transport::Answered;
        QString failureReason; // the transport's short reason, for Failed
        std::optional<int> status;
        // What the body searches found in the first MiB (false when not searched), and whether
        // the body went on past it.
        bool bodyContainsFound = false;
        bool bodyLacksFound = false;
        bool bodyCut = false;
        double seconds = 0.0; // how long the check took
    };

    bool up = false;
    QString reason;
    Expectation failed = Expectation::None;
    // Up, with a slowAboveMs, and longer than it (in whole milliseconds).
    bool slow = false;

    static CheckVerdict judge(const CheckOptions &options, const Answer &answer);

    // The option's JSON key ("expectStatus"...), or a null string for None.
    static QString expectationKey(Expectation expectation);

    // "slow (1.2 s > 1 s)": the duration shown with no more precision than it takes to read as
    // more than the limit.
    static QString slowReason(qint64 tookMs, qint64 slowAboveMs);

    friend bool operator==(const CheckVerdict &, const CheckVerdict &) = default;
};
