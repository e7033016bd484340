#include "history/HistoryStore.h"

#include "monitoring/Clock.h"
#include "monitoring/TRHostController.h"
#include "text/TerminalText.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

namespace {
void say(const QString &line) {
    std::fprintf(stderr, "tarvik: %s\n", line.toLocal8Bit().constData());
}
} // namespace

HistoryStore::HistoryStore(TRHostController *engine, const QString &folder, const Clock &clock,
                           QObject *parent)
    : QObject(parent)
    , engine_(engine)
    , folder_(folder)
    , clock_(clock) {
    flushTimer_.setSingleShot(true);
    connect(&flushTimer_, &QTimer::timeout, this, [this] {
        failed_ = false;
        drain();
    });
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &HistoryStore::flush);
    if (engine_) {
        connect(engine_, &TRHostController::checkFinished, this, &HistoryStore::record);
        connect(engine_, &TRHostController::hostAdded, this, &HistoryStore::added);
        connect(engine_, &TRHostController::hostRemoved, this,
                [this](const Host &host) { removed(host); });
        connect(engine_, &TRHostController::hostChanged, this, &HistoryStore::changed);
        connect(engine_, &TRHostController::hostMoved, this, [this](const Host &host) {
            std::vector<Entry *> moved;
            renumber(host.address(), host.string(), moved);
            writeMoved(moved);
        });
        connect(engine_, &TRHostController::hostsReplaced, this, &HistoryStore::takeList);
    }
    takeList();
}

HistoryStore::HistoryStore(TRHostController *engine, QObject *parent)
    : HistoryStore(engine, defaultFolder(), Clock::system(), parent) {}

HistoryStore::~HistoryStore() {
    flush();
}

QString HistoryStore::defaultFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // XDG base directory rules ignore relative paths.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/tarvik");
}

QString HistoryStore::keyOf(const HistoryFile::Identity &identity) {
    // A digest makes a file name of any address and name, and the same one every run.
    QByteArray text = identity.address.toUtf8();
    text += '\0';
    text += identity.name.toUtf8();
    text += '\0';
    text += QByteArray::number(identity.occurrence);
    return QString::fromLatin1(
        QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(32));
}

QString HistoryStore::pathOf(const QString &key) const {
    return folder_ + QLatin1Char('/') + key + QStringLiteral(".history");
}

std::unique_ptr<HistoryStore::Entry> HistoryStore::load(const HistoryFile::Identity &identity) {
    auto entry = std::make_unique<Entry>();
    entry->identity = identity;
    entry->key = keyOf(identity);
    const QString path = pathOf(entry->key);
    HistoryFile::ReadResult read =
        HistoryFile::read(path, HistoryFile::largestFile(identity, entry->history.capacity()),
                          entry->history.capacity());
    if (read.status == HistoryFile::Status::Ok && read.identity == identity) {
        entry->history = std::move(read.history);
        return entry;
    }
    if (read.status == HistoryFile::Status::Missing)
        return entry;
    const QString why = read.status == HistoryFile::Status::Ok
                            ? QStringLiteral("it belongs to another host")
                            : read.error;
    const QString kept = HistoryFile::setAside(path, clock_.now());
    if (kept.isEmpty()) {
        // Left where it is and never written over, so nothing is lost.
        entry->readOnly = true;
        say(QStringLiteral("the history of \"%1\" in %2 cannot be read (%3) nor moved aside; "
                           "it is left as it is and this run's history is not saved")
                .arg(printable(identity.name), printable(path), why));
    } else {
        say(QStringLiteral("the history of \"%1\" in %2 cannot be read (%3); it was kept as %4 "
                           "and the history starts afresh")
                .arg(printable(identity.name), printable(path), why, printable(kept)));
    }
    return entry;
}

void HistoryStore::takeList() {
    if (!engine_)
        return;
    // What was held, by file name: a new object with the same address and name takes it.
    std::map<QString, std::unique_ptr<Entry>> previous;
    for (auto &[host, entry] : entries_)
        previous[entry->key] = std::move(entry);
    entries_.clear();
    std::map<QString, int> occurrences;
    for (const std::shared_ptr<Host> &host : engine_->hosts()) {
        HistoryFile::Identity identity{host->address(), host->string(), 0};
        identity.occurrence = occurrences[identity.address + QChar(0) + identity.name]++;
        const auto it = previous.find(keyOf(identity));
        std::unique_ptr<Entry> entry;
        if (it != previous.end()) {
            entry = std::move(it->second);
            previous.erase(it);
        } else {
            entry = load(identity);
        }
        entry->host = host;
        entries_[host.get()] = std::move(entry);
    }
    // What is left belonged to hosts that are gone.
    for (const auto &[key, entry] : previous)
        if (!entry->readOnly)
            QFile::remove(pathOf(key));
}

void HistoryStore::added(const std::shared_ptr<Host> &host) {
    std::vector<Entry *> moved;
    renumber(host->address(), host->string(), moved);
    writeMoved(moved);
}

void HistoryStore::removed(const Host &host) {
    const auto it = entries_.find(&host);
    if (it == entries_.end())
        return;
    const std::unique_ptr<Entry> entry = std::move(it->second);
    entries_.erase(it);
    if (!entry->readOnly && !keyInUse(entry->key))
        QFile::remove(pathOf(entry->key));
    removeLeftBehind(*entry);
    std::vector<Entry *> moved;
    renumber(entry->identity.address, entry->identity.name, moved);
    writeMoved(moved);
}

