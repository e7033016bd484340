// Monitoring: the stored host list (strict decoding, the exact written form, keeping unreadable
// bytes), and the engine against a real HTTP server (the timer rule, rounds and their results,
// activation, removal, outcomes, the network going away, and what the engine tells the tray).
#include "checks/CheckOptionsJson.h"
#include "http/HttpFailure.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "settings/Settings.h"
#include "support/ProcessLimits.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <tuple>

namespace {
QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString &path, const QByteArray &bytes) {
    ASSERT_TRUE(Settings::ensureFolder());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { clean(); }

    static void clean() {
        resetSettings();
        for (const QString &f : preservedCopies())
            QFile::remove(f);
    }

    static QByteArray hostJson(const QString &extra = QString()) {
        return QStringLiteral(R"({"address":"http://a","string":"A","isFavorite":false,)"
                              R"("hasMenuBarItem":false,"categories":[],"isActive":true%1})")
            .arg(extra)
            .toUtf8();
    }

    static QStringList preservedCopies() {
        QDir folder(Settings::folder());
        QStringList paths;
        for (const QString &name :
             folder.entryList({QStringLiteral("Tarvik-unreadable-hosts-*")}, QDir::Files))
            paths << folder.filePath(name);
        return paths;
    }
};

TEST_F(StoreTest, OneBadElementDiscardsTheWholeDocumentWhileOptionalsMayBeNullOrMissing) {
    EXPECT_EQ(HostStore::read().status, HostStore::Status::Missing);
    EXPECT_FALSE(HostStore::readStoredHosts());
    Settings::setHostsData("[]");
    EXPECT_EQ(HostStore::read().status, HostStore::Status::Ok);
    EXPECT_TRUE(HostStore::read().hosts.empty());

    const QList<QByteArray> bad = {
        "not json",
        "{}",
        "[1]",
        "[" + hostJson() + ",{\"string\":\"B\"}]",
        "[" + hostJson().replace("\"isActive\":true", "\"isActive\":null") + "]",
        "[" + hostJson().replace(",\"isActive\":true", "") + "]",
        "[" + hostJson().replace("\"isActive\":true", "\"isActive\":1") + "]",
        "[" + hostJson().replace("\"categories\":[]", "\"categories\":[3]") + "]",
        "[" + hostJson().replace("\"address\":\"http://a\"", "\"address\":7") + "]",
        "[" + hostJson(QStringLiteral(",\"isReachable\":\"yes\"")) + "]",
        "[" + hostJson(QStringLiteral(",\"lastRequestDuration\":\"1\"")) + "]",
        "[" + hostJson(QStringLiteral(",\"lastRequestDuration\":1e400")) + "]",
    };
    for (const QByteArray &document : bad) {
        QString why;
        EXPECT_FALSE(HostStore::decode(document, &why)) << document.constData();
        EXPECT_FALSE(why.isEmpty()) << document.constData();
    }

    // Unknown keys are read past, and dropped by the next write.
    const auto hosts = HostStore::decode(
        "[" +
        hostJson(QStringLiteral(
            R"(,"isReachable":null,"abbreviation":null,"lastRequestDuration":null)")) +
        "," + hostJson(QStringLiteral(R"(,"isReachable":false,"abbreviation":"x","colour":"b")")) +
        "]");
    ASSERT_TRUE(hosts);
    ASSERT_EQ(hosts->size(), 2u);
    EXPECT_FALSE(hosts->at(0)->isReachable());
    EXPECT_FALSE(hosts->at(0)->abbreviation());
    EXPECT_FALSE(hosts->at(0)->lastRequestDuration());
    EXPECT_EQ(hosts->at(1)->isReachable(), std::optional<bool>(false));
    EXPECT_EQ(hosts->at(1)->abbreviation(), std::optional<QString>(QStringLiteral("x")));
    EXPECT_FALSE(HostStore::encode(*hosts)->contains("colour"));
}

