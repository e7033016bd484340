// One Tarvik per user: the lock and socket, later starts handing over to the running instance,
// --import handing it the new list, and recovery from a crashed instance.
#include "commandline/AppInstance.h"
#include "instance/InstanceClient.h"
#include "instance/InstanceProtocol.h"
#include "instance/SingleInstance.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "settings/Settings.h"
#include "support/ProcessLimits.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>
#include <future>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString tarvik = QString::fromLatin1(AppInstance::identifier);

// Asks an instance from another thread, as another process would: the instance answers on this
// thread's event loop, which keeps running meanwhile.
InstanceClient::Answer ask(const QByteArray &command, const QByteArray &payload = {}) {
    const QString socket = InstanceProtocol::socketPath(tarvik);
    auto answer = std::async(std::launch::async, [=] {
        return InstanceClient::request(socket, command, payload, 5000);
    });
    waitUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              20000);
    return answer.get();
}

qint64 answeringPid() {
    const InstanceClient::Answer answer = ask(InstanceProtocol::query);
    return answer.outcome != InstanceClient::Outcome::Answered
               ? -1
               : QJsonDocument::fromJson(answer.payload)[QStringLiteral("pid")].toInteger();
}

struct Finished {
    int code = -1;
    QString out;
    QString err;
};

Finished runTarvik(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(TARVIK_BINARY), arguments);
    EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(SingleInstanceTest, ASecondClaimFindsTheFirstWhichAnswersDespiteBadRequestsUntilItLetsGo) {
    auto first = std::make_unique<SingleInstance>(tarvik);
    SingleInstance second(tarvik);
    QSignalSpy activations(first.get(), &SingleInstance::activationRequested);
    ASSERT_EQ(first->acquire(), SingleInstance::Claim::Acquired);
    EXPECT_TRUE(first->isListening());
    // A live holder keeps its lock however old the lock file looks.
    QFile lock(InstanceProtocol::lockPath(tarvik));
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addDays(-2),
                                 QFileDevice::FileModificationTime));
    lock.close();
    EXPECT_EQ(second.acquire(), SingleInstance::Claim::HeldElsewhere);
    EXPECT_FALSE(second.isListening());

    EXPECT_EQ(ask(InstanceProtocol::activate).outcome, InstanceClient::Outcome::Answered);
    EXPECT_EQ(activations.count(), 1);
    // Bad requests are refused or dropped, and it answers on.
    const InstanceClient::Answer unknown = ask("shutdown");
    EXPECT_EQ(unknown.outcome, InstanceClient::Outcome::Refused);
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("unknown request")));
    EXPECT_EQ(ask(InstanceProtocol::importHosts, "[]").outcome, InstanceClient::Outcome::Refused)
        << "an instance without an import handler takes no lists";

    // A length beyond the limit is not waited for: the connection is dropped at once.
    QLocalSocket raw;
    raw.connectToServer(InstanceProtocol::socketPath(tarvik));
    ASSERT_TRUE(raw.waitForConnected(2000));
    QByteArray oversized(4, '\0');
    qToBigEndian(quint32(InstanceProtocol::maxMessageSize + 1), oversized.data());
    raw.write(oversized);
    EXPECT_TRUE(waitUntil([&] { return raw.state() == QLocalSocket::UnconnectedState; }));

    const QJsonDocument about = QJsonDocument::fromJson(ask(InstanceProtocol::query).payload);
    EXPECT_EQ(about[QStringLiteral("identifier")].toString(), tarvik);
    EXPECT_EQ(about[QStringLiteral("pid")].toInteger(), QCoreApplication::applicationPid());

    first.reset();
    EXPECT_FALSE(QFileInfo::exists(InstanceProtocol::socketPath(tarvik)));
    EXPECT_EQ(ask(InstanceProtocol::query).outcome, InstanceClient::Outcome::NoInstance);
    EXPECT_EQ(second.acquire(), SingleInstance::Claim::Acquired);
}

// A tray ended by SIGHUP lets go of its lock and socket as on SIGTERM; one killed leaves both
// behind, and the next instance takes them over.
TEST(SingleInstanceTest, SighupReleasesTheLockAndSocketAndWhatACrashLeftIsTakenOver) {
    for (const int signal : {SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signal);
        QProcess tray;
        tray.start(QStringLiteral(TARVIK_BINARY), QStringList());
        ASSERT_TRUE(waitUntil([&] { return answeringPid() == tray.processId(); }, 20000))
            << tray.readAllStandardError().toStdString();
        ::kill(pid_t(tray.processId()), signal);
        ASSERT_TRUE(waitUntil([&] { return tray.state() == QProcess::NotRunning; }, 10000));
        const bool crashed = signal == SIGKILL;
        EXPECT_EQ(tray.exitStatus() == QProcess::NormalExit && tray.exitCode() == 0, !crashed);
        EXPECT_EQ(QFileInfo::exists(InstanceProtocol::lockPath(tarvik)), crashed);
        EXPECT_EQ(QFileInfo::exists(InstanceProtocol::socketPath(tarvik)), crashed);
    }
    EXPECT_EQ(ask(InstanceProtocol::query).outcome, InstanceClient::Outcome::NoInstance)
        << "a socket nobody answers on is no running instance";

    SingleInstance next(tarvik);
    EXPECT_EQ(next.acquire(), SingleInstance::Claim::Acquired);
    EXPECT_EQ(answeringPid(), QCoreApplication::applicationPid());
}

