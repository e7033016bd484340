#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// Which HTTP status codes count as up: a list of codes and ranges such as "200-299,401". Each
// entry is a code from 100 to 599 or two of them joined by "-", low first; spaces around entries
// and dashes are allowed. The list is kept sorted with overlapping and touching ranges merged,
// so two lists that accept the same codes are equal and print the same ("401, 200-250,251-299"
// prints "200-299,401"). The default, 200-299, is the rule every host had before it had options.
class StatusExpectation {
public:
    static constexpr int lowestCode = 100;
    static constexpr int highestCode = 599;

    struct Range {
        int low = 0;
        int high = 0;
        friend bool operator==(const Range &, const Range &) = default;
    };

    StatusExpectation(); // 200-299

    // The list written in `text`, or nothing with the reason in `why` (a short phrase for the
    // field's message: "\"650\" is not a status code from 100 to 599").
    static std::optional<StatusExpectation> parse(QStringView text, QString *why = nullptr);

    bool contains(int code) const;

    // The canonical text: sorted, merged, no spaces ("200-299,401"). Parses back to an equal list.
    QString toString() const;

    const std::vector<Range> &ranges() const { return ranges_; }

    friend bool operator==(const StatusExpectation &, const StatusExpectation &) = default;

private:
    explicit StatusExpectation(std::vector<Range> ranges);

    std::vector<Range> ranges_;
};
