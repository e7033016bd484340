#include "updates/Version.h"

#include <algorithm>

namespace {
bool isDigits(QStringView s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool isIdentifier(QStringView s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
              c == u'-'))
            return false;
    return true;
}

std::optional<quint64> number(QStringView s) {
    if (!isDigits(s))
        return std::nullopt;
    bool ok = false;
    const quint64 value = s.toULongLong(&ok, 10); // fails on overflow
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

std::weak_ordering compareIdentifiers(const QString &a, const QString &b) {
    const std::optional<quint64> x = number(a);
    const std::optional<quint64> y = number(b);
    if (x && y)
        return *x <=> *y;
    if (x || y)
        return x ? std::weak_ordering::less : std::weak_ordering::greater;
    const int c = QString::compare(a, b, Qt::CaseSensitive);
    return c < 0 ? std::weak_ordering::less
                 : (c > 0 ? std::weak_ordering::greater : std::weak_ordering::equivalent);
}
} // namespace

std::optional<Version> Version::parse(QStringView text) {
    QStringView rest = text;
    if (rest.startsWith(u'v') || rest.startsWith(u'V'))
        rest = rest.mid(1);
    Version version;
    version.text_ = rest.toString();

    const qsizetype dash = rest.indexOf(u'-');
    const QStringView numbers = dash < 0 ? rest : rest.left(dash);
    for (QStringView part : numbers.split(u'.')) {
        const std::optional<quint64> value = number(part);
        if (!value)
            return std::nullopt;
        version.numbers_.push_back(*value);
    }
    if (dash >= 0) {
        for (QStringView identifier : rest.mid(dash + 1).split(u'.')) {
            if (!isIdentifier(identifier))
                return std::nullopt;
            version.label_.append(identifier.toString());
        }
    }
    return version;
}

QString Version::toString() const {
    return text_;
}

std::weak_ordering operator<=>(const Version &a, const Version &b) {
    const size_t count = std::max(a.numbers_.size(), b.numbers_.size());
    for (size_t i = 0; i < count; ++i) {
        const quint64 x = i < a.numbers_.size() ? a.numbers_[i] : 0;
        const quint64 y = i < b.numbers_.size() ? b.numbers_[i] : 0;
        if (x != y)
            return x <=> y;
    }
    if (a.label_.isEmpty() != b.label_.isEmpty())
        return a.label_.isEmpty() ? std::weak_ordering::greater : std::weak_ordering::less;
    for (qsizetype i = 0; i < std::min(a.label_.size(), b.label_.size()); ++i) {
        const std::weak_ordering order = compareIdentifiers(a.label_[i], b.label_[i]);
        if (order != 0)
            return order;
    }
    return a.label_.size() <=> b.label_.size();
}

std::optional<std::weak_ordering> compareVersions(QStringView a, QStringView b) {
    const std::optional<Version> x = Version::parse(a);
    const std::optional<Version> y = Version::parse(b);
    if (!x || !y)
        return std::nullopt;
    return *x <=> *y;
}