void writeLock(const QByteArray &contents, const QDateTime &modified) {
    QFile lock(InstanceProtocol::lockPath(tarvik));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(contents);
    ASSERT_TRUE(lock.flush());
    ASSERT_TRUE(lock.setFileTime(modified, QFileDevice::FileModificationTime));
}

// An empty or garbled lock is taken over once nobody can still be holding it.
TEST(SingleInstanceTest, AnUnconfirmedLockIsKeptOnlyWhileItsHolderMayStillBeAlive) {
    for (const QByteArray &contents : {QByteArray(), QByteArray("\x01garbage\nno pid here")}) {
        writeLock(contents, QDateTime::currentDateTime().addDays(-2));
        {
            SingleInstance next(tarvik);
            EXPECT_EQ(next.acquire(), SingleInstance::Claim::Acquired) << contents.constData();
            EXPECT_EQ(answeringPid(), QCoreApplication::applicationPid());
        }
        EXPECT_FALSE(QFileInfo::exists(InstanceProtocol::lockPath(tarvik)));
    }

    // Just created: its holder may be about to write who it is.
    writeLock({}, QDateTime::currentDateTime());
    SingleInstance fresh(tarvik);
    EXPECT_EQ(fresh.acquire(), SingleInstance::Claim::HeldElsewhere);

    // Old, but held: a holder keeps its lock file flock'ed while it lives.
    writeLock({}, QDateTime::currentDateTime().addDays(-2));
    const int fd = ::open(QFile::encodeName(InstanceProtocol::lockPath(tarvik)).constData(),
                          O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    SingleInstance held(tarvik);
    EXPECT_EQ(held.acquire(), SingleInstance::Claim::HeldElsewhere);
    ::close(fd);

    // Old and unheld, but someone answers on the socket.
    SingleInstance answering(QStringLiteral("com.morvane.Other"));
    ASSERT_EQ(answering.acquire(), SingleInstance::Claim::Acquired);
    ASSERT_TRUE(QFile::rename(InstanceProtocol::socketPath(QStringLiteral("com.morvane.Other")),
                              InstanceProtocol::socketPath(tarvik)));
    SingleInstance answered(tarvik);
    auto claim = std::async(std::launch::async, [&] { return answered.acquire(); });
    waitUntil([&] { return claim.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    EXPECT_EQ(claim.get(), SingleInstance::Claim::HeldElsewhere);
    EXPECT_TRUE(QFileInfo::exists(InstanceProtocol::lockPath(tarvik)));
}

TEST(SingleInstanceTest, ManyConnectionsTogetherBufferNoMoreThanTheirShare) {
    SingleInstance first(tarvik);
    ASSERT_EQ(first.acquire(), SingleInstance::Claim::Acquired);
    const QString path = InstanceProtocol::socketPath(tarvik);
    // Each announces a whole message and sends most of it, then waits to be answered or dropped.
    auto flood = [path]() {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (!socket.waitForConnected(5000))
            return false;
        QByteArray header(4, '\0');
        qToBigEndian(quint32(InstanceProtocol::maxMessageSize), header.data());
        socket.write(header + "import\n");
        const QByteArray chunk(1024 * 1024, '[');
        for (int i = 0; i < 12 && socket.state() == QLocalSocket::ConnectedState; ++i) {
            socket.write(chunk);
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
            }
        }
        return socket.state() != QLocalSocket::ConnectedState || socket.waitForDisconnected(3000);
    };
    std::vector<std::future<bool>> clients;
    for (int i = 0; i < 3; ++i)
        clients.push_back(std::async(std::launch::async, flood));
    qsizetype most = 0;
    waitUntil(
        [&] {
            most = std::max(most, first.bufferedBytes());
            return std::all_of(clients.begin(), clients.end(), [](const auto &c) {
                return c.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            });
        },
        30000);
    int dropped = 0;
    for (auto &client : clients)
        dropped += client.get() ? 1 : 0;
    EXPECT_LE(most, InstanceProtocol::maxBufferedBytes);
    EXPECT_GT(most, InstanceProtocol::maxMessageSize) << "one connection's whole share is taken";
    EXPECT_GE(dropped, 1);
    EXPECT_EQ(answeringPid(), QCoreApplication::applicationPid());
    EXPECT_TRUE(waitUntil([&] { return first.bufferedBytes() == 0; }, 15000));
}

// Without a runtime folder, or with one open to others, every Tarvik of the user (the tray and
// --import alike) meets in a private folder in the user's cache.
TEST(InstanceProtocolTest, WithoutAPrivateRuntimeFolderAPrivateOneInTheCacheIsUsed) {
    QTemporaryDir dir;
    const QString open = dir.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkpath(open));
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    qunsetenv("XDG_RUNTIME_DIR");
    const QString folder = InstanceProtocol::runtimeFolder();
    EXPECT_EQ(folder, dir.filePath(QStringLiteral("cache/com.morvane.runtime")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(open));
    EXPECT_EQ(InstanceProtocol::runtimeFolder(), folder);
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_TRUE(InstanceProtocol::lockPath(tarvik).startsWith(folder + u'/'));

    // A fallback folder someone else made open is no more usable than the runtime folder.
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    EXPECT_EQ(InstanceProtocol::runtimeFolder(), QString());
    EXPECT_EQ(InstanceProtocol::socketPath(tarvik), QString());
}

// A second start beside an instance that answers hands over and exits 0, as a real login shows
// (scripts/e2e-login.sh); one that gets no answer must not pass for that.
TEST(AppInstanceTest, AHolderThatNeverAnswersIsAnErrorNotAHandOver) {
    // The lock is held by this live process, but nothing listens.
    QLockFile lock(InstanceProtocol::lockPath(tarvik));
    ASSERT_TRUE(lock.tryLock(0));
    const Finished second = runTarvik({});
    EXPECT_EQ(second.code, 2);
    EXPECT_TRUE(second.err.contains(QStringLiteral("does not answer"))) << second.err.toStdString();
}

class ImportHandOverTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        engine.setMenuBarController(&menu);
        ASSERT_EQ(running.acquire(), SingleInstance::Claim::Acquired);
        AppInstance::serve(
            running, [this] { return &engine; }, nullptr);
    }
    void TearDown() override { resetSettings(); }

    QByteArray hostList(const QStringList &paths) const {
        HostList hosts;
        for (const QString &path : paths)
            hosts.push_back(std::make_shared<Host>(server.url(path)));
        return HostStore::encode(hosts).value();
    }
    QString file(const QByteArray &bytes) {
        QFile out(dir.filePath(QStringLiteral("import.json")));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return out.fileName();
    }

    TestHttpServer server;
    QTemporaryDir dir;
    RecordingMenuBar menu;
    TRHostController engine;
    SingleInstance running{tarvik};
};

