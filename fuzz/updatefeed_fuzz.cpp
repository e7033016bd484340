#include "Property.h"

#include "updates/UpdateFeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The feed that lists `entry` alone.
QByteArray feedOf(const QJsonValue &entry) {
    return QJsonDocument(QJsonObject{{QStringLiteral("releases"), QJsonArray{entry}}})
        .toJson(QJsonDocument::Compact);
}
} // namespace

// The input is an update feed; as text it is also an address to fetch a feed from.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QByteArray json = bytes(data, size);
    const UpdateFeed::Reading reading = UpdateFeed::read(json);
    property(reading.newest.has_value() != !reading.error.isEmpty(),
             "a feed gives both or neither of a release and an error");

    if (reading.newest) {
        const UpdateFeed::Release &newest = *reading.newest;
        const QString scheme = newest.downloadPage.scheme().toLower();
        property((scheme == u"http" || scheme == u"https") && !newest.downloadPage.host().isEmpty(),
                 "a download page that is not a web address with a host",
                 newest.downloadPage.toString());
        // The newest release is the highest of those that are valid alone.
        const QJsonArray releases =
            QJsonDocument::fromJson(json).object().value(QStringLiteral("releases")).toArray();
        for (const QJsonValue &entry : releases) {
            const UpdateFeed::Reading alone = UpdateFeed::read(feedOf(entry));
            if (alone.newest)
                property(alone.newest->version <= newest.version,
                         "the newest release is not the highest",
                         alone.newest->version.toString() + QStringLiteral(" > ") +
                             newest.version.toString());
        }
    }

    const QString address = QString::fromUtf8(json);
    const std::optional<QString> problem = UpdateFeed::addressProblem(address);
    if (!problem) {
        property(UpdateFeed::isDownloadPage(address), "a feed address that is no web address",
                 address);
        property(address.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive) ||
                     !UpdateFeed::requestOptions(address).httpsOnly,
                 "a plain http feed accepted but then refused", address);
    }
    return 0;
}