TEST_F(StoreTest, WritesAbsentOptionalsByLeavingTheirKeysOutAndDurationsExactly) {
    auto fresh = std::make_shared<Host>(QStringLiteral("example.com"));
    auto checked = std::make_shared<Host>(QStringLiteral("http://b"));
    checked->setIsReachable(false);
    checked->setAbbreviation(QStringLiteral("B"));
    checked->setLastRequestDuration(0.1 + 0.2);
    checked->restoreIsActive(false);
    ASSERT_TRUE(HostStore::write({fresh, checked}));

    EXPECT_EQ(Settings::hostsData(),
              QByteArray(R"([{"address":"example.com","categories":[],"hasMenuBarItem":false,)"
                         R"("isActive":true,"isFavorite":false,"string":"example.com"},)"
                         R"({"abbreviation":"B","address":"http://b","categories":[],)"
                         R"("hasMenuBarItem":false,"isActive":false,"isFavorite":false,)"
                         R"("isReachable":false,"lastRequestDuration":0.30000000000000004,)"
                         R"("string":"http://b"}])"));

    // Whatever the duration, it reads back exactly, and writing what was read gives the same
    // bytes again.
    for (const double duration : {0.1 + 0.2, -0.0, 1e300, 9007199254740993.0, -5e-324}) {
        checked->setLastRequestDuration(duration);
        const std::optional<QByteArray> written = HostStore::encode({checked});
        ASSERT_TRUE(written) << duration;
        const auto reread = HostStore::decode(*written);
        ASSERT_TRUE(reread) << duration;
        EXPECT_EQ(reread->at(0)->lastRequestDuration(), std::optional<double>(duration));
        EXPECT_EQ(HostStore::encode(*reread), written) << duration;
    }
}

TEST_F(StoreTest, UnreadableBytesAreKeptOnceBesideTheSettings) {
    const QByteArray garbage = "[{\"string\": truncated";
    Settings::setHostsData(garbage);

    const auto first = HostStore::read();
    EXPECT_EQ(first.status, HostStore::Status::Unreadable);
    EXPECT_TRUE(first.hosts.empty());
    ASSERT_FALSE(first.preservedCopy.isEmpty());
    EXPECT_EQ(fileBytes(first.preservedCopy), garbage);
    EXPECT_EQ(Settings::hostsData(), std::optional<QByteArray>(garbage)) << "store untouched";

    EXPECT_EQ(HostStore::read().preservedCopy, first.preservedCopy);
    EXPECT_EQ(preservedCopies().size(), 1);

    Settings::setHostsData("also not json");
    EXPECT_NE(HostStore::read().preservedCopy, first.preservedCopy);
    EXPECT_EQ(preservedCopies().size(), 2);
}

TEST_F(StoreTest, SettingsFilesWhoseListCannotBeIsolatedAreKeptWholeBeforeAnyWrite) {
    const QByteArray list = "[" + hostJson() + "," + hostJson() + "]";
    const QString text = QStringLiteral("[General]\nhosts=\"[]\"\n");
    const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    const QList<std::pair<const char *, QByteArray>> shapes = {
        {"a list typed without quotes", "[General]\nhosts=" + list + "\npingFrequency=60\n"},
        {"a variant", "[General]\nhosts=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)\n"},
        {"binary garbage", QByteArray("\x7f"
                                      "ELF\x02\x01\x00\xff\xfe[hosts]\x00\x13",
                                      18)},
        {"UTF-16", "\xff\xfe" + utf16},
        {"a hosts line without =", "[General]\nhosts " + list + "\npingFrequency=60\n"},
    };
    for (const auto &[shape, bytes] : shapes) {
        SCOPED_TRACE(shape);
        clean();
        writeRaw(Settings::fileName(), bytes);

        const HostStore::ReadResult read = HostStore::read();
        EXPECT_EQ(read.status, HostStore::Status::Unreadable);
        ASSERT_FALSE(read.preservedCopy.isEmpty());
        EXPECT_EQ(fileBytes(read.preservedCopy), bytes);

        // Later writes of any setting leave the copy as it was, and one copy is enough.
        ASSERT_TRUE(HostStore::write({makeHost(QStringLiteral("new"))}));
        ASSERT_TRUE(Settings::setPingFrequency(120));
        EXPECT_EQ(preservedCopies(), QStringList{read.preservedCopy});
        EXPECT_EQ(fileBytes(read.preservedCopy), bytes);
        EXPECT_EQ(HostStore::readStoredHosts().value_or(HostList()).size(), 1u);
    }

    // A file without a host list, written by the program itself, is simply no list yet.
    clean();
    writeRaw(Settings::fileName(), "[General]\npingFrequency=300\nlaunchAtLogin=true\n");
    EXPECT_EQ(HostStore::read().status, HostStore::Status::Missing);
    EXPECT_TRUE(preservedCopies().isEmpty());
}

TEST_F(StoreTest, WhileNoCopyCanBeKeptNothingWritesOverWhatCouldNotBeRead) {
    const QByteArray garbage = "not a list " + QByteArray(64 * 1024, 'x');
    ASSERT_TRUE(Settings::setHostsData(garbage));
    {
        FileSizeLimit full(16 * 1024);
        EXPECT_EQ(HostStore::read().preservedCopy, QString());
        EXPECT_FALSE(HostStore::write({makeHost(QStringLiteral("a"))}));
        EXPECT_FALSE(HostStore::write({makeHost(QStringLiteral("b"))})) << "tried again";
        EXPECT_TRUE(preservedCopies().isEmpty()) << "no partial copy passes for one";
        EXPECT_EQ(Settings::hostsData(), std::optional<QByteArray>(garbage));
    }
    // Once there is room, the next save keeps the copy first and then writes.
    ASSERT_TRUE(HostStore::write({makeHost(QStringLiteral("c"))}));
    ASSERT_EQ(preservedCopies().size(), 1);
    EXPECT_EQ(fileBytes(preservedCopies().front()), garbage);
    EXPECT_EQ(HostStore::readStoredHosts()->front()->string(), QStringLiteral("c"));

    // Nor is a whole file it cannot parse rewritten by other settings.
    clean();
    const QByteArray file = "[General]\nhosts " + QByteArray(64 * 1024, 'x') + "\n";
    writeRaw(Settings::fileName(), file);
    {
        FileSizeLimit full(16 * 1024);
        EXPECT_FALSE(Settings::setPingFrequency(300));
        EXPECT_FALSE(Settings::setLaunchAtLogin(true));
    }
    EXPECT_EQ(fileBytes(Settings::fileName()), file);
    ASSERT_TRUE(Settings::setPingFrequency(300));
    ASSERT_EQ(preservedCopies().size(), 1);
    EXPECT_EQ(fileBytes(preservedCopies().front()), file);
}

TEST(SettingsTest, FrequencyIsParsedFromText) {
    resetSettings();
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("morvane"),
                  QStringLiteral("Tarvik"));
    EXPECT_FALSE(Settings::wholePingFrequency());

    const QList<std::pair<QString, double>> cases = {
        {QStringLiteral("300"), 300.0}, {QStringLiteral("abc"), 60.0},
        {QStringLiteral("nan"), 60.0},  {QStringLiteral("inf"), 60.0},
        {QStringLiteral("true"), 60.0}, {QStringLiteral(" 90.5 "), 90.5}};
    for (const auto &[text, expected] : cases) {
        raw.setValue(QStringLiteral("pingFrequency"), text);
        raw.sync();
        EXPECT_EQ(Settings::pingFrequency(), expected) << text.toStdString();
    }
    EXPECT_FALSE(Settings::wholePingFrequency()) << "90.5 is no whole number of seconds";
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        engine.setMenuBarController(&menu);
        engine.httpClient().setDeadline(std::chrono::milliseconds(2000));
    }

    // A host named after its address: a path on the local server, or a whole address.
    std::shared_ptr<Host> addListed(const QString &path, bool active = true) {
        auto host = std::make_shared<Host>(path.startsWith(u'/') ? server.url(path) : path);
        host->setString(path);
        host->restoreIsActive(active);
        listHost(engine, host);
        return host;
    }

    // Runs one round and waits for every check in it.
    void pingAndWait() {
        QSignalSpy finished(&engine, &TRHostController::roundFinished);
        engine.ping();
        ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
    }

    TestHttpServer server;
    ManualClock clock;
    RecordingMenuBar menu;
    TRHostController engine{clock};
};

