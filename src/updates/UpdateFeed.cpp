#include "updates/UpdateFeed.h"

#include "http/UrlParser.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {
// An absolute http or https address with a host, as the strict parser and QUrl both read it.
std::optional<QUrl> webUrl(const QString &text) {
    const std::optional<ParsedUrl> parsed = UrlParser::parse(text);
    if (!parsed || !parsed->scheme || !parsed->authority)
        return std::nullopt;
    if (parsed->scheme->compare(u"http", Qt::CaseInsensitive) != 0 &&
        parsed->scheme->compare(u"https", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

bool isThisMachine(const QUrl &url) {
    const QString host = url.host();
    if (host.compare(u"localhost", Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

std::optional<UpdateFeed::Release> release(const QJsonValue &entry) {
    const QJsonObject object = entry.toObject();
    const QJsonValue version = object.value(QStringLiteral("version"));
    const QJsonValue page = object.value(QStringLiteral("downloadPage"));
    if (!version.isString() || !page.isString())
        return std::nullopt;
    std::optional<Version> parsed = Version::parse(version.toString());
    std::optional<QUrl> url = webUrl(page.toString());
    if (!parsed || !url)
        return std::nullopt;
    return UpdateFeed::Release{std::move(*parsed), std::move(*url)};
}
} // namespace

UpdateFeed::Reading UpdateFeed::read(const QByteArray &json) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("the update feed is not valid JSON")};
    const QJsonValue releases = document.object().value(QStringLiteral("releases"));
    if (!document.isObject() || !releases.isArray())
        return {std::nullopt, QStringLiteral("the update feed has no list of releases")};

    std::optional<Release> newest;
    for (const QJsonValue &entry : releases.toArray()) {
        std::optional<Release> candidate = release(entry);
        if (candidate && (!newest || candidate->version > newest->version))
            newest = std::move(candidate);
    }
    if (!newest)
        return {std::nullopt, QStringLiteral("the update feed lists no release")};
    return {std::move(newest), QString()};
}

bool UpdateFeed::isDownloadPage(const QString &text) {
    return webUrl(text).has_value();
}

std::optional<QString> UpdateFeed::addressProblem(const QString &url) {
    const std::optional<QUrl> parsed = webUrl(url);
    if (!parsed)
        return QStringLiteral("the update feed address is not an http or https address");
    if (parsed->scheme().compare(u"https", Qt::CaseInsensitive) != 0 && !isThisMachine(*parsed))
        return QStringLiteral("the update feed must be served over https");
    return std::nullopt;
}

HttpRequestOptions UpdateFeed::requestOptions(const QString &url) {
    HttpRequestOptions options;
    options.keepBody = true;
    options.httpsOnly = !isThisMachine(QUrl(url, QUrl::StrictMode));
    return options;
}
