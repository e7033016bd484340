#pragma once

#include <QString>

// Text from the host list made safe to print one per line on a terminal or into a log: control
// characters (line breaks, escape sequences, NUL), line and paragraph separators and the
// direction overrides that reorder what a reader sees are written as visible escapes ("\n",
// "\x1b", "\u{202e}"), and a backslash as "\\", so no name or address can end a line early,
// forge another, or steer the terminal.
QString printable(const QString &text);