// A round starts once strictly more than the stored frequency has passed since the last one,
// timed or manual; a clock that went backwards gets one at once.
TEST_F(EngineTest, ARoundStartsOnlyWhenStrictlyMoreThanTheFrequencyHasPassed) {
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    const auto tickAfter = [&](qint64 ms) {
        clock.advanceMs(ms);
        engine.tick();
        return rounds.count();
    };
    EXPECT_EQ(tickAfter(60000), 0) << "exactly the frequency is not enough";
    EXPECT_EQ(tickAfter(1), 1);
    EXPECT_EQ(engine.lastPingDate(), clock.now());
    Settings::setPingFrequency(300);
    EXPECT_EQ(tickAfter(200000), 1) << "the stored frequency governs the next tick";
    EXPECT_EQ(tickAfter(100001), 2);

    Settings::setPingFrequency(60);
    clock.advanceMs(30000);
    engine.ping();
    EXPECT_EQ(tickAfter(59000), 3) << "a manual round moves the next timed one";
    EXPECT_EQ(tickAfter(1001), 4);
    EXPECT_EQ(tickAfter(-3600 * 1000), 5);
    EXPECT_EQ(engine.lastPingDate(), clock.now());
    EXPECT_EQ(tickAfter(0), 5) << "after the jump the normal rule applies again";
}

TEST_F(EngineTest, LoadChecksTheStoredHostsAndSchedulesTheTimerEvenWithNothingReadable) {
    HostStore::write({std::make_shared<Host>(server.url(QStringLiteral("/ok")))});
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.load();
    EXPECT_TRUE(engine.isTimerScheduled());
    ASSERT_EQ(engine.hosts().size(), 1u);
    EXPECT_EQ(engine.hosts()[0]->engine(), &engine) << "its switch reaches the engine";
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(engine.hosts()[0]->isReachable(), std::optional<bool>(true));
    EXPECT_EQ(menu.count(QStringLiteral("updateToolTip")), 1);
    spin(700);
    EXPECT_TRUE(Settings::lastOutcomesData().isEmpty()) << "the command line's engine only reads";

    // With nothing readable it starts empty, yet with its timer for the hosts added later.
    for (const std::optional<QByteArray> &stored :
         {std::optional<QByteArray>(), std::optional<QByteArray>("x")}) {
        resetSettings();
        if (stored)
            Settings::setHostsData(*stored);
        TRHostController fresh(clock);
        QSignalSpy rounds(&fresh, &TRHostController::roundStarted);
        fresh.load();
        EXPECT_TRUE(fresh.hosts().empty());
        EXPECT_TRUE(fresh.isTimerScheduled());
        EXPECT_EQ(rounds.count(), 0);
        EXPECT_EQ(Settings::hostsData(), stored) << "nothing overwrites what could not be read";
    }
}