TEST_F(ImportHandOverTest, TheRunningInstanceTakesSavesAndChecksTheList) {
    engine.setHosts(*HostStore::decode(hostList({QStringLiteral("/status/500")})));
    ASSERT_TRUE(engine.save());
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    int replaced = 0;
    QObject::connect(&engine, &TRHostController::hostsReplaced, [&] { ++replaced; });

    // Hosts that never answer: a result would be stored with the list and change its bytes.
    const QByteArray imported = hostList({QStringLiteral("/hang"), QStringLiteral("/hang/2")});
    const Finished import = runTarvik({QStringLiteral("--import"), file(imported)});
    EXPECT_EQ(import.code, 0) << import.err.toStdString();
    EXPECT_TRUE(import.out.contains(QStringLiteral("handed them to the running Tarvik")))
        << import.out.toStdString();

    EXPECT_EQ(HostStore::encode(engine.hosts()), imported);
    EXPECT_EQ(Settings::hostsData(), imported);
    EXPECT_EQ(replaced, 1);
    ASSERT_EQ(rounds.count(), 1);
    EXPECT_EQ(rounds.at(0).at(1).toInt(), 2);
    EXPECT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/hang")) == 1; }));

    // The engine's next save writes what it took, not the list from before.
    ASSERT_TRUE(engine.save());
    EXPECT_EQ(Settings::hostsData(), imported);
}

TEST_F(ImportHandOverTest, AListTheInstanceCannotTakeOrSaveIsAnErrorAndChangesNothing) {
    engine.setHosts(*HostStore::decode(hostList({QStringLiteral("/status/500")})));
    ASSERT_TRUE(engine.save());
    const HostList before = engine.hosts();
    const InstanceClient::Answer garbage =
        ask(InstanceProtocol::importHosts, "{\"not\": \"a list\"}");
    EXPECT_EQ(garbage.outcome, InstanceClient::Outcome::Refused);
    EXPECT_TRUE(garbage.error.contains(QStringLiteral("not a host list")));

    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("/ok/%1").arg(i);
    InstanceClient::Answer unsaved;
    {
        FileSizeLimit full(4096);
        unsaved = ask(InstanceProtocol::importHosts, hostList(many));
    }
    EXPECT_EQ(unsaved.outcome, InstanceClient::Outcome::Refused);
    EXPECT_TRUE(unsaved.error.contains(QStringLiteral("could not save")))
        << unsaved.error.toStdString();
    EXPECT_TRUE(engine.hosts() == before) << "the tray stays on the list it stored";
    EXPECT_EQ(HostStore::readStoredHosts()->size(), 1u);

    running.setImportHandler([](const QByteArray &) { return QStringLiteral("disk full"); });
    const Finished import = runTarvik({QStringLiteral("--import"), file(hostList({}))});
    EXPECT_EQ(import.code, 2);
    EXPECT_TRUE(import.err.contains(QStringLiteral("disk full"))) << import.err.toStdString();
    EXPECT_FALSE(import.out.contains(QStringLiteral("imported")));
}
} // namespace
