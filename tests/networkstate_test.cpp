// Knowing when the machine itself is offline or asleep, against a private system bus holding a
// fake NetworkManager and a fake logind; and which addresses need no network at all.
#include "monitoring/TRHostController.h"
#include "networkstate/LocalAddress.h"
#include "networkstate/MachineStateLink.h"
#include "networkstate/NetworkWatch.h"
#include "networkstate/SleepWatch.h"
#include "support/FakeNetworkManager.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
TEST(LocalAddressTest, OnlyThisMachineNeedsNoNetwork) {
    for (const char *local : {"http://localhost/", "http://LOCALHOST:8080/x", "http://127.0.0.1/",
                              "https://127.1.2.3:1/", "http://[::1]:80/", "http://app.localhost/"})
        EXPECT_TRUE(isOnThisMachine(QString::fromLatin1(local))) << local;
    for (const char *remote :
         {"http://example.com/", "http://10.0.0.1/", "http://128.0.0.1/", "http://[::2]/",
          "http://localhost.example.com/", "not an address", ""})
        EXPECT_FALSE(isOnThisMachine(QString::fromLatin1(remote))) << remote;
}

TEST(NetworkWatchTest, FollowsNetworkManagersStateOnTheSystemBus) {
    PrivateBus bus(PrivateBus::Kind::System);
    ASSERT_TRUE(bus.isRunning());
    FakeNetworkManager manager(bus.address(), FakeNetworkManager::connectedGlobal);
    ASSERT_TRUE(manager.isRegistered());

    NetworkWatch watch;
    ASSERT_TRUE(watch.start());
    ASSERT_EQ(watch.backend(), QStringLiteral("networkmanager"));
    EXPECT_EQ(watch.state(), NetworkWatch::State::Online);

    // What the engine does offline is its own test; the link hands it what the watch sees.
    ManualClock clock;
    TRHostController engine(clock);
    MachineStateLink link(engine);
    link.start();
    EXPECT_FALSE(engine.isOffline());

    manager.setState(FakeNetworkManager::disconnected);
    ASSERT_TRUE(waitUntil([&] { return watch.state() == NetworkWatch::State::Offline; }));
    EXPECT_TRUE(engine.isOffline());

    manager.setState(FakeNetworkManager::connectedLocal);
    spin(200);
    EXPECT_TRUE(engine.isOffline()) << "a local-only network is no way out";

    manager.setState(FakeNetworkManager::connectedGlobal);
    ASSERT_TRUE(waitUntil([&] { return !engine.isOffline(); }));
    Q_EMIT link.sleep().sleepingChanged(true);
    EXPECT_TRUE(engine.isAsleep()) << "and what the sleep watch sees";
}

// A private system bus where a stand-in for logind announces sleep, heard by a SleepWatch on
// that bus whose clocks the test moves. What the engine does while asleep is its own test.
class SleepWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
        watch.setClocks([this] { return std::pair<qint64, qint64>(boot, monotonic); });
    }
    void startWatch() {
        watch.start();
        ASSERT_TRUE(waitUntil([&] { return watch.hasLogind(); }));
    }
    // The boot clock runs on while the machine sleeps; the monotonic one stands still.
    void pass(qint64 bootMs, qint64 monotonicMs) {
        boot += bootMs;
        monotonic += monotonicMs;
        watch.lookAtClocks();
    }
    void prepareForSleep(bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        logind.send(signal);
    }

    PrivateBus bus{PrivateBus::Kind::System};
    QDBusConnection logind = bus.connect(QStringLiteral("logind"));
    SleepWatch watch{bus.connect(QStringLiteral("tarvik"))};
    QSignalSpy edges{&watch, &SleepWatch::sleepingChanged};
    qint64 boot = 1000, monotonic = 1000;
};

// logind's "going to sleep" lasts until its "awake". One never followed by "awake" ends once the
// monotonic clock (which stands still while the machine sleeps) has run on for half a minute.
TEST_F(SleepWatchTest, LogindsSleepEndsWithItsAwakeOrOnceTimeHasPassedNormallyForHalfAMinute) {
    startWatch();
    prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return watch.isSleeping(); }));
    prepareForSleep(false);
    ASSERT_TRUE(waitUntil([&] { return !watch.isSleeping(); }));
    EXPECT_EQ(edges.count(), 2);
    pass(60000, 0);
    EXPECT_EQ(edges.count(), 2) << "with logind there, a jump of the boot clock is no sleep";

    prepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return watch.isSleeping(); }));
    // A suspend that took a while, then an hour asleep: neither is time awake.
    boot += 3600 * 1000;
    for (int look = 0; look < 14; ++look)
        pass(2000, 2000);
    EXPECT_TRUE(watch.isSleeping()) << "28 s awake is not yet enough";
    pass(2000, 2000);
    EXPECT_FALSE(watch.isSleeping()) << "30 s of time passing normally: awake";
    ASSERT_EQ(edges.count(), 4);

    // A late "awake" from logind changes nothing more.
    prepareForSleep(false);
    spin(200);
    EXPECT_EQ(edges.count(), 4);
}

// Before the watch has found logind, the clocks alone tell.
TEST_F(SleepWatchTest, WithoutLogindAJumpOfTheBootClockMeansTheMachineSlept) {
    pass(2000, 2000);
    pass(2000 + SleepWatch::jumpThresholdMs - 1, 2000);
    EXPECT_EQ(edges.count(), 0) << "ordinary ticks and small drifts are not sleep";
    pass(2000 + 3600 * 1000, 2000);
    ASSERT_EQ(edges.count(), 2);
    EXPECT_TRUE(edges.at(0).at(0).toBool());
    EXPECT_FALSE(edges.at(1).at(0).toBool());
}
} // namespace
