#pragma once

#include "history/HistoryFile.h"
#include "history/HostHistory.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <unordered_map>
#include <vector>

class Clock;
class Host;
class TRHostController;
struct HttpResult;

// Every listed host's recent checks, kept in memory and in one file per host under a state
// folder. One file per host rather than one for all: a write replaces only the hosts that
// changed, a damaged file costs one host's history, and a removed host's history goes with its
// file.
//
// Hosts carry no id, so a file belongs to a host by its address and name (and which of several
// identical hosts it is); that is how a history finds its host at the next start, or in an
// imported list. The position in the list would not do: dragging a row would hand every history
// to another host. While the program runs a history follows its host object through the
// engine's announcements, so renaming a host or changing its address keeps its history; it is
// written under its new name at once, since a crash would otherwise leave only the old name.
//
// Writes are gathered: a check marks its host's history changed and the files are written at
// most once per flush delay, a few per event-loop turn so a thousand hosts never hold up the
// checks, and all at once when the program quits or the store goes away. A write that fails
// (a full disk) leaves the old file, says why on stderr and is tried at the next flush.
class HistoryStore : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultFlushDelay{std::chrono::minutes(5)};
    // Files written in one event-loop turn by a timed flush (about 45 KB each for a full day).
    static constexpr int filesPerTurn = 8;

    // Follows `engine`'s list and records every check it finishes, from now on.
    HistoryStore(TRHostController *engine, const QString &folder, const Clock &clock,
                 QObject *parent = nullptr);
    HistoryStore(TRHostController *engine, QObject *parent = nullptr);
    ~HistoryStore() override;

    // $XDG_STATE_HOME/tarvik, or ~/.local/state/tarvik when that is not set.
    static QString defaultFolder();
    QString folder() const { return folder_; }

    // The history of a listed host; null for a host the engine does not list.
    const HostHistory *history(const Host &host);
    // Adds one finished check of a listed host; a host no longer listed (removed while its
    // check was in flight) gets nothing.
    void record(const Host &host, const HttpResult &result);
    // Writes every changed history now; false when any could not be written (it stays changed
    // and is tried again on the next flush).
    bool flush();

    void setFlushDelay(std::chrono::milliseconds delay) { flushDelay_ = delay; }
    bool flushPending() const { return flushTimer_.isActive() || draining_; }
    // Where a listed host's history is kept; empty for a host that is not listed.
    QString fileName(const Host &host);
    // Heap bytes of every history held, for the bench.
    std::size_t memoryBytes() const;

Q_SIGNALS:
    // A check of `host` was added to its history.
    void recorded(const Host *host);

private:
    struct Entry {
        std::weak_ptr<const Host> host;
        HistoryFile::Identity identity;
        QString key; // the file's name, from the identity
        HostHistory history;
        bool changed = false;
        // Set when an unreadable file could not be moved aside: never written over.
        bool readOnly = false;
        bool failed = false; // its write failed during the flush under way
        // Files of names it had before an edit, removed once it is written under its own.
        std::vector<QString> leftBehind;
    };
    static QString keyOf(const HistoryFile::Identity &identity);
    QString pathOf(const QString &key) const;
    std::unique_ptr<Entry> load(const HistoryFile::Identity &identity);
    Entry *entryOf(const Host &host) const;
    // A whole new list (the start, an import): each host takes the history its address and
    // name had, and the histories no host took go, files and all.
    void takeList();
    void added(const std::shared_ptr<Host> &host);
    void removed(const Host &host);
    // A rename or a new address: the history follows its host to its new file name.
    void changed(const Host &host);
    // Numbers the listed hosts with this address and name in list order, as their files are
    // named: a host added, gone, renamed or moved among its twins changes its twins' numbers.
    // A history whose name changed is written under the new one at once.
    void renumber(const QString &address, const QString &name, std::vector<Entry *> &moved);
    void writeMoved(const std::vector<Entry *> &moved);
    bool keyInUse(const QString &key) const;
    void scheduleFlush();
    // Writes up to `limit` changed histories; true when all of them were written.
    bool writeChanged(int limit, bool *more);
    // Writes one history whole; says why on stderr when it could not.
    bool writeEntry(Entry &entry);
    void removeLeftBehind(Entry &entry);
    void drain();

    QPointer<TRHostController> engine_;
    QString folder_;
    const Clock &clock_;
    std::chrono::milliseconds flushDelay_ = defaultFlushDelay;
    QTimer flushTimer_;
    bool draining_ = false;
    bool failed_ = false; // a write of this flush failed
    std::unordered_map<const Host *, std::unique_ptr<Entry>> entries_;
};
