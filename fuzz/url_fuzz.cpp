#include "Property.h"

#include "http/UrlParser.h"

#include <QHostAddress>
#include <QStringView>

namespace {
bool isPrintableAscii(QStringView text) {
    for (QChar c : text)
        if (c.unicode() < 0x21 || c.unicode() > 0x7e)
            return false;
    return true;
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The host of an authority written in brackets, without them; nothing for other hosts.
std::optional<QString> bracketedHost(const QString &authority) {
    const QString afterUser = authority.mid(authority.lastIndexOf(u'@') + 1);
    if (!afterUser.startsWith(u'['))
        return std::nullopt;
    return afterUser.mid(1, afterUser.indexOf(u']') - 1);
}

// Every '%' starts an escape of two hex digits.
bool escapesAreWhole(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'%')
            continue;
        if (i + 2 >= text.size())
            return false;
        if (!isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
            return false;
        i += 2;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QString text = QString::fromUtf8(bytes(data, size));
    const std::optional<ParsedUrl> url = UrlParser::parse(text);
    if (!url) {
        property(!UrlParser::isWebAddress(text), "a web address that does not parse", text);
        return 0;
    }

    // The parts join back to exactly the text they came from.
    QString joined;
    if (url->scheme)
        joined += *url->scheme + u':';
    if (url->authority)
        joined += QStringLiteral("//") + *url->authority;
    joined += url->path;
    if (url->query)
        joined += u'?' + *url->query;
    if (url->fragment)
        joined += u'#' + *url->fragment;
    property(joined == text, "the parts do not join back to the address",
             text + QStringLiteral(" -> ") + joined);

    // What the grammar allows of an address, whoever parses it.
    property(isPrintableAscii(text), "an address with a space, control or non-ASCII character",
             text);
    property(escapesAreWhole(text), "an address with a '%' that starts no escape", text);
    property(!url->scheme || !url->scheme->isEmpty(), "an empty scheme", text);
    if (url->authority)
        property(url->path.isEmpty() || url->path.startsWith(u'/'),
                 "a path after a host that does not start with '/'", text);
    else
        property(!url->path.startsWith(QStringLiteral("//")),
                 "a path starting with \"//\" and no host", text);
    if (!url->scheme && !url->authority) {
        const QStringView firstSegment = QStringView(url->path).left(url->path.indexOf(u'/'));
        property(!firstSegment.contains(u':'), "a relative address with ':' in its first segment",
                 text);
    }
    if (const auto literal = url->authority ? bracketedHost(*url->authority) : std::nullopt;
        literal && !literal->startsWith(u'v', Qt::CaseInsensitive))
        property(QHostAddress(*literal).protocol() == QAbstractSocket::IPv6Protocol,
                 "a host in brackets that is not an IPv6 address", text);
    if (UrlParser::isWebAddress(text)) {
        const QString scheme = url->scheme.value_or(QString()).toLower();
        property(scheme == u"http" || scheme == u"https", "a web address of another scheme", text);
    }
    return 0;
}
