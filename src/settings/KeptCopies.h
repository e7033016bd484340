#pragma once

#include <QByteArray>
#include <QString>

// Stored bytes that Tarvik cannot read are kept beside the settings file before anything may
// write over them, so a person can still recover them. Copies are private to the user (0600), and
// the same bytes are kept once however often they are met.
class KeptCopies {
public:
    static constexpr const char *prefix = "Tarvik-unreadable-hosts-";

    // The path of a copy holding exactly `bytes` (an existing one, or one written now); empty
    // when none could be written, in which case nothing is left behind.
    static QString keep(const QByteArray &bytes, const QString &suffix);
    // The path of an existing copy of exactly `bytes`, or empty.
    static QString find(const QByteArray &bytes);
};
