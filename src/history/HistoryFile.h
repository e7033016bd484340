#pragma once

#include "history/HostHistory.h"

#include <QByteArray>
#include <QString>

// One host's history on disk: a short header, the host it belongs to, its reason texts and its
// checks, then a SHA-256 of all that so a truncated or overwritten file is told from a good one.
// Files are replaced whole (written beside and renamed over), never written in place.
class HistoryFile {
public:
    // Whom a history belongs to: hosts have no id, so their address and name, and which of the
    // hosts with that same address and name (0 for the first in list order).
    struct Identity {
        QString address;
        QString name;
        int occurrence = 0;
        bool operator==(const Identity &) const = default;
    };
    enum class Status { Missing, Ok, Damaged };
    struct ReadResult {
        Status status = Status::Missing;
        Identity identity;
        HostHistory history;
        QString error; // why a damaged file was refused
    };

    static QByteArray encode(const Identity &identity, const HostHistory &history);
    // Refuses, whole, bytes that are not exactly one history as encode() writes it; at most
    // `capacity` of the newest checks are kept.
    static ReadResult decode(const QByteArray &bytes, int capacity = HostHistory::defaultCapacity);

    // The most bytes a file of `identity` can take: a full ring of `capacity` checks, each with
    // a reason text of its own of the longest kind. Anything larger is not such a file.
    static qint64 largestFile(const Identity &identity,
                              int capacity = HostHistory::defaultCapacity);
    // Reads a regular file of at most `largest` bytes. A link (never followed), a pipe, a device
    // or a folder in its place, or a larger file, is Damaged without a byte of it being read, and
    // nothing here can wait on a pipe's other end.
    static ReadResult read(const QString &path, qint64 largest,
                           int capacity = HostHistory::defaultCapacity);
    // False, with the old file untouched and `error` said, when it could not be written whole.
    static bool write(const QString &path, const Identity &identity, const HostHistory &history,
                      QString *error = nullptr);
    // Renames a file that could not be read to a name beside it that says so; returns that name,
    // or nothing when it could not be moved.
    static QString setAside(const QString &path, const QDateTime &now);
};
