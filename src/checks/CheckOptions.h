#pragma once

#include "checks/StatusExpectation.h"

#include <QMap>
#include <QString>

#include <optional>

// How one host is checked. Every field has a default, and a host whose options are all defaults
// ("has no option") is checked exactly as every host always was: one GET, redirects followed, a
// status from 200 to 299 within 30 s, the body read and thrown away.
//
// Header values are secrets (tokens, passwords): nothing this folder writes for people shows
// them, only the names of headers.
struct CheckOptions {
    enum class Method { Get, Head };

    // The JSON keys, which also name the option in messages and results.
    static constexpr const char *expectStatusKey = "expectStatus";
    static constexpr const char *followRedirectsKey = "followRedirects";
    static constexpr const char *methodKey = "method";
    static constexpr const char *bodyContainsKey = "bodyContains";
    static constexpr const char *bodyLacksKey = "bodyLacks";
    static constexpr const char *timeoutSecondsKey = "timeoutSeconds";
    static constexpr const char *headersKey = "headers";
    static constexpr const char *trustedCertificateKey = "trustedCertificate";
    static constexpr const char *slowAboveMsKey = "slowAboveMs";

    static constexpr int defaultTimeoutSeconds = 30;
    static constexpr int minTimeoutSeconds = 1;
    static constexpr int maxTimeoutSeconds = 120;
    // No answer takes longer than the longest timeout, so a larger bound could never be crossed.
    static constexpr int maxSlowAboveMs = maxTimeoutSeconds * 1000;
    // A body text is something to find in a page, not a page; this keeps what a check holds
    // while it searches small.
    static constexpr qsizetype maxBodyTextLength = 1000;
    // libcurl's form for a public key pin: the base64 of the key's SHA-256 digest.
    static constexpr const char *pinPrefix = "sha256//";
    static constexpr qsizetype pinDigestLength = 44;

    StatusExpectation expectStatus;
    // When false the first answer is judged, a redirect included (at most 10 are followed).
    bool followRedirects = true;
    Method method = Method::Get;
    // Texts that must and must not appear in the decoded body (its first MiB); searched as UTF-8
    // bytes, exactly as written (case matters). Absent means not searched; never empty.
    std::optional<QString> bodyContains;
    std::optional<QString> bodyLacks;
    int timeoutSeconds = defaultTimeoutSeconds;
    // Extra request headers by name. Names are tokens (letters, digits and !#$%&'*+-.^_`|~);
    // values hold no control characters but tab, and may be empty.
    QMap<QString, QString> headers;
    // "sha256//" and the 44 base64 characters of the digest of the server's public key. With a
    // pin the key is trusted when it matches, whoever signed the certificate (or nobody).
    std::optional<QString> trustedCertificate;
    // An answer that is up but took longer than this many milliseconds is slow.
    std::optional<int> slowAboveMs;

    // Whether anything differs from the defaults.
    bool hasAnyOption() const;

    // What is wrong with one field, for the message beside it and for an import that refuses the
    // host: `key` is the option's JSON key (empty when the problem is not one option's, as for an
    // unknown key), `why` a short phrase that never holds a header's value.
    struct Problem {
        QString key;
        QString why;
        // "timeoutSeconds: must be a whole number from 1 to 120"; `why` alone without a key.
        QString toString() const;
        friend bool operator==(const Problem &, const Problem &) = default;
    };

    // The first thing wrong with these options, in the order of the fields above, or nothing
    // when they can be used as they are.
    std::optional<Problem> problem() const;

    friend bool operator==(const CheckOptions &, const CheckOptions &) = default;
};
