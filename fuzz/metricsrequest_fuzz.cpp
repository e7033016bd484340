#include "Property.h"

#include "metrics/MetricsRequest.h"

namespace {
bool same(const MetricsRequest::Reading &a, const MetricsRequest::Reading &b) {
    return a.verdict == b.verdict && a.head == b.head && a.headBytes == b.headBytes;
}
} // namespace

// The first byte says how the rest arrives: in pieces of that many bytes, as a socket may hand
// them over. Every request is answered with exactly one of the documented statuses, decided by
// the bytes alone: the first piece after which it is decided decides it as the whole would,
// and the page never waits on more than it reads.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    if (size == 0)
        return 0;
    const qsizetype chunk = data[0] == 0 ? 1 : data[0];
    const QByteArray stream = bytes(data + 1, size - 1);

    const MetricsRequest::Reading whole = MetricsRequest::read(stream);
    const QByteArray status = MetricsRequest::statusLine(whole.verdict);
    if (whole.verdict == MetricsRequest::Verdict::Incomplete) {
        property(status.isEmpty(), "an undecided request has a status");
        property(stream.size() <= MetricsRequest::maxBytes,
                 "more than the request limit is waited on");
        property(!stream.contains("\r\n\r\n"), "a whole head is left undecided");
    } else {
        const int code = status.left(3).toInt();
        property(code == 200 || code == 400 || code == 404 || code == 405 || code == 431,
                 "a status outside the documented ones", QString::fromLatin1(status));
        property(whole.verdict == MetricsRequest::Verdict::TooLarge ||
                     (whole.headBytes <= MetricsRequest::maxBytes &&
                      stream.indexOf("\r\n\r\n") == whole.headBytes - 4),
                 "the head does not end at its first empty line");
        property(!whole.head || whole.verdict == MetricsRequest::Verdict::Serve ||
                     whole.verdict == MetricsRequest::Verdict::NotFound,
                 "a HEAD answer without a body for a status that has one");
    }

    QByteArray buffered;
    for (qsizetype offset = 0; offset < stream.size(); offset += chunk) {
        buffered += stream.mid(offset, chunk);
        const MetricsRequest::Reading part = MetricsRequest::read(buffered);
        if (part.verdict == MetricsRequest::Verdict::Incomplete)
            continue;
        property(same(part, whole), "the answer depends on how the bytes arrive");
        break;
    }
    return 0;
}