// Each host is judged by its own options, or by the defaults; whoever takes the results as they
// come (history, notices, metrics) reads the same as the host keeps. What each option does to the
// request and to the verdict is the HTTP and check tests' to pin; here, that the engine sends and
// judges each host with its own, and what it keeps of a result the options turned round.
TEST_F(EngineTest, EachHostIsJudgedByItsOptionsOrTheDefaults) {
    using E = CheckVerdict::Expectation;
    const char *const notWeb = "not an http or https address";
    struct Case {
        const char *address;
        const char *check;  // the host's "check" object
        const char *reason; // empty when up
        E failed;
    };
    const std::vector<Case> cases = {
        {"/ok", "{}", "", E::None},
        // A host without options ends at the client's deadline.
        {"/hang", "{}", "timed out after 2 s", E::TimeoutSeconds},
        {"/status/503", R"({"method":"HEAD"})", "HTTP 503 (expected 200-299)", E::ExpectStatus},
        {"/hang", R"({"timeoutSeconds":1})", "timed out after 1 s", E::TimeoutSeconds},
        // Addresses that are not http are down without a request.
        {"ftp://127.0.0.1/", "{}", notWeb, E::None},
        {"", "{}", notWeb, E::None},
        {"file:///etc/passwd", "{}", notWeb, E::None},
    };
    std::map<const Host *, HttpResult> reported;
    QObject::connect(&engine, &TRHostController::checkFinished,
                     [&](const Host &host, const HttpResult &result) { reported[&host] = result; });
    const QDateTime expiry(QDate(2027, 1, 1), QTime(0, 0), QTimeZone::utc());
    for (const Case &c : cases) {
        auto host = addListed(QString::fromLatin1(c.address));
        host->setCheckOptions(*CheckOptionsJson::read(QJsonDocument::fromJson(c.check).object()));
        host->setCertificateExpiry(expiry);
    }
    // Down, in the transfer library's words: those are not this test's to pin.
    auto toFile = addListed(QStringLiteral("/to/file"));
    // A paused host is never requested, keeps its results and is not counted down.
    auto paused = addListed(QStringLiteral("/status/200"), false);
    paused->setIsReachable(false);
    paused->setLastRequestDuration(0.25);
    pingAndWait();
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        const Host &host = *engine.hosts()[i];
        SCOPED_TRACE(std::string(c.address) + " " + c.check);
        EXPECT_EQ(host.isReachable(), *c.reason == 0);
        EXPECT_EQ(host.lastOutcome().reason.toStdString(), c.reason);
        EXPECT_EQ(host.lastOutcome().failed, c.failed);
        ASSERT_TRUE(host.lastRequestDuration().has_value());
        if (c.failed == E::TimeoutSeconds) { // it took its whole time, and no more
            EXPECT_GE(*host.lastRequestDuration(), 0.99);
            EXPECT_LT(*host.lastRequestDuration(), 4.0);
        }
        if (std::string_view(c.reason) == notWeb) {
            EXPECT_EQ(host.lastRequestDuration(), std::optional<double>(0.0));
        }
        EXPECT_EQ(reported[&host].ok, *c.reason == 0);
        EXPECT_EQ(failureReason(reported[&host]).toStdString(), c.reason);
        // An answer over plain http has no certificate; no answer says nothing of the one there.
        EXPECT_EQ(host.certificateExpiry().has_value(), !reported[&host].status);
    }
    EXPECT_EQ(toFile->isReachable(), std::optional<bool>(false));
    EXPECT_EQ(engine.downCount(), 3 + 3 + 1);
    EXPECT_EQ(server.requests(QStringLiteral("/status/200")), 0);
    EXPECT_EQ(paused->isReachable(), std::optional<bool>(false));
    EXPECT_EQ(paused->lastRequestDuration(), std::optional<double>(0.25));
    EXPECT_EQ(reported.count(paused.get()), 0u);
}

TEST_F(EngineTest, SlowTakesTwoSlowAnswersEndsWithAFailureOrNewOptionsAndIsStillUp) {
    auto host = addListed(QStringLiteral("/delay/250"));
    CheckOptions options;
    options.slowAboveMs = 150;
    host->setCheckOptions(options);
    QSignalSpy changed(&engine, &TRHostController::stateChanged);
    const auto answer = [&](const QString &path) {
        host->setAddress(server.url(path));
        pingAndWait();
        return host->isSlow();
    };
    EXPECT_FALSE(answer(QStringLiteral("/delay/250"))) << "one slow answer is noise";
    EXPECT_TRUE(host->lastAnswerSlow());
    EXPECT_TRUE(answer(QStringLiteral("/delay/250")));
    EXPECT_TRUE(host->slowReason().endsWith(QStringLiteral(" > 150 ms)")))
        << host->slowReason().toStdString();
    EXPECT_EQ(host->isReachable(), true) << "slow is up";
    EXPECT_EQ(changed.count(), 2) << "up, then slow";
    // How answers in between count is the slowness rule's own; the engine feeds it each answer.
    EXPECT_FALSE(answer(QStringLiteral("/status/500"))) << "down says more than slow";
    EXPECT_EQ(host->slowReason(), QString());

    // New options are stored with the list, start counting again and are checked at once.
    options.slowAboveMs = 1000;
    QSignalSpy finished(&engine, &TRHostController::checkFinished);
    EXPECT_TRUE(engine.setCheckOptions(host, options));
    EXPECT_FALSE(host->isSlow());
    EXPECT_EQ(host->checkOptions(), options);
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_FALSE(host->lastAnswerSlow());
    options.timeoutSeconds = 0;
    EXPECT_FALSE(engine.setCheckOptions(host, options)) << "options with a problem are refused";
    EXPECT_EQ(host->checkOptions().timeoutSeconds, 30);
}