void HistoryStore::changed(const Host &host) {
    const Entry *entry = entryOf(host);
    if (!entry ||
        (entry->identity.address == host.address() && entry->identity.name == host.string()))
        return;
    const HistoryFile::Identity was = entry->identity;
    std::vector<Entry *> moved;
    renumber(was.address, was.name, moved);
    renumber(host.address(), host.string(), moved);
    writeMoved(moved);
}

void HistoryStore::renumber(const QString &address, const QString &name,
                            std::vector<Entry *> &moved) {
    if (!engine_)
        return;
    int occurrence = 0;
    for (const std::shared_ptr<Host> &host : engine_->hosts()) {
        if (host->address() != address || host->string() != name)
            continue;
        const HistoryFile::Identity identity{address, name, occurrence++};
        std::unique_ptr<Entry> &entry = entries_[host.get()];
        if (!entry || entry->host.lock() != host) {
            entry = load(identity);
            entry->host = host;
            continue;
        }
        if (entry->identity == identity)
            continue;
        if (!entry->readOnly)
            entry->leftBehind.push_back(entry->key);
        entry->identity = identity;
        entry->key = keyOf(identity);
        entry->changed = true;
        moved.push_back(entry.get());
    }
}

void HistoryStore::writeMoved(const std::vector<Entry *> &moved) {
    // Written under the new name at once, and only then is the old file removed: until the
    // next flush the old name would be all a crash left behind, and it no longer matches.
    for (Entry *entry : moved)
        if (!entry->readOnly)
            writeEntry(*entry);
    if (!moved.empty())
        scheduleFlush();
}

bool HistoryStore::keyInUse(const QString &key) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto &held) { return held.second->key == key; });
}

bool HistoryStore::writeEntry(Entry &entry) {
    const QString &key = entry.key;
    // Private: the history says which sites this user watches and when.
    QDir().mkpath(folder_);
    QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString error;
    if (!HistoryFile::write(pathOf(key), entry.identity, entry.history, &error)) {
        say(QStringLiteral("could not write the history of \"%1\" to %2: %3")
                .arg(printable(entry.identity.name), printable(pathOf(key)), error));
        return false;
    }
    entry.changed = false;
    removeLeftBehind(entry);
    return true;
}

void HistoryStore::removeLeftBehind(Entry &entry) {
    // A name another history has taken since (two hosts that swapped names) is theirs now.
    for (const QString &key : entry.leftBehind)
        if (!keyInUse(key))
            QFile::remove(pathOf(key));
    entry.leftBehind.clear();
}

HistoryStore::Entry *HistoryStore::entryOf(const Host &host) const {
    const auto it = entries_.find(&host);
    // The address of a host gone is no proof: another host may have been made there since.
    if (it == entries_.end() || it->second->host.lock().get() != &host)
        return nullptr;
    return it->second.get();
}

const HostHistory *HistoryStore::history(const Host &host) {
    Entry *entry = entryOf(host);
    return entry ? &entry->history : nullptr;
}

QString HistoryStore::fileName(const Host &host) {
    const Entry *entry = entryOf(host);
    return entry ? pathOf(entry->key) : QString();
}

void HistoryStore::record(const Host &host, const HttpResult &result) {
    Entry *entry = entryOf(host);
    if (!entry)
        return;
    entry->history.append(clock_.now(), result);
    entry->changed = true;
    scheduleFlush();
    Q_EMIT recorded(&host);
}

void HistoryStore::scheduleFlush() {
    if (!flushTimer_.isActive() && !draining_)
        flushTimer_.start(flushDelay_);
}

void HistoryStore::drain() {
    bool more = false;
    failed_ = !writeChanged(filesPerTurn, &more) || failed_;
    draining_ = more;
    if (more) {
        QTimer::singleShot(0, this, [this] {
            if (draining_)
                drain();
        });
    } else if (failed_) {
        // Tried again after another delay, not in a loop.
        flushTimer_.start(flushDelay_);
    }
}

bool HistoryStore::flush() {
    flushTimer_.stop();
    draining_ = false;
    const bool allWritten = writeChanged(std::numeric_limits<int>::max(), nullptr);
    if (!allWritten)
        flushTimer_.start(flushDelay_);
    return allWritten;
}

bool HistoryStore::writeChanged(int limit, bool *more) {
    bool allWritten = true;
    int written = 0;
    if (more)
        *more = false;
    for (const auto &[host, entry] : entries_) {
        if (!entry->changed || entry->readOnly || entry->failed)
            continue;
        if (written == limit) {
            if (more)
                *more = true;
            break;
        }
        ++written;
        if (!writeEntry(*entry)) {
            allWritten = false;
            // Skipped for the rest of this flush; the next one tries it again.
            entry->failed = true;
        }
    }
    if (!(more && *more))
        for (const auto &[host, entry] : entries_)
            entry->failed = false;
    return allWritten;
}

std::size_t HistoryStore::memoryBytes() const {
    std::size_t bytes = 0;
    for (const auto &[host, entry] : entries_)
        bytes += sizeof(Entry) + entry->history.memoryBytes();
    return bytes;
}
