#pragma once

#include <QByteArray>
#include <QtGlobal>

// What a request may ask beyond a host check. The defaults are exactly a host check: the body is
// read and thrown away, and http and https are both allowed.
struct HttpRequestOptions {
    // Enough for any document the program fetches; a longer answer is someone else's mistake or a
    // hostile server, and memory stays bounded either way.
    static constexpr qsizetype defaultMaxBodyBytes = 1024 * 1024;

    bool keepBody = false;
    // With keepBody, a body longer than this fails the request and nothing of it is kept.
    qsizetype maxBodyBytes = defaultMaxBodyBytes;
    // Refuses plain http for the request and for every redirect it follows.
    bool httpsOnly = false;
    // A PEM file of certificate authorities to trust instead of the system's; empty for the
    // system's.
    QByteArray caFile;
};