TEST_F(EngineTest, CheckOptionsFollowTheirHostBesideAnUntouchedList) {
    auto a = addListed(QStringLiteral("/a"));
    auto b = addListed(QStringLiteral("/b"));
    auto c = addListed(QStringLiteral("/c"));
    ASSERT_TRUE(engine.save());
    const QByteArray withoutOptions = *Settings::hostsData();
    EXPECT_FALSE(Settings::hostChecksData()) << "no options, no key";
    CheckOptions options;
    options.bodyContains = QStringLiteral("ok");
    options.headers.insert(QStringLiteral("Authorization"), QStringLiteral("Bearer s3cret"));
    b->setCheckOptions(options);
    // Each edit, and the name the options are found under after it, as a restart reads the list
    // back ("" for nowhere).
    const std::vector<std::tuple<const char *, std::function<void()>, const char *>> edits = {
        {"saved", [] {}, "/b"},
        {"renamed", [&] { b->setString(QStringLiteral("bee")); }, "bee"},
        {"moved to the top", [&] { engine.moveHost(b, 0); }, "bee"},
        {"reordered elsewhere",
         [&] {
             Settings::setHostsData(*HostStore::encode({c, a, b}));
         },
         "bee"},
        {"another removed", [&] { engine.removeHost(a); }, "bee"},
        {"removed", [&] { engine.removeHost(b); }, ""},
    };
    for (const auto &[what, edit, name] : edits) {
        SCOPED_TRACE(what);
        edit();
        if (std::string(what) != "reordered elsewhere") {
            ASSERT_TRUE(engine.save());
        }
        QStringList found;
        for (const auto &host : HostStore::readStoredHosts().value_or(HostList()))
            if (host->checkOptions().hasAnyOption()) {
                EXPECT_EQ(host->checkOptions(), options);
                found << host->string();
            }
        EXPECT_EQ(found.join(u' '), QString::fromLatin1(name));
        EXPECT_FALSE(Settings::hostsData()->contains("s3cret"));
    }
    EXPECT_FALSE(Settings::hostChecksData()) << "the last options went with their host";

    // The list itself is written exactly as without options.
    engine.setHosts({a, b, c});
    b->setString(QStringLiteral("/b"));
    ASSERT_TRUE(engine.save());
    EXPECT_EQ(*Settings::hostsData(), withoutOptions);

    // Bad stored options: the host stays, without them, and the stored text is not lost.
    const QByteArray bad = QStringLiteral(R"([null,{"address":"%1","check":{"timeoutSeconds":0}},)"
                                          R"({"address":"%2","check":{"method":"HEAD"}}])")
                               .arg(b->address(), c->address())
                               .toUtf8();
    Settings::setHostChecksData(bad);
    const HostList read = *HostStore::readStoredHosts();
    ASSERT_EQ(read.size(), 3u);
    EXPECT_FALSE(read[1]->checkOptions().hasAnyOption());
    EXPECT_EQ(read[2]->checkOptions().method, CheckOptions::Method::Head)
        << "the others keep theirs";
    EXPECT_EQ(Settings::hostChecksData(), bad);
}

TEST_F(EngineTest, AHostStillWaitingForItsAnswerIsNotRequestedAgain) {
    auto slow = addListed(QStringLiteral("/delay/600"));
    auto fast = addListed(QStringLiteral("/ok"));
    QSignalSpy started(&engine, &TRHostController::roundStarted);
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    int fastResults = 0;
    QObject::connect(&engine, &TRHostController::checkFinished, &engine,
                     [&](const Host &host) { fastResults += &host == fast.get() ? 1 : 0; });
    engine.ping();
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(waitUntil([&] { return fastResults == i; }));
        engine.ping();
    }
    ASSERT_TRUE(waitUntil([&] { return slow->isReachable().has_value(); }));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 4; }));
    EXPECT_EQ(server.requests(QStringLiteral("/delay/600")), 1);
    EXPECT_EQ(server.requests(QStringLiteral("/ok")), 4);
    ASSERT_EQ(started.count(), 4);
    EXPECT_EQ(started.at(1).at(1).toInt(), 1) << "only the host that had its answer";
    EXPECT_GE(*slow->lastRequestDuration(), 0.59);

    // Its answer in, the host is checked again by the next round.
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/delay/600")) == 2; }));
}

TEST_F(EngineTest, AnEditedAddressIsCheckedAtOnceAndTheOldOnesAnswerIgnored) {
    auto host = addListed(QStringLiteral("/hang"));
    engine.httpClient().setDeadline(std::chrono::milliseconds(500));
    QSignalSpy edited(&engine, &TRHostController::addressChanged);
    QSignalSpy checks(&engine, &TRHostController::checkFinished);
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/hang")) == 1; }));
    host->setAddress(server.url(QStringLiteral("/ok")));
    engine.addressEdited(host);
    EXPECT_EQ(edited.count(), 1);
    ASSERT_TRUE(waitUntil([&] { return host->isReachable() == true; }))
        << "without waiting for the old address";
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; })) << "the round still ends";
    spin(50);
    EXPECT_EQ(checks.count(), 1) << "the old address's timeout is not the host's result";
    EXPECT_EQ(host->isReachable(), std::optional<bool>(true));

    // A paused host is not checked, but is still told of.
    host->restoreIsActive(false);
    host->setAddress(server.url(QStringLiteral("/status/500")));
    engine.addressEdited(host);
    spin(100);
    EXPECT_EQ(edited.count(), 2);
    EXPECT_EQ(server.requests(QStringLiteral("/status/500")), 0);
}

