#include "text/ElidedText.h"

QString elided(const QString &text, int length) {
    if (length < 1)
        return QString();
    // Count code points, so a character outside the basic plane is never split in two.
    qsizetype cut = 0;
    int kept = 0;
    while (cut < text.size() && kept < length - 1) {
        cut += text.at(cut).isHighSurrogate() && cut + 1 < text.size() ? 2 : 1;
        ++kept;
    }
    if (cut == text.size())
        return text;
    // One more character fits exactly: no need to cut.
    const qsizetype next = text.at(cut).isHighSurrogate() && cut + 1 < text.size() ? 2 : 1;
    if (cut + next == text.size())
        return text;
    return text.left(cut) + QChar(0x2026);
}
