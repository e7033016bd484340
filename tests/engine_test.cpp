// The monitoring engine against a real HTTP server: the timer rule, rounds and their results,
// activation, removal, and what the engine tells the tray.
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "platform/Settings.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        engine.setMenuBarController(&menu);
        engine.httpClient().setDeadline(std::chrono::milliseconds(2000));
    }

    std::shared_ptr<Host> addListed(const QString &path, bool active = true) {
        auto host = std::make_shared<Host>(server.url(path));
        host->setString(path);
        host->restoreIsActive(active);
        engine.hosts().push_back(host);
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

TEST_F(EngineTest, ARoundStartsOnlyWhenStrictlyMoreThanTheFrequencyHasPassed) {
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    clock.advanceMs(60000);
    engine.tick();
    EXPECT_EQ(rounds.count(), 0) << "exactly the frequency is not enough";
    clock.advanceMs(1);
    engine.tick();
    EXPECT_EQ(rounds.count(), 1);
    EXPECT_EQ(engine.lastPingDate(), clock.now());

    Settings::setPingFrequency(300);
    clock.advanceMs(200000);
    engine.tick();
    EXPECT_EQ(rounds.count(), 1) << "the stored frequency governs the next tick";
    clock.advanceMs(100001);
    engine.tick();
    EXPECT_EQ(rounds.count(), 2);
}

TEST_F(EngineTest, AManualRoundMovesTheNextTimedRound) {
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    clock.advanceMs(30000);
    engine.ping();
    clock.advanceMs(59000);
    engine.tick();
    EXPECT_EQ(rounds.count(), 1);
    clock.advanceMs(1001);
    engine.tick();
    EXPECT_EQ(rounds.count(), 2);
}

TEST_F(EngineTest, AClockMovedBackwardsStillGetsTimedRounds) {
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    clock.advanceMs(-3600 * 1000);
    engine.tick();
    EXPECT_EQ(rounds.count(), 1);
    EXPECT_EQ(engine.lastPingDate(), clock.now());
    engine.tick();
    EXPECT_EQ(rounds.count(), 1) << "after the jump the normal rule applies again";
}

TEST_F(EngineTest, LoadChecksTheStoredHostsAndSchedulesTheTimer) {
    HostStore::write({std::make_shared<Host>(server.url(QStringLiteral("/ok")))});
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.load();
    EXPECT_TRUE(engine.isTimerScheduled());
    ASSERT_EQ(engine.hosts().size(), 1u);
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(engine.hosts()[0]->isReachable(), std::optional<bool>(true));
    EXPECT_EQ(menu.count(QStringLiteral("updateToolTip")), 1);
}

TEST_F(EngineTest, WithNothingReadableLoadStartsEmptyButStillSchedulesTheTimer) {
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
        clock.advanceMs(60001);
        fresh.tick();
        EXPECT_EQ(rounds.count(), 1) << "hosts added later get timed rounds";
        EXPECT_EQ(Settings::hostsData(), stored) << "nothing overwrites what could not be read";
    }
}

TEST_F(EngineTest, ResultsFollowStatusTransportAndRedirectRules) {
    auto ok = addListed(QStringLiteral("/ok"));
    auto notFound = addListed(QStringLiteral("/status/404"));
    auto serverError = addListed(QStringLiteral("/status/503"));
    auto redirected = addListed(QStringLiteral("/redirect/3"));
    auto tooManyRedirects = addListed(QStringLiteral("/redirect/11"));
    auto toFtp = addListed(QStringLiteral("/to/ftp"));
    auto toFile = addListed(QStringLiteral("/to/file"));
    auto refused = std::make_shared<Host>(QStringLiteral("http://127.0.0.1:1/"));
    engine.hosts().push_back(refused);
    pingAndWait();

    EXPECT_EQ(ok->isReachable(), std::optional<bool>(true));
    EXPECT_EQ(redirected->isReachable(), std::optional<bool>(true));
    for (const auto &down : {notFound, serverError, tooManyRedirects, toFtp, toFile, refused})
        EXPECT_EQ(down->isReachable(), std::optional<bool>(false)) << down->string().toStdString();
    for (const auto &host : engine.hosts())
        EXPECT_TRUE(host->lastRequestDuration().has_value());
    // Both chains pass /redirect/1; only the three-step chain gets to /redirect/0, because the
    // eleven-step one stops after its tenth redirect.
    EXPECT_EQ(server.requests(QStringLiteral("/redirect/1")), 2);
    EXPECT_EQ(server.requests(QStringLiteral("/redirect/0")), 1);
}