// A list that cannot be encoded or written leaves the stored one, the engine's and the menu.
TEST_F(EngineTest, AListThatCannotBeStoredIsNotTaken) {
    auto kept = addListed(QStringLiteral("/ok"));
    ASSERT_TRUE(engine.save());
    const std::optional<QByteArray> saved = Settings::hostsData();
    for (const double duration :
         {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        kept->setLastRequestDuration(duration);
        EXPECT_FALSE(engine.save()) << duration;
    }
    EXPECT_EQ(Settings::hostsData(), saved);
    HostList imported;
    for (int i = 0; i < 400; ++i)
        imported.push_back(makeHost(QStringLiteral("imported %1").arg(i)));
    {
        FileSizeLimit full(8 * 1024);
        EXPECT_FALSE(engine.replaceHosts(imported));
    }
    EXPECT_TRUE(engine.hosts() == HostList{kept});
    EXPECT_EQ(Settings::hostsData(), saved);
    EXPECT_TRUE(menu.calls.isEmpty());

    EXPECT_TRUE(engine.replaceHosts(imported));
    EXPECT_TRUE(engine.hosts() == imported);
    EXPECT_EQ(HostStore::readStoredHosts()->size(), 400u);
}

TEST_F(EngineTest, ACompletionForARemovedHostStillLandsOnItsObject) {
    auto removed = addListed(QStringLiteral("/delay/300"));
    auto down = addListed(QStringLiteral("/status/500"));
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return down->isReachable().has_value(); }));
    engine.removeHost(QStringLiteral("/delay/300"));
    ASSERT_EQ(engine.hosts().size(), 1u);
    removed.reset(); // only the request in flight holds it now
    QSignalSpy changed(&engine, &TRHostController::stateChanged);
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(menu.calls.back(), QStringLiteral("refreshHostItem /delay/300"));
    EXPECT_EQ(menu.calls.at(menu.calls.size() - 2), QStringLiteral("setDownCount 1"));
}

TEST_F(EngineTest, NamesFindTheFirstHostSoNamedAndRemovingOneSaves) {
    auto first = addListed(QStringLiteral("caf\u00e9"));
    auto second = addListed(QStringLiteral("caf\u00e9"));
    auto other = addListed(QStringLiteral("other"));
    other->setAbbreviation(QStringLiteral("e"));
    EXPECT_EQ(engine.hostNamed(QStringLiteral("caf\u00e9")), first);
    EXPECT_EQ(engine.hostNamed(QStringLiteral("c")), nullptr);
    EXPECT_EQ(engine.hostWithAbbreviation(QStringLiteral("e")), other);
    EXPECT_EQ(engine.hostWithAbbreviation(QString()), nullptr) << "no short name matches none";

    engine.removeHost(QStringLiteral("cafe\u0301")); // the same text, decomposed
    ASSERT_EQ(engine.hosts().size(), 2u);
    EXPECT_EQ(engine.hosts()[0], second);
    EXPECT_EQ(HostStore::readStoredHosts()->size(), 2u);
}

// Each change of the list is saved and announced as exactly that change, once; one that
// cannot be carried out changes, saves and announces nothing.
TEST_F(EngineTest, EachChangeOfTheListIsSavedAndAnnouncedOnce) {
    const QString ok = server.url(QStringLiteral("/ok"));
    auto a = makeHost(QStringLiteral("a"), ok);
    auto b = makeHost(QStringLiteral("b"), ok);
    auto c = makeHost(QStringLiteral("c"), ok);
    engine.setHosts({a, b, c});
    auto added = makeHost(QStringLiteral("d"), ok);
    QStringList heard;
    QObject::connect(&engine, &TRHostController::hostAdded,
                     [&](const std::shared_ptr<Host> &host, int at) {
                         heard << QStringLiteral("added %1 at %2").arg(host->string()).arg(at);
                     });
    QObject::connect(&engine, &TRHostController::hostRemoved, [&](const Host &host, int from) {
        heard << QStringLiteral("removed %1 from %2").arg(host.string()).arg(from);
    });
    QObject::connect(&engine, &TRHostController::hostChanged, [&](const Host &host) {
        heard << QStringLiteral("changed %1").arg(host.string());
    });
    QObject::connect(
        &engine, &TRHostController::hostMoved, [&](const Host &host, int from, int to) {
            heard << QStringLiteral("moved %1 %2 to %3").arg(host.string()).arg(from).arg(to);
        });
    QObject::connect(&engine, &TRHostController::hostsReplaced,
                     [&] { heard << QStringLiteral("replaced"); });
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    HostEdit renamed = editOf(*a);
    renamed.name = QStringLiteral("a2");
    const auto stranger = makeHost(QStringLiteral("x"));

    const struct {
        std::function<bool()> change;
        bool done;
        const char *announced; // "" for nothing
        const char *stored;
        int rounds;
    } steps[] = {
        {[&] { return engine.addHost(added); }, true, "added d at 3", "a b c d", 1},
        {[&] { return engine.updateHost(a, renamed); }, true, "changed a2", "a2 b c d", 0},
        {[&] { return engine.moveHost(added, 0); }, true, "moved d 3 to 0", "d a2 b c", 0},
        {[&] { return engine.removeHost(b), true; }, true, "removed b from 2", "d a2 c", 0},
        // The user's switch, whoever flips it (a menu row, the host's own icon): the same value
        // still saves, and only turning it on starts a round.
        {[&] { return c->setIsActive(false), true; }, true, "changed c", "d a2 c-", 0},
        {[&] { return c->setIsActive(false), true; }, true, "changed c", "d a2 c-", 0},
        {[&] { return c->setIsActive(true), true; }, true, "changed c", "d a2 c", 1},
        {[&] {
             return engine.replaceHosts({a, c});
         },
         true, "replaced", "a2 c", 1},
        // Refused, or nothing to do: nothing is said, stored or checked.
        {[&] { return engine.addHost(a); }, false, "", "a2 c", 0},
        {[&] { return engine.updateHost(stranger, renamed); }, false, "", "a2 c", 0},
        {[&] { return engine.moveHost(stranger, 0); }, false, "", "a2 c", 0},
        {[&] { return engine.removeHost(stranger), false; }, false, "", "a2 c", 0},
        {[&] { return engine.moveHost(a, 0); }, true, "", "a2 c", 0},
        // A host removed is nobody's: its switch only sets its field.
        {[&] { return b->setIsActive(false), !b->isActive(); }, true, "", "a2 c", 0},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        heard.clear();
        rounds.clear();
        EXPECT_EQ(steps[i].change(), steps[i].done) << "step " << i;
        const QString announced = QString::fromLatin1(steps[i].announced);
        EXPECT_EQ(heard, announced.isEmpty() ? QStringList() : QStringList{announced})
            << "step " << i;
        QStringList stored;
        for (const auto &host : HostStore::readStoredHosts().value_or(HostList{}))
            stored << host->string() + (host->isActive() ? QString() : QStringLiteral("-"));
        EXPECT_EQ(stored.join(QLatin1Char(' ')), QString::fromLatin1(steps[i].stored))
            << "step " << i;
        EXPECT_EQ(rounds.count(), steps[i].rounds) << "step " << i;
    }
    EXPECT_EQ(menu.count(QStringLiteral("refreshHostItem c")), 3) << "each flip shows on its row";
    EXPECT_EQ(a->engine(), &engine);
    EXPECT_EQ(b->engine(), nullptr);
}

