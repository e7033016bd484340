#include "windows/HostNameProposals.h"

#include "http/DisplayAddress.h"
#include "http/UrlParser.h"
#include "monitoring/Host.h"
#include "monitoring/HostName.h"
#include "monitoring/TRHostController.h"

#include <QTextBoundaryFinder>

QString HostNameProposals::firstCharacter(const QString &text) {
    if (text.isEmpty())
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    const qsizetype end = finder.toNextBoundary();
    return text.left(end < 0 ? text.size() : end);
}

QString HostNameProposals::withoutFirstCharacters(const QString &text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype position = 0;
    for (int i = 0; i < count && position >= 0 && position < text.size(); ++i)
        position = finder.toNextBoundary();
    return position < 0 ? QString() : text.mid(position);
}

bool HostNameProposals::isHostAndPort(const QString &address) {
    const qsizetype colon = address.indexOf(u':');
    if (colon <= 0)
        return false;
    for (const QChar c : QStringView(address).first(colon))
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'.')
            return false;
    qsizetype end = colon + 1;
    while (end < address.size() && address[end].isDigit() && address[end].unicode() < 128)
        ++end;
    if (end == colon + 1)
        return false;
    if (end < address.size() && !QStringView(u"/?#").contains(address[end]))
        return false;
    // What follows the port must still make an address.
    return UrlParser::isWebAddress(QStringLiteral("http://") + address);
}

QString HostNameProposals::normalizedAddress(const QString &address) {
    const auto url = UrlParser::parse(address);
    if ((url && !url->scheme) || isHostAndPort(address))
        return QStringLiteral("http://") + address;
    return address;
}

QString HostNameProposals::addressProblem(const QString &address) {
    if (address.isEmpty())
        return {};
    const QString saved = normalizedAddress(address);
    if (!UrlParser::parse(saved))
        return QStringLiteral("Not a valid address");
    if (!UrlParser::isWebAddress(saved))
        return QStringLiteral("Tarvik checks http and https addresses only");
    return {};
}

QString HostNameProposals::defaultName(const QString &text, const Host *edited,
                                       const TRHostController *engine) {
    const QString address = isHostAndPort(text) ? normalizedAddress(text) : text;
    const auto url = UrlParser::parse(address);
    if (!url || !url->scheme || *url->scheme == u"localhost")
        return uniqueName(address, edited, engine);
    QString rest = withoutFirstCharacters(address, int(url->scheme->size()));
    // Only "scheme://" starts an authority, the one place an address holds a user and password;
    // elsewhere ("mailto:me@example.com") an "@" is part of what the address names.
    const bool hasAuthority = rest.startsWith(QStringLiteral("://"));
    while (rest.startsWith(u'/') || rest.startsWith(u':'))
        rest.remove(0, 1);
    // A name is shown everywhere; the address's user name and password are not.
    if (hasAuthority)
        rest.remove(0, authorityHostStart(rest));
    if (rest.startsWith(u"www."))
        rest.remove(0, 4);
    return uniqueName(rest, edited, engine);
}

QString HostNameProposals::defaultShortName(const QString &name, const QString &namePlaceholder,
                                            const Host *edited, const TRHostController *engine) {
    const QString source = !name.isEmpty() ? name : namePlaceholder;
    if (source.isEmpty())
        return QStringLiteral("#");
    return uniqueShortName(firstCharacter(source), edited, engine);
}

QString HostNameProposals::uniqueName(const QString &candidate, const Host *edited,
                                      const TRHostController *engine) {
    if (edited && sameHostName(edited->string(), candidate))
        return candidate;
    if (!engine)
        return candidate;
    QString tried = candidate;
    for (int n = 2; engine->hostNamed(tried); ++n)
        tried = candidate + QStringLiteral(" ") + QString::number(n);
    return tried;
}

QString HostNameProposals::uniqueShortName(const QString &candidate, const Host *edited,
                                           const TRHostController *engine) {
    if (edited && edited->abbreviation() && sameHostName(*edited->abbreviation(), candidate))
        return candidate;
    if (!engine)
        return candidate;
    QString tried = candidate;
    for (int n = 2; engine->hostWithAbbreviation(tried); ++n)
        tried = candidate + QString::number(n);
    return tried;
}
