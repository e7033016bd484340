#include "Property.h"

#include "updates/Version.h"

#include <array>

namespace {
QString describe(const Version &a, const Version &b) {
    return a.toString() + QStringLiteral(" vs ") + b.toString();
}

std::weak_ordering reversed(std::weak_ordering order) {
    return order < 0 ? std::weak_ordering::greater
                     : (order > 0 ? std::weak_ordering::less : std::weak_ordering::equivalent);
}

// Facts about one version that follow from how versions are written.
void checkOne(const QString &text, const Version &v) {
    property(v == v && (v <=> v) == 0, "a version is not equal to itself", text);
    const std::optional<Version> again = Version::parse(v.toString());
    property(again && *again == v, "a version does not parse back from its own text", text);
    property(compareVersions(text, text) == std::weak_ordering::equivalent,
             "compareVersions does not find a version equal to itself", text);

    // A trailing ".0" on the numbers changes nothing; a label puts a release after its
    // pre-releases.
    const QString written = v.toString();
    const qsizetype dash = written.indexOf(u'-');
    const QString numbers = dash < 0 ? written : written.left(dash);
    const QString label = dash < 0 ? QString() : written.mid(dash);
    const std::optional<Version> padded = Version::parse(numbers + QStringLiteral(".0") + label);
    property(padded && *padded == v, "a trailing .0 changes a version", text);
    if (dash < 0) {
        const std::optional<Version> pre = Version::parse(numbers + QStringLiteral("-0"));
        property(pre && *pre < v, "a pre-release is not before its release", text);
    }
}

void checkPair(const Version &a, const Version &b) {
    const std::weak_ordering ab = a <=> b;
    property((b <=> a) == reversed(ab), "the order is not antisymmetric", describe(a, b));
    property((a == b) == (ab == 0), "== disagrees with <=>", describe(a, b));
    property(compareVersions(a.toString(), b.toString()) == ab,
             "compareVersions disagrees with <=>", describe(a, b));
}

void checkTriple(const Version &a, const Version &b, const Version &c) {
    const QString all = describe(a, b) + QStringLiteral(" vs ") + c.toString();
    if (a <= b && b <= c)
        property(a <= c, "<= is not transitive", all);
    if (a == b && b == c)
        property(a == c, "== is not transitive", all);
    if (a < b && b <= c)
        property(a < c, "< is not transitive", all);
}
} // namespace

// The input is up to three version texts, one per line.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QStringList lines = QString::fromUtf8(bytes(data, size)).split(u'\n');
    std::vector<Version> versions;
    for (qsizetype i = 0; i < lines.size() && i < 3; ++i) {
        std::optional<Version> v = Version::parse(lines[i]);
        if (!v)
            continue;
        checkOne(lines[i], *v);
        versions.push_back(std::move(*v));
    }
    for (const Version &a : versions)
        for (const Version &b : versions)
            checkPair(a, b);
    if (versions.size() == 3) {
        const std::array<std::array<int, 3>, 6> orders = {
            {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}}};
        for (const auto &o : orders)
            checkTriple(versions[o[0]], versions[o[1]], versions[o[2]]);
    }
    return 0;
}