TEST_F(EngineTest, AddressesThatAreNotHttpAreDownWithoutARequest) {
    const QStringList addresses = {
        QStringLiteral("ftp://127.0.0.1/"), QStringLiteral("example.com"),
        QStringLiteral("http://exa mple.com"), QString(), QStringLiteral("file:///etc/passwd")};
    for (const QString &address : addresses) {
        auto host = std::make_shared<Host>(address);
        host->setLastRequestDuration(5.0);
        engine.hosts().push_back(host);
    }
    auto ok = addListed(QStringLiteral("/ok"));
    pingAndWait();
    EXPECT_EQ(server.totalRequests(), 1);
    EXPECT_EQ(ok->isReachable(), std::optional<bool>(true)) << "the round goes on";
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        EXPECT_EQ(engine.hosts()[i]->isReachable(), std::optional<bool>(false));
        EXPECT_EQ(engine.hosts()[i]->lastRequestDuration(), std::optional<double>(0.0));
    }
}

TEST_F(EngineTest, HostsThatNeverFinishAnsweringEndAtTheDeadline) {
    engine.httpClient().setDeadline(std::chrono::milliseconds(400));
    auto hang = addListed(QStringLiteral("/hang"));
    auto trickle = addListed(QStringLiteral("/trickle"));
    pingAndWait();
    for (const auto &host : {hang, trickle}) {
        EXPECT_EQ(host->isReachable(), std::optional<bool>(false));
        EXPECT_GE(*host->lastRequestDuration(), 0.39);
        EXPECT_LT(*host->lastRequestDuration(), 2.0);
    }
}

TEST_F(EngineTest, InactiveHostsAreNeverRequestedAndKeepTheirResults) {
    auto paused = addListed(QStringLiteral("/status/500"), false);
    paused->setIsReachable(true);
    paused->setLastRequestDuration(0.25);
    addListed(QStringLiteral("/ok"));
    pingAndWait();
    EXPECT_EQ(server.requests(QStringLiteral("/status/500")), 0);
    EXPECT_EQ(paused->isReachable(), std::optional<bool>(true));
    EXPECT_EQ(paused->lastRequestDuration(), std::optional<double>(0.25));
}

TEST_F(EngineTest, OnlyAChangeOfReachabilityReachesTheMenu) {
    auto host = addListed(QStringLiteral("/ok"));
    QSignalSpy changes(&engine, &TRHostController::stateChanged);
    pingAndWait();
    EXPECT_EQ(changes.count(), 1) << "unknown to reachable is a change";
    EXPECT_EQ(menu.count(QStringLiteral("refreshHostItem /ok")), 1);
    EXPECT_EQ(menu.count(QStringLiteral("setDownCount 0")), 1);

    host->setLastRequestDuration(99.0);
    pingAndWait();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_LT(*host->lastRequestDuration(), 99.0) << "the duration is recorded every time";

    host->setAddress(server.url(QStringLiteral("/status/500")));
    pingAndWait();
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(
        menu.calls.mid(menu.calls.size() - 2),
        QStringList({QStringLiteral("setDownCount 1"), QStringLiteral("refreshHostItem /ok")}));
    EXPECT_EQ(menu.count(QStringLiteral("reloadHostItems")), 0) << "results are not saved";
    EXPECT_FALSE(Settings::hostsData());
}

TEST_F(EngineTest, DownCountCountsOnlyActiveHostsKnownToBeDown) {
    auto make = [&](bool active, std::optional<bool> reachable) {
        auto host = std::make_shared<Host>(QStringLiteral("x"));
        host->restoreIsActive(active);
        host->setIsReachable(reachable);
        engine.hosts().push_back(host);
    };
    make(true, false);
    make(true, false);
    make(false, false);
    make(true, std::nullopt);
    make(true, true);
    EXPECT_EQ(engine.downCount(), 2);
}

TEST_F(EngineTest, OverlappingRoundsEachLandAndTheLastCompletionWins) {
    auto slow = addListed(QStringLiteral("/delay/600"));
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return server.totalRequests() == 1; }));
    slow->setAddress(server.url(QStringLiteral("/status/500")));
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }));
    EXPECT_EQ(finished.at(0).at(0).toInt(), 2) << "the fast second round finishes first";
    EXPECT_EQ(slow->isReachable(), std::optional<bool>(true)) << "the slow first round landed last";
    EXPECT_GE(*slow->lastRequestDuration(), 0.59);
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

