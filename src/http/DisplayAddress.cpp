#include "http/DisplayAddress.h"

namespace {
struct Authority {
    qsizetype start = 0;
    qsizetype end = 0;
};

// Found leniently, so that any stored text - even one that is no valid address - has its
// password hidden: after a leading "//" or "scheme://", else from the start (an address typed
// without a scheme).
Authority authorityOf(const QString &address) {
    Authority a;
    const qsizetype slashes = address.indexOf(QStringLiteral("//"));
    const qsizetype firstDelimiter = [&] {
        for (qsizetype i = 0; i < address.size(); ++i)
            if (address[i] == u'/' || address[i] == u'?' || address[i] == u'#')
                return i;
        return address.size();
    }();
    if (slashes >= 0 && slashes == firstDelimiter && (slashes == 0 || address[slashes - 1] == u':'))
        a.start = slashes + 2;
    a.end = address.size();
    for (qsizetype i = a.start; i < address.size(); ++i) {
        const QChar c = address[i];
        if (c == u'/' || c == u'?' || c == u'#' || c == u'\\') {
            a.end = i;
            break;
        }
    }
    return a;
}
} // namespace

qsizetype authorityHostStart(const QString &address) {
    const Authority a = authorityOf(address);
    const qsizetype at = a.end > a.start ? address.lastIndexOf(u'@', a.end - 1) : -1;
    return at >= a.start ? at + 1 : a.start;
}

QString displayAddress(const QString &address) {
    const Authority a = authorityOf(address);
    const qsizetype at = a.end > a.start ? address.lastIndexOf(u'@', a.end - 1) : -1;
    if (at < a.start)
        return address;
    const qsizetype colon = address.indexOf(u':', a.start);
    if (colon < 0 || colon >= at || colon + 1 == at)
        return address;
    return address.left(colon + 1) + QStringLiteral("***") + address.mid(at);
}
