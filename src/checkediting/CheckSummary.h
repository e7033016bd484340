#pragma once

#include "checks/CheckOptions.h"

#include <QList>
#include <QString>

#include <utility>

// The check options in effect as the details window lists them, defaults included, one titled
// line per part of the check. Header values are secrets: only their names are shown.
class CheckSummary {
public:
    static constexpr const char *hiddenValue = "••••";

    // Titles and lines, in the order shown: "Request", "Up when", "Slow", "Headers", "Trust".
    static QList<std::pair<QString, QString>> rows(const CheckOptions &options);
};
