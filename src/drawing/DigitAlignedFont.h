#pragma once

#include <QFont>

// The system font at a given size, with digits that all take the same width so that counts and
// names with numbers line up. Qt here has no switch for tabular figures, so when the system
// font's digits differ in width the fixed-pitch system font is used instead.
class DigitAlignedFont {
public:
    static QFont font(qreal pointSize);
    static bool hasAlignedDigits(const QFont &font);
};
