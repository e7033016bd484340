#include "Property.h"

#include "monitoring/HostStore.h"

namespace {
bool sameHost(const Host &a, const Host &b) {
    return a.isReachable() == b.isReachable() && a.abbreviation() == b.abbreviation() &&
           a.address() == b.address() && a.string() == b.string() &&
           a.isFavorite() == b.isFavorite() && a.hasMenuBarItem() == b.hasMenuBarItem() &&
           a.lastRequestDuration() == b.lastRequestDuration() && a.categories() == b.categories() &&
           a.isActive() == b.isActive();
}
} // namespace

// A host list that decodes is written out, read back and written again: nothing may be lost
// on the way, and the second writing must give the same bytes as the first.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QByteArray input = bytes(data, size);
    const std::optional<HostList> hosts = HostStore::decode(input);
    if (!hosts)
        return 0;
    const std::optional<QByteArray> written = HostStore::encode(*hosts);
    property(written.has_value(), "a host list that decodes cannot be encoded",
             QString::fromUtf8(input));
    QString error;
    const std::optional<HostList> reread = HostStore::decode(*written, &error);
    property(reread.has_value(), "an encoded host list does not decode",
             QString::fromUtf8(*written) + QStringLiteral(": ") + error);
    property(reread->size() == hosts->size(), "hosts are lost in a round trip",
             QString::fromUtf8(*written));
    for (size_t i = 0; i < hosts->size(); ++i)
        property(sameHost(*(*hosts)[i], *(*reread)[i]), "a host changes in a round trip",
                 QString::fromUtf8(input) + QStringLiteral(" -> ") + QString::fromUtf8(*written));
    const std::optional<QByteArray> rewritten = HostStore::encode(*reread);
    property(rewritten && *rewritten == *written, "encoding a decoded list changes its bytes",
             QString::fromUtf8(*written) + QStringLiteral(" -> ") +
                 QString::fromUtf8(rewritten.value_or(QByteArray())));
    return 0;
}
