#include "UrlParser.h"

#include <QHostAddress>

namespace {
bool isAlpha(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool isHex(QChar c) {
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool isUnreserved(QChar c) {
    return isAlpha(c) || isDigit(c) || c == u'-' || c == u'.' || c == u'_' || c == u'~';
}
bool isSubDelim(QChar c) {
    return QStringView(u"!$&'()*+,;=").contains(c);
}

// Every character of `part` is allowed by `allowed`, or is the start of a "%XX" escape.
template <typename Allowed> bool allOf(QStringView part, Allowed allowed) {
    for (qsizetype i = 0; i < part.size(); ++i) {
        const QChar c = part[i];
        if (c == u'%') {
            if (i + 2 >= part.size())
                return false;
            if (!isHex(part[i + 1]) || !isHex(part[i + 2]))
                return false;
            i += 2;
        } else if (!allowed(c)) {
            return false;
        }
    }
    return true;
}

bool isPchar(QChar c) {
    return isUnreserved(c) || isSubDelim(c) || c == u':' || c == u'@';
}
bool isPathChar(QChar c) {
    return isPchar(c) || c == u'/';
}
bool isQueryChar(QChar c) {
    return isPchar(c) || c == u'/' || c == u'?';
}

bool isScheme(QStringView s) {
    if (s.isEmpty() || !isAlpha(s.front()))
        return false;
    for (QChar c : s)
        if (!isAlpha(c) && !isDigit(c) && c != u'+' && c != u'-' && c != u'.')
            return false;
    return true;
}

bool isIpLiteral(QStringView inner) {
    if (inner.isEmpty())
        return false;
    if (inner.front() == u'v' || inner.front() == u'V') { // IPvFuture
        const qsizetype dot = inner.indexOf(u'.');
        if (dot < 2 || dot + 1 >= inner.size())
            return false;
        for (QChar c : inner.mid(1, dot - 1))
            if (!isHex(c))
                return false;
        for (QChar c : inner.mid(dot + 1))
            if (!isUnreserved(c) && !isSubDelim(c) && c != u':')
                return false;
        return true;
    }
    if (!inner.contains(u':'))
        return false;
    for (QChar c : inner)
        if (!isHex(c) && c != u':' && c != u'.')
            return false;
    // The characters alone let through "[:]" or "[1:2:3:4:5:6:7:8:9]", which no request can use.
    return QHostAddress(inner.toString()).protocol() == QAbstractSocket::IPv6Protocol;
}

bool isAuthority(QStringView a) {
    const qsizetype at = a.lastIndexOf(u'@');
    if (at >= 0) {
        if (!allOf(a.first(at),
                   [](QChar c) { return isUnreserved(c) || isSubDelim(c) || c == u':'; }))
            return false;
        a = a.mid(at + 1);
    }
    QStringView host = a;
    QStringView port;
    if (a.startsWith(u'[')) {
        const qsizetype close = a.indexOf(u']');
        if (close < 0 || !isIpLiteral(a.mid(1, close - 1)))
            return false;
        host = a.first(close + 1);
        const QStringView rest = a.mid(close + 1);
        if (!rest.isEmpty()) {
            if (rest.front() != u':')
                return false;
            port = rest.mid(1);
        }
    } else {
        const qsizetype colon = a.indexOf(u':');
        if (colon >= 0) {
            host = a.first(colon);
            port = a.mid(colon + 1);
        }
        if (!allOf(host, [](QChar c) { return isUnreserved(c) || isSubDelim(c); }))
            return false;
    }
    for (QChar c : port)
        if (!isDigit(c))
            return false;
    return true;
}
} // namespace

std::optional<ParsedUrl> UrlParser::parse(const QString &text) {
    if (text.isEmpty())
        return std::nullopt;
    ParsedUrl url;
    QStringView rest(text);

    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0) {
        const QStringView fragment = rest.mid(hash + 1);
        if (!allOf(fragment, isQueryChar))
            return std::nullopt;
        url.fragment = fragment.toString();
        rest = rest.first(hash);
    }
    const qsizetype question = rest.indexOf(u'?');
    if (question >= 0) {
        const QStringView query = rest.mid(question + 1);
        if (!allOf(query, isQueryChar))
            return std::nullopt;
        url.query = query.toString();
        rest = rest.first(question);
    }

    const qsizetype colon = rest.indexOf(u':');
    const qsizetype slash = rest.indexOf(u'/');
    const bool colonInFirstSegment = colon >= 0 && (slash < 0 || colon < slash);
    if (colonInFirstSegment) {
        // A relative reference may not have a ':' in its first segment, so this must be a scheme.
        if (!isScheme(rest.first(colon)))
            return std::nullopt;
        url.scheme = rest.first(colon).toString();
        rest = rest.mid(colon + 1);
    }

    if (rest.startsWith(u"//")) {
        rest = rest.mid(2);
        const qsizetype end = rest.indexOf(u'/');
        const QStringView authority = end < 0 ? rest : rest.first(end);
        if (!isAuthority(authority))
            return std::nullopt;
        url.authority = authority.toString();
        rest = end < 0 ? QStringView() : rest.mid(end);
    }
    if (!allOf(rest, isPathChar))
        return std::nullopt;
    url.path = rest.toString();
    return url;
}

bool UrlParser::isWebAddress(const QString &text) {
    const auto url = parse(text);
    if (!url || !url->scheme)
        return false;
    const QString scheme = url->scheme->toLower();
    return scheme == u"http" || scheme == u"https";
}
