#include "history/HistoryStore.h"

#include "monitoring/Clock.h"
#include "monitoring/TRHostController.h"
#include "text/TerminalText.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <limits>
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
        connect(engine_, &TRHostController::hostsChanged, this, &HistoryStore::reconcile);
    }
    reconcile();
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
    const QString path = pathOf(keyOf(identity));
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

void HistoryStore::reconcile() {
    if (!engine_)
        return;
    std::map<QString, std::unique_ptr<Entry>> previous = std::move(entries_);
    entries_.clear();
    std::unordered_map<const Host *, Tracked> tracked;
    std::map<QString, int> occurrences;
    struct Newcomer {
        const Host *host;
        HistoryFile::Identity identity;
        QString key;
    };
    std::vector<Newcomer> newcomers;
    std::vector<std::pair<QString, QString>> moves; // new key, old key

    for (const std::shared_ptr<Host> &host : engine_->hosts()) {
        HistoryFile::Identity identity{host->address(), host->string(), 0};
        identity.occurrence = occurrences[identity.address + QChar(0) + identity.name]++;
        const QString key = keyOf(identity);
        tracked[host.get()] = Tracked{host, key};
        // The same object as before carries its history, whatever it is called now.
        const auto was = tracked_.find(host.get());
        if (was != tracked_.end() && was->second.host.lock().get() == host.get()) {
            const auto it = previous.find(was->second.key);
            if (it != previous.end() && !entries_.count(key)) {
                std::unique_ptr<Entry> entry = std::move(it->second);
                previous.erase(it);
                if (was->second.key != key) {
                    entry->identity = identity;
                    entry->changed = true;
                    moves.emplace_back(key, was->second.key);
                }
                entries_[key] = std::move(entry);
                continue;
            }
        }
        newcomers.push_back({host.get(), identity, key});
    }
    // New objects (an import, a host just added) take a history by address and name.
    for (const Newcomer &newcomer : newcomers) {
        if (entries_.count(newcomer.key))
            continue;
        const auto it = previous.find(newcomer.key);
        if (it != previous.end()) {
            entries_[newcomer.key] = std::move(it->second);
            previous.erase(it);
        } else {
            entries_[newcomer.key] = load(newcomer.identity);
        }
    }
    // What is left belonged to hosts that are gone; a file now owned by another entry stays.
    for (const auto &[key, entry] : previous)
        if (!entries_.count(key) && !entry->readOnly)
            QFile::remove(pathOf(key));
    // A history that moved is written under its new name at once, and only then is the old
    // file removed: until the next flush the old name would be all a crash left behind, and it
    // no longer matches the host.
    for (const auto &[key, oldKey] : moves) {
        Entry &entry = *entries_[key];
        if (!entry.readOnly)
            entry.leftBehind.push_back(oldKey);
        if (!entry.readOnly && writeEntry(key, entry))
            removeLeftBehind(entry);
    }
    tracked_ = std::move(tracked);
    if (!moves.empty())
        scheduleFlush();
}

bool HistoryStore::writeEntry(const QString &key, Entry &entry) {
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
        if (!entries_.count(key))
            QFile::remove(pathOf(key));
    entry.leftBehind.clear();
}

HistoryStore::Entry *HistoryStore::entryOf(const Host &host) {
    auto it = tracked_.find(&host);
    if (it == tracked_.end() || it->second.host.lock().get() != &host) {
        reconcile();
        it = tracked_.find(&host);
        if (it == tracked_.end())
            return nullptr;
    }
    const auto entry = entries_.find(it->second.key);
    return entry == entries_.end() ? nullptr : entry->second.get();
}

const HostHistory *HistoryStore::history(const Host &host) {
    Entry *entry = entryOf(host);
    return entry ? &entry->history : nullptr;
}

QString HistoryStore::fileName(const Host &host) {
    const auto it = entryOf(host) ? tracked_.find(&host) : tracked_.end();
    return it == tracked_.end() ? QString() : pathOf(it->second.key);
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
    for (const auto &[key, entry] : entries_) {
        if (!entry->changed || entry->readOnly || entry->failed)
            continue;
        if (written == limit) {
            if (more)
                *more = true;
            break;
        }
        ++written;
        if (!writeEntry(key, *entry)) {
            allWritten = false;
            // Skipped for the rest of this flush; the next one tries it again.
            entry->failed = true;
        }
    }
    if (!(more && *more))
        for (const auto &[key, entry] : entries_)
            entry->failed = false;
    return allWritten;
}

std::size_t HistoryStore::memoryBytes() const {
    std::size_t bytes = 0;
    for (const auto &[key, entry] : entries_)
        bytes += sizeof(Entry) + entry->history.memoryBytes();
    return bytes;
}
