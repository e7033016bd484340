#pragma once

#include <QString>

// `text` cut to at most `length` characters, the last of them "…", so one long name cannot widen
// a menu, a list or a notice past what a reader takes in. Characters are whole code points.
QString elided(const QString &text, int length);
