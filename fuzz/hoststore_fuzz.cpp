#include "Property.h"

#include "monitoring/HostStore.h"

namespace {
// Whether every field a host keeps came through unchanged. A text with a lone UTF-16 surrogate
// (which JSON can spell as "\ud800") has no UTF-8 form, so it cannot be stored as read; the byte
// round trip below still holds for it.
bool sameHost(const Host &a, const Host &b) {
    const auto text = [](const QString &x, const QString &y) {
        return x == y || !x.isValidUtf16();
    };
    const auto optionalText = [&](const std::optional<QString> &x,
                                  const std::optional<QString> &y) {
        return x.has_value() == y.has_value() && (!x || text(*x, *y));
    };
    if (a.categories().size() != b.categories().size())
        return false;
    for (qsizetype i = 0; i < a.categories().size(); ++i)
        if (!text(a.categories()[i], b.categories()[i]))
            return false;
    return a.isReachable() == b.isReachable() && optionalText(a.abbreviation(), b.abbreviation()) &&
           text(a.address(), b.address()) && text(a.string(), b.string()) &&
           a.isFavorite() == b.isFavorite() && a.hasMenuBarItem() == b.hasMenuBarItem() &&
           a.lastRequestDuration() == b.lastRequestDuration() && a.isActive() == b.isActive();
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
