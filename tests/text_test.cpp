// Text from the host list shown to people: made printable on a terminal or in a log, and cut to
// a length for menus, lists and notices.
#include "text/ElidedText.h"
#include "text/TerminalText.h"

#include <gtest/gtest.h>

namespace {
TEST(TerminalTextTest, EveryControlCharacterBecomesAVisibleEscape) {
    EXPECT_EQ(printable(QStringLiteral("plain Ünïcödé name")),
              QStringLiteral("plain Ünïcödé name"));
    EXPECT_EQ(printable(QStringLiteral("a\\n")), QStringLiteral("a\\\\n"))
        << "a typed backslash cannot pass for an escape";
    EXPECT_EQ(printable(QStringLiteral("\t\r\n\x1b\x7f")), QStringLiteral("\\t\\r\\n\\x1b\\x7f"));
    EXPECT_EQ(printable(QString(QChar(0x85)) + QChar(0x2028) + QChar(0x2066)),
              QStringLiteral("\\x85\\u{2028}\\u{2066}"));
}

TEST(ElidedTextTest, LongTextIsCutToItsLengthInWholeCharacters) {
    const QString forty = QString(40, u'a');
    EXPECT_EQ(elided(forty, 40), forty);
    EXPECT_EQ(elided(forty + u'b', 40), QString(39, u'a') + QChar(0x2026));
    EXPECT_EQ(elided(QString(), 40), QString());
    // A character outside the basic plane is one character, never cut in half.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString cut = elided(emoji.repeated(41), 40);
    EXPECT_EQ(cut.size(), 39 * 2 + 1);
    EXPECT_TRUE(cut.chopped(1).endsWith(emoji));
    EXPECT_EQ(elided(QString(40, u'x').replace(0, 1, emoji), 40).size(), 41)
        << "forty characters fit whole";
}
} // namespace
