#pragma once

#include <QColor>

// The label tones windows use, derived from the current palette so they follow light and dark
// themes: secondary text at half strength, hairlines and grid lines at a tenth.
class SystemColors {
public:
    static QColor secondaryLabel();
    static QColor quaternaryLabel();
};
