#include "http/DisplayAddress.h"

namespace {
struct Authority {
    qsizetype start = 0;
    qsizetype end = 0;
};

bool isSchemeCharacter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'+' || c == u'-' || c == u'.';
}

// Where the user info and host are, found leniently so that any stored text - even one that is
// no valid address - has its password hidden, and always at least where the transfer library
// finds them, since that is what it sends. It takes "scheme:" followed by one to three slashes
// (so "http:/user:pw@host" and "http:///user:pw@host" carry user info) and otherwise reads the
// text from its start as a host; the authority runs to the first '/', '?' or '#'.
Authority authorityOf(const QString &address) {
    Authority a;
    qsizetype scheme = 0;
    while (scheme < address.size() && scheme < 40 && isSchemeCharacter(address[scheme]))
        ++scheme;
    if (scheme > 0 && scheme + 1 < address.size() && address[scheme] == u':' &&
        address[scheme + 1] == u'/') {
        a.start = scheme + 1;
        while (a.start < address.size() && address[a.start] == u'/')
            ++a.start;
    } else if (address.startsWith(QStringLiteral("//"))) {
        a.start = 2;
    }
    a.end = address.size();
    for (qsizetype i = a.start; i < address.size(); ++i) {
        const QChar c = address[i];
        if (c == u'/' || c == u'?' || c == u'#') {
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
    // From the first ':' to the last '@': the password wherever a reader splits the user info
    // (the transfer library at the first '@', browsers at the last).
    const qsizetype colon = address.indexOf(u':', a.start);
    if (colon < 0 || colon >= at || colon + 1 == at)
        return address;
    return address.left(colon + 1) + QStringLiteral("***") + address.mid(at);
}
