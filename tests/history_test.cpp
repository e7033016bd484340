// A host's history: the ring and its bounds, the file format and its refusals, the store across
// restarts, edits, removals and damaged files, and the figures the windows show.
#include "history/HistoryFigures.h"
#include "history/HistoryFile.h"
#include "history/HostHistory.h"
#include "http/HttpFailure.h"
#include "monitoring/HostStore.h"
#include "settings/Settings.h"
#include "support/HistoryTest.h"
#include "support/ProcessLimits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray contentsOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A file as the store would read it, for looking at what was written.
HistoryFile::ReadResult readBack(const QString &path) {
    return HistoryFile::read(path, 16 << 20);
}

// ---- the ring ----

// The ring keeps the newest checks in order, and the reason texts stay right and bounded while
// it turns.
TEST(HostHistoryTest, KeepsTheNewestChecksInOrderUpToItsCapacity) {
    const auto reasonOf = [](int i) {
        return i % 3 ? QStringLiteral("reason %1").arg(i) : QString();
    };
    HostHistory history(4);
    for (int i = 0; i < 500; ++i)
        history.append(dayStart.addSecs(60 * i), result(i % 3 == 0, 0.001 * i, reasonOf(i)));
    ASSERT_EQ(history.size(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(history.time(i), dayStart.addSecs(60 * (496 + i)));
        EXPECT_EQ(history.at(i).up(), (496 + i) % 3 == 0);
        EXPECT_FLOAT_EQ(history.at(i).total, float(0.001 * (496 + i)));
        EXPECT_EQ(history.reason(i), reasonOf(496 + i));
    }
    // Four records and at most five short texts; three hundred texts would be far above this.
    EXPECT_LT(history.memoryBytes(), 4 * sizeof(HistoryRecord) + 8 * 64);
    // The short reason is kept, not the transfer library's words.
    HttpResult slow = result(false, 30.2, QStringLiteral("Operation timed out after 30001 ms"));
    slow.failure = HttpFailure::TimedOut;
    history.append(dayStart.addSecs(60 * 500), result(true, 0.2));
    history.append(dayStart.addSecs(60 * 501), slow);
    history.append(dayStart.addSecs(60 * 502), result(false, 0.3));
    EXPECT_EQ(history.reason(0), reasonOf(499));
    EXPECT_TRUE(history.reason(1).isEmpty());
    EXPECT_EQ(history.reason(2), QStringLiteral("timed out after 30 s"));
    EXPECT_EQ(history.reason(3), QStringLiteral("failed")) << "a failure never reads as none";
    EXPECT_GE(HostHistory().capacity(), 24 * 60) << "a default history holds a day of checks";
}

// ---- the file ----

TEST(HistoryFileTest, RoundTripsEveryField) {
    HostHistory history;
    history.append(dayStart, withPhases(0.001, 0.002, 0.003, 0.050, 0.004));
    HttpResult down = result(false, 30, QStringLiteral("timed out"));
    down.certificateExpiry = dayStart.addDays(40);
    history.append(dayStart.addSecs(60), down);
    history.append(dayStart.addSecs(120), result(false, 0.5, QStringLiteral("timed out")));
    // A longer reason than a history keeps is cut, so a file never holds one it would refuse.
    history.append(dayStart.addSecs(180), result(false, 0.5, QString(300, u'x')));
    const HistoryFile::Identity who{QStringLiteral("https://é.example/"), QStringLiteral("R&D"), 2};

    const HistoryFile::ReadResult read = HistoryFile::decode(HistoryFile::encode(who, history));
    ASSERT_EQ(read.status, HistoryFile::Status::Ok) << read.error.toStdString();
    EXPECT_EQ(read.identity, who);
    ASSERT_EQ(read.history.size(), 4);
    EXPECT_EQ(read.history.reason(3), QString(HostHistory::maxReasonLength, u'x'));
    EXPECT_TRUE(read.history.at(0).hasPhases());
    EXPECT_FLOAT_EQ(read.history.at(0).phases[HistoryRecord::Processing], 0.050f);
    EXPECT_FLOAT_EQ(read.history.at(0).phases[HistoryRecord::Dns], 0.001f);
    EXPECT_FALSE(read.history.at(1).up());
    EXPECT_FALSE(read.history.at(1).hasPhases());
    EXPECT_EQ(read.history.reason(1), QStringLiteral("timed out"));
    EXPECT_EQ(read.history.reason(2), QStringLiteral("timed out"));
    EXPECT_EQ(read.history.time(2), dayStart.addSecs(120));
    EXPECT_EQ(read.history.certificateExpiry(), dayStart.addDays(40));
}

// ---- the store ----

class HistoryStoreTest : public HistoryTest {
protected:
    QStringList files() const {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

// Checks are written together, later or on the way out, and a restart finds them.
TEST_F(HistoryStoreTest, ChecksAreGatheredIntoOneLaterWriteThatARestartReads) {
    addHost(QStringLiteral("up"), QStringLiteral("/ok"));
    addHost(QStringLiteral("down"), QStringLiteral("/status/503"));
    {
        auto store = openStore();
        checkAll();
        checkAll();
        EXPECT_TRUE(files().isEmpty()) << "written at every check";
        EXPECT_TRUE(store->flushPending());
        store->setFlushDelay(std::chrono::milliseconds(50));
        checkAll(); // the pending write keeps its hour
        EXPECT_TRUE(files().isEmpty());
    }

    TRHostController restarted(clock);
    restarted.setHosts(*HostStore::decode(*HostStore::encode(engine.hosts()))); // as read back
    HistoryStore store(&restarted, folder.path(), clock);
    const HostHistory *upHistory = store.history(*restarted.hosts()[0]);
    const HostHistory *downHistory = store.history(*restarted.hosts()[1]);
    ASSERT_TRUE(upHistory && downHistory);
    ASSERT_EQ(upHistory->size(), 3);
    ASSERT_EQ(downHistory->size(), 3);
    EXPECT_TRUE(upHistory->at(2).up());
    EXPECT_FALSE(downHistory->at(2).up());
    EXPECT_EQ(downHistory->reason(2), QStringLiteral("HTTP 503"));
    EXPECT_GT(upHistory->at(0).total, 0.0f);
}

TEST_F(HistoryStoreTest, ATimedWriteOfManyHostsIsSpreadOverLoopTurns) {
    const int hosts = 3 * HistoryStore::filesPerTurn + 1;
    for (int i = 0; i < hosts; ++i)
        addHost(QStringLiteral("host %1").arg(i), QStringLiteral("/ok"));
    auto store = openStore();
    store->setFlushDelay(std::chrono::milliseconds(1));
    for (const auto &host : engine.hosts())
        store->record(*host, result(true, 0.1));
    // One pass of the loop at a time, looking at the folder after each.
    QList<int> seen;
    for (int pass = 0; pass < 5000 && !(seen.size() && seen.back() == hosts); ++pass) {
        QCoreApplication::processEvents();
        const int count = int(files().size());
        if (seen.isEmpty() || seen.back() != count)
            seen.append(count);
        QThread::msleep(1);
    }
    ASSERT_EQ(seen.back(), hosts);
    EXPECT_FALSE(store->flushPending());
    for (int i = 1; i < seen.size(); ++i)
        EXPECT_LE(seen[i] - seen[i - 1], HistoryStore::filesPerTurn) << "too many in one turn";
    EXPECT_GE(seen.size(), 4);
}

// A history follows its host object through each change of the list, and its file follows the
// host's name and place among identical twins at once: a crash right after loses no check.
TEST_F(HistoryStoreTest, HistoriesFollowTheirHostsThroughEachChangeOfTheList) {
    auto host = addHost(QStringLiteral("a"), QStringLiteral("/ok"));
    auto first = addHost(QStringLiteral("twin"), QStringLiteral("/ok"));
    auto second = addHost(QStringLiteral("twin"), QStringLiteral("/ok"));
    auto store = openStore();
    checkAll();
    second->restoreIsActive(false);
    checkAll();
    ASSERT_TRUE(store->flush());
    EXPECT_NE(store->fileName(*first), store->fileName(*second));
    const QString before = store->fileName(*host);
    const auto onDisk = [&](const Host &of) {
        return readBack(store->fileName(of)).history.size();
    };

    HostEdit renamed = editOf(*host);
    renamed.name = QStringLiteral("renamed");
    ASSERT_TRUE(engine.updateHost(host, renamed));
    EXPECT_FALSE(QFile::exists(before));
    EXPECT_EQ(onDisk(*host), 2);
    EXPECT_EQ(readBack(store->fileName(*host)).identity.name, QStringLiteral("renamed"));

    // The twins swap their places, so their file names: each keeps its own checks.
    ASSERT_TRUE(engine.moveHost(second, 0));
    EXPECT_EQ(onDisk(*second), 1);
    EXPECT_EQ(onDisk(*first), 2);
    engine.removeHost(second);
    EXPECT_EQ(store->history(*first)->size(), 2);
    EXPECT_EQ(onDisk(*first), 2);

    const QString removed = store->fileName(*host);
    engine.removeHost(host);
    EXPECT_FALSE(QFile::exists(removed));
    EXPECT_EQ(store->history(*host), nullptr);
    // Added again, it starts with nothing.
    auto again = makeHost(QStringLiteral("renamed"), server.url(QStringLiteral("/ok")));
    ASSERT_TRUE(engine.addHost(again));
    EXPECT_EQ(store->history(*again)->size(), 0);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 1) << "no file left behind";

    // An imported copy of the list finds its histories by address and name.
    const std::optional<HostList> copy = HostStore::decode(*HostStore::encode(engine.hosts()));
    ASSERT_TRUE(copy);
    engine.replaceHosts(*copy);
    ASSERT_NE(engine.hosts()[0], first);
    EXPECT_EQ(store->history(*engine.hosts()[0])->size(), 2);
}

TEST_F(HistoryStoreTest, ACheckOfAHostRemovedInFlightIsNotRecorded) {
    auto host = addHost(QStringLiteral("slow"), QStringLiteral("/delay/200"));
    auto store = openStore();
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    QSignalSpy recorded(store.get(), &HistoryStore::recorded);
    engine.ping();
    const QString path = store->fileName(*host);
    engine.removeHost(host);
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
    EXPECT_EQ(recorded.count(), 0);
    store->flush();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(HistoryStoreTest, AWriteThatDoesNotFitKeepsTheOldFileAndSaysWhy) {
    auto host = addHost(QStringLiteral("a"), QStringLiteral("/ok"));
    auto store = openStore();
    checkAll();
    ASSERT_TRUE(store->flush());
    const QString path = store->fileName(*host);
    const QByteArray before = contentsOf(path);
    for (int i = 0; i < 30; ++i)
        store->record(*host, result(false, 0.1, QStringLiteral("refused")));

    testing::internal::CaptureStderr();
    {
        // As on a full disk: the new file cannot grow past the old one's size.
        FileSizeLimit full(rlim_t(before.size() + 64));
        EXPECT_FALSE(store->flush());
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(contentsOf(path), before) << "the old file was replaced by a partial one";
    EXPECT_NE(said.find("could not write the history of \"a\""), std::string::npos) << said;
    EXPECT_EQ(files(), QStringList{QFileInfo(path).fileName()}) << "a partial file was left";

    ASSERT_TRUE(store->flush()) << "with room again, the next flush writes it all";
    EXPECT_EQ(readBack(path).history.size(), 31);
}

// What cannot be read is set aside as it was, said once on one line, and the history starts
// afresh: a damaged file, and anything but a regular file no larger than a full ring.
TEST_F(HistoryStoreTest, WhatCannotBeReadIsSetAsideAndHistoryStartsAfresh) {
    // Printed with its escapes visible: one line, and nothing to steer the terminal.
    const QString name = QStringLiteral("a\x1b[2J\nb");
    auto host = addHost(name, QStringLiteral("/ok"));
    QString path;
    QByteArray good;
    {
        auto store = openStore();
        checkAll();
        ASSERT_TRUE(store->flush());
        path = store->fileName(*host);
        good = contentsOf(path);
    }
    const QByteArray encodedPath = QFile::encodeName(path);
    const QString elsewhere = folder.filePath(QStringLiteral("elsewhere"));
    const qint64 largest = HistoryFile::largestFile({host->address(), name, 0});
    struct Case {
        const char *what;
        std::function<bool()> make;
        const char *why;
        QByteArray kept = {}; // what the set-aside entry reads, where it is a file to read
    };
    const std::vector<Case> cases = {
        {"a truncated file", [&] { return write(path, good.chopped(5)); },
         "its length does not match", good.chopped(5)},
        {"a link, even to a good history",
         [&] { return write(elsewhere, good) && QFile::link(elsewhere, path); }, "symbolic link",
         good},
        {"a pipe", [&] { return ::mkfifo(encodedPath.constData(), 0600) == 0; },
         "not a regular file"},
        {"a folder", [&] { return QDir().mkdir(path); }, "not a regular file"},
        {"a file larger than a full ring",
         [&] { return write(path, QByteArray(largest + 1, 'x')); }, "more than a history can take"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        ASSERT_TRUE(c.make());
        // A reader that waited for a pipe's writer would hang the test; this writer lets it go.
        std::atomic<bool> loaded{false};
        std::thread writer([&] {
            while (!loaded) {
                const int fd = ::open(encodedPath.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
                ::usleep(20000);
            }
        });
        testing::internal::CaptureStderr();
        auto store = openStore();
        loaded = true;
        writer.join();
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_NE(store->history(*host), nullptr);
        EXPECT_EQ(store->history(*host)->size(), 0);
        EXPECT_NE(said.find(c.why), std::string::npos) << said;
        EXPECT_NE(said.find("\"a\\x1b[2J\\nb\""), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        checkAll();
        ASSERT_TRUE(store->flush());
        EXPECT_EQ(readBack(path).status, HistoryFile::Status::Ok);
        const QStringList aside = QDir(folder.path())
                                      .entryList({QStringLiteral("*.damaged-*")},
                                                 QDir::AllEntries | QDir::System | QDir::Hidden);
        ASSERT_EQ(aside.size(), 1) << "set aside, not lost, and only once";
        if (!c.kept.isNull()) {
            EXPECT_EQ(contentsOf(folder.filePath(aside[0])), c.kept);
        }
        store.reset();
        for (const QString &entry : aside)
            if (!QFile::remove(folder.filePath(entry)))
                QDir(folder.filePath(entry)).removeRecursively();
    }
}

// A file that can neither be read nor moved aside is never written over; nor is it removed when
// its host is renamed, since then the only copy of those bytes would be gone.
TEST_F(HistoryStoreTest, AFileThatCannotBeMovedAsideOutlivesARenameOfItsHost) {
    // A folder so deep that the set-aside name is longer than a path may be.
    QString deep = folder.path();
    while (deep.size() < 4040)
        deep += u'/' + QString(std::min<qsizetype>(200, 4040 - deep.size() - 1), u'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    auto host = addHost(QStringLiteral("a"), QStringLiteral("/ok"));
    QString path;
    {
        HistoryStore store(&engine, deep, clock);
        checkAll();
        ASSERT_TRUE(store.flush());
        path = store.fileName(*host);
    }
    ASSERT_LE(path.size(), 4095);
    const QByteArray unreadable = contentsOf(path).chopped(5);
    ASSERT_TRUE(write(path, unreadable));

    testing::internal::CaptureStderr();
    HistoryStore store(&engine, deep, clock);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_NE(said.find("nor moved aside"), std::string::npos) << said;
    HostEdit renamed = editOf(*host);
    renamed.name = QStringLiteral("renamed");
    engine.updateHost(host, renamed);
    checkAll();
    ASSERT_TRUE(store.flush());
    EXPECT_EQ(contentsOf(path), unreadable) << "the only copy of those bytes was removed";
}

// The real tray, started under a file size limit that its last flush runs into: it says why
// and ends normally, and the history it could not replace is still there.
TEST_F(HistoryStoreTest, TheTraySurvivesAFileSizeLimitAtItsLastFlush) {
    auto host = addHost(QStringLiteral("a"), QStringLiteral("/ok"));
    ASSERT_TRUE(engine.save());
    QString path;
    {
        HistoryStore seeded(&engine, HistoryStore::defaultFolder(), clock);
        for (int i = 0; i < 60; ++i)
            seeded.record(*host, result(true, 0.1));
        ASSERT_TRUE(seeded.flush());
        path = seeded.fileName(*host);
    }
    const QByteArray before = contentsOf(path);
    ASSERT_GT(before.size(), 1800);

    QProcess tray;
    // Room for the settings, not for a history one check longer than before.
    tray.setChildProcessModifier([] {
        const rlimit limit{1500, 1500};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    tray.start(QStringLiteral(TARVIK_BINARY), QStringList());
    ASSERT_TRUE(tray.waitForStarted(5000));
    // The check's outcome is remembered half a second after it lands in the history.
    ASSERT_TRUE(waitUntil([] { return !Settings::lastOutcomesData().isEmpty(); }, 20000))
        << tray.readAllStandardError().constData();
    ::kill(pid_t(tray.processId()), SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return tray.state() == QProcess::NotRunning; }, 20000));
    const QByteArray said = tray.readAllStandardError();
    EXPECT_EQ(tray.exitStatus(), QProcess::NormalExit) << "ended by a signal: " << said.constData();
    EXPECT_TRUE(said.contains("could not write the history of \"a\"")) << said.constData();
    EXPECT_EQ(contentsOf(path), before);
}

// ---- the figures ----

// The texts the details window shows (before any check, at 100 %, with two decimals) are
// checked there.
TEST(HistoryFiguresTest, UptimeCountsTheChecksInsideTheWindow) {
    HostHistory history;
    // A check a minute for two hours; the three in minutes 100 to 102 failed.
    for (int minute = 1; minute <= 120; ++minute)
        history.append(dayStart.addSecs(60 * minute), result(minute < 100 || minute > 102, 0.1));
    const QDateTime now = dayStart.addSecs(120 * 60);
    const HistoryFigures::Uptime hour = HistoryFigures::uptime(history, now.addSecs(-3600), now);
    EXPECT_EQ(hour.checks, 60) << "the check exactly an hour ago belongs to the hour before";
    EXPECT_EQ(hour.up, 57);
    const HistoryFigures::Uptime day = HistoryFigures::uptime(history, now.addDays(-1), now);
    EXPECT_EQ(day.checks, 120);
    EXPECT_EQ(day.up, 117);
    // Cut, not rounded, so only a clean record reads 100 %.
    EXPECT_EQ(HistoryFigures::uptimeText({99999, 100000}),
              QStringLiteral("99.99 % (99999 of 100000 checks)"));
}

TEST(HistoryFiguresTest, DownPeriodsRunToTheNextCheckWithinTheLongestGap) {
    HostHistory history;
    const qint64 t0 = dayStart.toSecsSinceEpoch();
    history.append(dayStart, result(true, 0.1));
    history.append(dayStart.addSecs(60), result(false, 0));
    history.append(dayStart.addSecs(120), result(false, 0));
    history.append(dayStart.addSecs(180), result(true, 0.1));
    // Down, then paused for an hour: only the longest gap counts.
    history.append(dayStart.addSecs(240), result(false, 0));
    history.append(dayStart.addSecs(3840), result(true, 0.1));
    history.append(dayStart.addSecs(3900), result(false, 0));
    const auto periods = HistoryFigures::downPeriods(history, 120, dayStart.addSecs(3930));
    const std::vector<HistoryFigures::Period> expected = {
        {t0 + 60, t0 + 180}, {t0 + 240, t0 + 360}, {t0 + 3900, t0 + 3930}};
    EXPECT_EQ(periods, expected);
}

TEST(HistoryFiguresTest, LastResultCertificateAndDurationTexts) {
    HostHistory history;
    history.append(dayStart, result(true, 0.1234));
    EXPECT_EQ(HistoryFigures::lastResultText(history), QStringLiteral("Up, 123 ms"));

    EXPECT_EQ(HistoryFigures::durationText(0.00085), QStringLiteral("850 µs"));
    EXPECT_EQ(HistoryFigures::durationText(2.449), QStringLiteral("2.45 s"));

    EXPECT_EQ(HistoryFigures::certificateText(std::nullopt, dayStart), QStringLiteral("not known"));
    EXPECT_TRUE(HistoryFigures::certificateText(dayStart.addDays(31).addSecs(5), dayStart)
                    .endsWith(QStringLiteral(", in 31 days")));
    EXPECT_TRUE(HistoryFigures::certificateText(dayStart.addSecs(3600), dayStart)
                    .startsWith(QStringLiteral("expires today")));
    EXPECT_TRUE(HistoryFigures::certificateText(dayStart.addDays(-3), dayStart)
                    .startsWith(QStringLiteral("expired 3 days ago")));
    EXPECT_TRUE(HistoryFigures::certificateText(dayStart.addDays(-1), dayStart)
                    .startsWith(QStringLiteral("expired 1 day ago")));
}

} // namespace
