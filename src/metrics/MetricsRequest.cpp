#include "metrics/MetricsRequest.h"

#include <QList>

MetricsRequest::Reading MetricsRequest::read(const QByteArray &buffered) {
    Reading reading;
    // A head that ends one byte past the limit is still too large, so only the limit is searched.
    const QByteArray start = buffered.left(maxBytes);
    const qsizetype headEnd = start.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (start.size() == maxBytes)
            reading.verdict = Verdict::TooLarge;
        return reading; // or wait for the rest of the head
    }
    reading.headBytes = headEnd + 4;
    const QByteArray requestLine = start.left(start.indexOf("\r\n"));
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.")) {
        reading.verdict = Verdict::BadRequest;
        return reading;
    }
    const QByteArray &method = parts[0];
    reading.head = method == "HEAD";
    if (method != "GET" && !reading.head) {
        reading.head = false;
        reading.verdict = Verdict::NotAllowed;
        return reading;
    }
    QByteArray path = parts[1];
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path.truncate(query);
    reading.verdict = path == "/metrics" ? Verdict::Serve : Verdict::NotFound;
    return reading;
}

QByteArray MetricsRequest::statusLine(Verdict verdict) {
    switch (verdict) {
    case Verdict::Incomplete:
        break;
    case Verdict::Serve:
        return QByteArrayLiteral("200 OK");
    case Verdict::BadRequest:
        return QByteArrayLiteral("400 Bad Request");
    case Verdict::NotFound:
        return QByteArrayLiteral("404 Not Found");
    case Verdict::NotAllowed:
        return QByteArrayLiteral("405 Method Not Allowed");
    case Verdict::TooLarge:
        return QByteArrayLiteral("431 Request Header Fields Too Large");
    }
    return QByteArray();
}