// Each host keeps its reason and when its state last changed; only a change of state reaches the
// menu's count, a new reason while still down only the host's row.
TEST_F(EngineTest, EachHostKeepsItsReasonAndWhenItsStateLastChanged) {
    auto api = addListed(QStringLiteral("/status/503"));
    QSignalSpy changes(&engine, &TRHostController::stateChanged);
    EXPECT_EQ(api->lastOutcome().shortText(), QStringLiteral("not checked yet"));
    pingAndWait();
    const QDateTime downAt = clock.now();
    EXPECT_EQ(api->lastOutcome().shortText(), QStringLiteral("HTTP 503"));
    EXPECT_EQ(api->lastOutcome().since, downAt);
    EXPECT_EQ(changes.count(), 1) << "unknown to unreachable is a change";
    EXPECT_EQ(menu.count(QStringLiteral("setDownCount 1")), 1);

    clock.advanceMs(60000);
    api->setAddress(server.url(QStringLiteral("/redirect/11")));
    menu.calls.clear();
    pingAndWait();
    EXPECT_EQ(api->lastOutcome().shortText(), QStringLiteral("too many redirects"));
    EXPECT_EQ(api->lastOutcome().since, downAt) << "still down: the time stays";
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(menu.count(QStringLiteral("refreshHostItem /status/503")), 1);
    EXPECT_EQ(menu.count(QStringLiteral("setDownCount")), 0);

    clock.advanceMs(60000);
    api->setAddress(server.url(QStringLiteral("/ok")));
    pingAndWait();
    EXPECT_EQ(api->lastOutcome().shortText(), QStringLiteral("up"));
    EXPECT_EQ(api->lastOutcome().since, clock.now());
    EXPECT_EQ(api->lastOutcome().withTime(),
              QStringLiteral("up since ") + clock.now().toLocalTime().toString(u"HH:mm"));
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(menu.count(QStringLiteral("setDownCount 0")), 1);
    EXPECT_EQ(menu.count(QStringLiteral("refreshHostItem /status/503")), 2);

    api->setLastRequestDuration(99.0);
    menu.calls.clear();
    pingAndWait();
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(menu.count(QStringLiteral("refreshHostItem")), 0);
    EXPECT_LT(*api->lastRequestDuration(), 99.0) << "the duration is recorded every time";
    EXPECT_FALSE(Settings::hostsData()) << "results are not saved";
}

TEST_F(EngineTest, OutcomesSurviveARestartBesideTheUntouchedList) {
    {
        TRHostController tray(clock);
        tray.setRemembersOutcomes(true);
        HostStore::write(
            {makeHost(QStringLiteral("api"), server.url(QStringLiteral("/status/503"))),
             makeHost(QStringLiteral("api"), server.url(QStringLiteral("/ok")))});
        const QByteArray list = *Settings::hostsData();
        QSignalSpy finished(&tray, &TRHostController::roundFinished);
        tray.load();
        ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
        EXPECT_EQ(*Settings::hostsData(), list) << "the stored list keeps its exact bytes";
    } // saved on the way out at the latest
    TRHostController restarted(clock);
    restarted.setRemembersOutcomes(true);
    restarted.load();
    ASSERT_EQ(restarted.hosts().size(), 2u);
    // Two hosts share a name; each gets its own outcome back, matched by address too.
    EXPECT_EQ(restarted.hosts()[0]->lastOutcome().reason, QStringLiteral("HTTP 503"));
    EXPECT_EQ(restarted.hosts()[0]->lastOutcome().failed, CheckVerdict::Expectation::ExpectStatus);
    EXPECT_EQ(restarted.hosts()[1]->lastOutcome().up, std::optional<bool>(true));
    EXPECT_EQ(restarted.hosts()[0]->lastOutcome().since, clock.now());
}

