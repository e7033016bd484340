#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How running instances are found and spoken to. Each program identifier has, per user, one lock
// file and one local socket in the user's private runtime folder (never a shared folder like
// /tmp, where another user could stand in for the socket and be handed our data). Messages in
// both directions are a 4-byte big-endian length, then a command word, a newline and a payload.
class InstanceProtocol {
public:
    // Far above any real host list, and low enough that a stray client cannot make us buffer
    // without end. A payload (an imported list) may be this long; the message adds room for
    // its command word.
    static constexpr qsizetype maxPayloadSize = 16 * 1024 * 1024;
    static constexpr qsizetype maxMessageSize = maxPayloadSize + 64;
    // What one instance buffers across all its connections at once: two whole messages, so a
    // flood of local connections cannot grow it without end.
    static constexpr qsizetype maxBufferedBytes = 2 * maxMessageSize;

    static constexpr const char *query = "query";        // answered with "ok" and a JSON object
    static constexpr const char *activate = "activate";  // a later start wants the program shown
    static constexpr const char *importHosts = "import"; // payload: a host list in stored JSON
    static constexpr const char *ok = "ok";
    static constexpr const char *refused = "error"; // payload: why, as text

    // Where locks and sockets live: $XDG_RUNTIME_DIR when this user owns it and it is closed to
    // others, else a private folder in the user's cache (created 0700); empty when neither can
    // be had.
    static QString runtimeFolder();
    // Empty when the identifier is not a plain reverse-domain name or there is no runtime folder.
    static QString socketPath(const QString &identifier);
    static QString lockPath(const QString &identifier);
    // Every instance socket of this user, by name; some may be left over from a crash.
    static QStringList socketPaths();

    static QByteArray message(const QByteArray &command, const QByteArray &payload);

    enum class Take { Incomplete, Message, Invalid };
    // Takes one whole message off the front of `buffer` when it holds one.
    static Take take(QByteArray &buffer, QByteArray *command, QByteArray *payload);
};
