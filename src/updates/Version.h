#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <compare>
#include <optional>
#include <vector>

// A release version as the update feed and the build write it: dot-separated decimal numbers
// ("1", "1.2", "1.10.3"), optionally after a "v" or "V", optionally followed by "-" and a
// pre-release label of dot-separated identifiers made of ASCII letters, digits and "-"
// ("1.2.0-beta.2"). Nothing else parses: no spaces, no "+build" tail, no empty parts, no number
// too large for 64 bits.
//
// Ordering: numbers compare one by one, a missing one counting as 0, so "1.2" equals "1.2.0" and
// "1.10" is above "1.9". A label makes a version come before the same numbers without one
// ("1.2.0-rc.1" < "1.2.0"). Two labels compare identifier by identifier: numeric identifiers as
// numbers, others as ASCII text, a numeric one before a textual one; when one list of identifiers
// is the start of the other, the shorter comes first ("1.0-beta" < "1.0-beta.2" <
// "1.0-beta.10" < "1.0-rc").
class Version {
public:
    static std::optional<Version> parse(QStringView text);

    // The version without any leading "v", otherwise as written.
    QString toString() const;

    // Weak, not strong: "1.2" and "1.2.0" are equivalent yet print differently.
    friend std::weak_ordering operator<=>(const Version &a, const Version &b);
    friend bool operator==(const Version &a, const Version &b) { return (a <=> b) == 0; }

private:
    Version() = default;

    std::vector<quint64> numbers_;
    QStringList label_; // empty for a release
    QString text_;
};

// How `a` orders against `b`, or nothing when either is not a version.
std::optional<std::weak_ordering> compareVersions(QStringView a, QStringView b);