TEST_F(EngineTest, RemovingTakesTheFirstHostWithThatNameAndSaves) {
    auto first = addListed(QStringLiteral("caf\u00e9"));
    auto second = addListed(QStringLiteral("caf\u00e9"));
    auto other = addListed(QStringLiteral("other"));
    engine.removeHost(QStringLiteral("cafe\u0301")); // the same text, decomposed
    ASSERT_EQ(engine.hosts().size(), 2u);
    EXPECT_EQ(engine.hosts()[0], second);
    EXPECT_EQ(menu.calls,
              QStringList({QStringLiteral("setDownCount 0"), QStringLiteral("reloadHostItems")}));
    EXPECT_EQ(HostStore::readStoredHosts()->size(), 2u);

    menu.calls.clear();
    Settings::setHostsData("untouched");
    engine.removeHost(QStringLiteral("nobody"));
    EXPECT_EQ(engine.hosts().size(), 2u);
    EXPECT_TRUE(menu.calls.isEmpty());
    EXPECT_EQ(Settings::hostsData(), std::optional<QByteArray>("untouched"));
}

TEST_F(EngineTest, NameQueriesMatchTheFirstHostAndIgnoreMissingShortNames) {
    auto a = addListed(QStringLiteral("a"));
    auto b = addListed(QStringLiteral("b"));
    b->setAbbreviation(QStringLiteral("e"));
    EXPECT_EQ(engine.hostNamed(QStringLiteral("b")), b);
    EXPECT_EQ(engine.hostNamed(QStringLiteral("c")), nullptr);
    EXPECT_EQ(engine.hostWithAbbreviation(QStringLiteral("e")), b);
    EXPECT_EQ(engine.hostWithAbbreviation(QString()), nullptr);
}

TEST_F(EngineTest, AddingAHostStartsARoundThenSaves) {
    auto added = engine.addHost(server.url(QStringLiteral("/ok")));
    ASSERT_EQ(engine.hosts().back(), added);
    EXPECT_EQ(added->string(), added->address());
    EXPECT_TRUE(added->isActive());
    EXPECT_FALSE(added->hasMenuBarItem());
    EXPECT_EQ(menu.calls,
              QStringList({QStringLiteral("updateToolTip"), QStringLiteral("reloadHostItems")}));
    EXPECT_EQ(HostStore::readStoredHosts()->size(), 1u);
    ASSERT_TRUE(waitUntil([&] { return added->isReachable().has_value(); }));
}

TEST_F(EngineTest, ActivationSavesRefreshesAndStartsARoundOnlyWhenActive) {
    auto host = addListed(QStringLiteral("/ok"));
    host->setIsReachable(true);
    FakeDelegate delegate(&engine);
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);

    host->setIsActive(false);
    EXPECT_EQ(rounds.count(), 0);
    EXPECT_EQ(host->statusColor(), QColor(142, 142, 147));
    EXPECT_FALSE(HostStore::readStoredHosts()->at(0)->isActive());
    EXPECT_EQ(menu.calls,
              QStringList({QStringLiteral("reloadHostItems"), QStringLiteral("setDownCount 0"),
                           QStringLiteral("refreshHostItem /ok")}));

    Settings::setHostsData("[]");
    host->setIsActive(false); // the same value still saves
    EXPECT_EQ(HostStore::readStoredHosts()->size(), 1u);

    host->setIsActive(true);
    EXPECT_EQ(rounds.count(), 1);
    EXPECT_EQ(host->statusColor(), QColor(52, 199, 89)) << "the old result shows at once";
}

TEST_F(EngineTest, WithoutAnEngineActivationOnlySetsTheField) {
    auto host = addListed(QStringLiteral("/ok"));
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    host->setIsActive(false);
    EXPECT_FALSE(host->isActive());
    EXPECT_TRUE(menu.calls.isEmpty());
    EXPECT_FALSE(Settings::hostsData());
    EXPECT_EQ(rounds.count(), 0);
}

TEST_F(EngineTest, AListThatCannotBeEncodedIsNotWrittenAndTheMenuIsNotRebuilt) {
    auto host = addListed(QStringLiteral("/ok"));
    host->setLastRequestDuration(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(engine.save());
    EXPECT_FALSE(Settings::hostsData());
    EXPECT_TRUE(menu.calls.isEmpty());
}
} // namespace
