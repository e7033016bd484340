#include "checks/StatusExpectation.h"

#include "checks/ReasonText.h"

#include <QStringList>

#include <algorithm>

namespace {
bool fail(QString *why, const QString &text) {
    if (why)
        *why = text;
    return false;
}

// Exactly three ASCII digits within the codes HTTP defines; "0200" or "２００" are not codes.
bool readCode(QStringView text, int &code, QString *why) {
    const QStringView digits = text.trimmed();
    const bool threeDigits =
        digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
    if (threeDigits) {
        code = digits.toInt();
        if (code >= StatusExpectation::lowestCode && code <= StatusExpectation::highestCode)
            return true;
    }
    // One arg() for all, so a "%2" typed into the list is not taken for a placeholder.
    return fail(why, QStringLiteral("%1 is not a status code from %2 to %3")
                         .arg(quotedText(digits), QString::number(StatusExpectation::lowestCode),
                              QString::number(StatusExpectation::highestCode)));
}

bool readEntry(QStringView entry, StatusExpectation::Range &range, QString *why) {
    const qsizetype dash = entry.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        if (!readCode(entry, range.low, why))
            return false;
        range.high = range.low;
        return true;
    }
    if (entry.indexOf(QLatin1Char('-'), dash + 1) >= 0)
        return fail(why, QStringLiteral("%1 is not a code or a range of codes")
                             .arg(quotedText(entry.trimmed())));
    if (!readCode(entry.first(dash), range.low, why) ||
        !readCode(entry.sliced(dash + 1), range.high, why))
        return false;
    if (range.low > range.high)
        return fail(why, QStringLiteral("the range %1 ends below its start; write %2-%3")
                             .arg(quotedText(entry.trimmed()), QString::number(range.high),
                                  QString::number(range.low)));
    return true;
}
} // namespace

StatusExpectation::StatusExpectation()
    : ranges_{{200, 299}} {}

StatusExpectation::StatusExpectation(std::vector<Range> ranges)
    : ranges_(std::move(ranges)) {}

std::optional<StatusExpectation> StatusExpectation::parse(QStringView text, QString *why) {
    if (text.trimmed().isEmpty()) {
        fail(why, QStringLiteral("must list codes or ranges, such as \"200-299,401\""));
        return std::nullopt;
    }
    std::vector<Range> ranges;
    for (const QStringView entry : text.tokenize(QLatin1Char(','))) {
        if (entry.trimmed().isEmpty()) {
            fail(why, QStringLiteral("has an empty entry between commas"));
            return std::nullopt;
        }
        Range range;
        if (!readEntry(entry, range, why))
            return std::nullopt;
        ranges.push_back(range);
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const Range &a, const Range &b) { return a.low < b.low; });
    std::vector<Range> merged;
    for (const Range &range : ranges) {
        if (!merged.empty() && range.low <= merged.back().high + 1)
            merged.back().high = std::max(merged.back().high, range.high);
        else
            merged.push_back(range);
    }
    return StatusExpectation(std::move(merged));
}

bool StatusExpectation::contains(int code) const {
    return std::any_of(ranges_.begin(), ranges_.end(),
                       [code](const Range &r) { return code >= r.low && code <= r.high; });
}

QString StatusExpectation::toString() const {
    QStringList entries;
    for (const Range &r : ranges_)
        entries.append(r.low == r.high ? QString::number(r.low)
                                       : QStringLiteral("%1-%2").arg(r.low).arg(r.high));
    return entries.join(QLatin1Char(','));
}