TEST_F(EngineTest, ARoundWhereEveryHostFailsAtTheNetworkLevelMeansOffline) {
    QSignalSpy offline(&engine, &TRHostController::offlineChanged);
    auto alone = addListed(unresolvableAddress('a'));
    pingAndWait();
    EXPECT_FALSE(engine.isOffline()) << "one host cannot tell the network is gone";
    EXPECT_EQ(alone->isReachable(), std::optional<bool>(false));

    auto a = std::make_shared<Host>(unresolvableAddress('a'));
    engine.setHosts(HostList{a, std::make_shared<Host>(unresolvableAddress('b'))});
    pingAndWait();
    EXPECT_TRUE(engine.isOffline());
    ASSERT_EQ(offline.count(), 1);
    EXPECT_FALSE(a->isReachable().has_value()) << "its results are not applied";
    EXPECT_EQ(engine.downCount(), 0);

    // A refused connection proves the network works, so the same failures now count, and never
    // makes a round offline. (0.0.0.0 is not a loopback address, yet connecting to it reaches
    // this machine, which refuses.)
    addListed(QStringLiteral("http://0.0.0.0:1/"));
    pingAndWait();
    EXPECT_FALSE(engine.isOffline());
    EXPECT_EQ(offline.count(), 2);
    EXPECT_EQ(a->isReachable(), std::optional<bool>(false));
    EXPECT_EQ(a->lastOutcome().reason, QStringLiteral("name not resolved"));
    EXPECT_EQ(engine.downCount(), 3);
}

// A watch saying offline drops the results that arrive after, then leaves only the hosts on this
// machine; coming back runs one round.
TEST_F(EngineTest, OfflineDropsLateResultsLeavesOnlyLocalHostsAndComingBackRunsOneRound) {
    // 0.0.0.0 reaches this machine's server, yet is not an address of this machine: it needs
    // the network as far as the engine can tell.
    auto remote = addListed(QStringLiteral("http://0.0.0.0:%1/delay/400").arg(server.port()));
    auto local = addListed(QStringLiteral("/delay/400"));
    engine.setResumeDelay(std::chrono::milliseconds(100));
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    QSignalSpy checks(&engine, &TRHostController::checkFinished);
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/delay/400")) == 2; }));
    engine.setReachability(TRHostController::Reachability::Offline);
    EXPECT_TRUE(engine.isOffline());
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    ASSERT_EQ(checks.count(), 1) << "only the host on this machine reports";
    EXPECT_EQ(local->isReachable(), std::optional<bool>(true));
    EXPECT_FALSE(remote->isReachable().has_value()) << "it keeps its last state";
    EXPECT_EQ(remote->lastOutcome().shortText(), QStringLiteral("not checked yet"));

    pingAndWait();
    ASSERT_EQ(rounds.count(), 2);
    EXPECT_EQ(rounds.at(1).at(1).toInt(), 1) << "only the host on this machine";
    EXPECT_FALSE(remote->isReachable().has_value());

    engine.setReachability(TRHostController::Reachability::Online);
    EXPECT_FALSE(engine.isOffline());
    EXPECT_EQ(rounds.count(), 2) << "the network gets a moment to settle";
    ASSERT_TRUE(waitUntil([&] { return rounds.count() == 3; }));
    EXPECT_EQ(rounds.at(2).at(1).toInt(), 2);
    spin(300);
    EXPECT_EQ(rounds.count(), 3) << "one round, then the normal schedule";
}

TEST_F(EngineTest, SleepDropsRequestsInFlightAndWakingRunsOneRound) {
    auto slow = addListed(QStringLiteral("/delay/400"));
    engine.setResumeDelay(std::chrono::milliseconds(100));
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    QSignalSpy checks(&engine, &TRHostController::checkFinished);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/delay/400")) == 1; }));
    engine.setAsleep(true);
    EXPECT_TRUE(engine.isOffline());
    EXPECT_EQ(engine.httpClient().inFlight(), 0);
    clock.advanceMs(3600 * 1000);
    engine.tick();
    engine.ping();
    spin(500);
    EXPECT_EQ(checks.count(), 0) << "the time spent asleep is in no result";
    EXPECT_EQ(rounds.count(), 1);

    clock.advanceMs(3600 * 1000);
    engine.setAsleep(false);
    // The hour asleep is long past the frequency, yet the timer waits for the resume round.
    engine.tick();
    EXPECT_EQ(rounds.count(), 1) << "a timed round right on waking";
    ASSERT_TRUE(waitUntil([&] { return rounds.count() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return checks.count() == 1; }));
    EXPECT_EQ(slow->isReachable(), std::optional<bool>(true));
    engine.tick();
    EXPECT_EQ(rounds.count(), 2) << "one round on waking, then the usual schedule";
}
} // namespace
