#pragma once

#include <QByteArray>

// What the metrics page makes of the bytes a client has sent so far, kept apart from the sockets
// so it can be checked on any input. A request is its head: a request line and header lines,
// ended by an empty line, in at most maxBytes. Every head is answered with exactly one of the
// statuses below; the page never waits on more than maxBytes.
class MetricsRequest {
public:
    static constexpr qsizetype maxBytes = 8 * 1024;

    enum class Verdict {
        Incomplete, // no whole head yet, and fewer than maxBytes read
        Serve,      // 200: GET or HEAD of /metrics (a query is ignored)
        BadRequest, // 400: not an HTTP/1.x request line
        NotFound,   // 404: another path
        NotAllowed, // 405: another method
        TooLarge,   // 431: no end of the head within maxBytes
    };
    struct Reading {
        Verdict verdict = Verdict::Incomplete;
        bool head = false;       // a HEAD request: the answer carries no body
        qsizetype headBytes = 0; // how many bytes the head took, when whole
    };

    // Reads the start of `buffered` (only its first maxBytes bytes matter).
    static Reading read(const QByteArray &buffered);
    // "200 OK", "404 Not Found"...; empty for Incomplete.
    static QByteArray statusLine(Verdict verdict);
};
