#pragma once

#include <QString>
#include <QStringView>

// Pieces of the short texts the checks put in reasons and messages. These land in tooltips and
// one-line outputs, so whatever a user typed is shown on one line, quoted, and cut to a length
// that fits.

// `text` between double quotes, JSON-style: quotes and backslashes escaped, line breaks, tabs and
// other control or invisible formatting characters (a right-to-left override could turn a reason
// around) written as escapes, and anything past `maxChars` characters left out, marked by "…".
QString quotedText(QStringView text, qsizetype maxChars = 40);

// A duration of whole milliseconds as a person reads it: "850 ms" below a second, else seconds
// with at most three decimals and no trailing zeros ("1 s", "1.2 s", "1.234 s").
QString durationText(qint64 ms);
