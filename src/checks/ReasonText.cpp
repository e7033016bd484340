#include "checks/ReasonText.h"

namespace {
bool needsEscape(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

void appendEscaped(QString &out, char32_t c) {
    switch (c) {
    case U'"':
        out += QStringLiteral("\\\"");
        return;
    case U'\\':
        out += QStringLiteral("\\\\");
        return;
    case U'\n':
        out += QStringLiteral("\\n");
        return;
    case U'\r':
        out += QStringLiteral("\\r");
        return;
    case U'\t':
        out += QStringLiteral("\\t");
        return;
    default:
        break;
    }
    if (needsEscape(c))
        out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    else
        out += QString::fromUcs4(&c, 1);
}
} // namespace

QString quotedText(QStringView text, qsizetype maxChars) {
    QString out(QLatin1Char('"'));
    qsizetype shown = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (shown == maxChars) {
            out += QStringLiteral("…");
            break;
        }
        char32_t c = text[i].unicode();
        // A pair of surrogates is one character; a lone one is escaped like a control character.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        appendEscaped(out, c);
        ++shown;
    }
    return out + QLatin1Char('"');
}

QString durationText(qint64 ms) {
    if (ms < 1000)
        return QStringLiteral("%1 ms").arg(ms);
    QString seconds = QString::number(ms / 1000);
    if (const qint64 rest = ms % 1000) {
        QString decimals = QStringLiteral("%1").arg(rest, 3, 10, QLatin1Char('0'));
        while (decimals.endsWith(QLatin1Char('0')))
            decimals.chop(1);
        seconds += QLatin1Char('.') + decimals;
    }
    return seconds + QStringLiteral(" s");
}
