// Telling the user, end to end through the desktop's notification service: a failure confirmed
// by one more check before "down", the recovery replacing that notice, one notice for changes
// that land together, silence while offline, a click leading to the host it names, and a daily
// word about certificates running out. Against a private D-Bus daemon holding a fake
// notification server.
#include "desktopnotifications/DesktopNotifier.h"
#include "monitoring/TRHostController.h"
#include "notifications/CertificateAlerts.h"
#include "notifications/HostAlerts.h"
#include "notifications/NoticeText.h"
#include "support/FakeNotificationServer.h"
#include "support/PrivateBus.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {
class AlertsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        ASSERT_TRUE(bus.isRunning());
        engine.httpClient().setDeadline(std::chrono::milliseconds(2000));
        alerts.setRecheckDelay(std::chrono::milliseconds(100));
        alerts.setBatchDelay(std::chrono::milliseconds(100));
    }

    std::shared_ptr<Host> addHost(const QString &name, const QString &path) {
        auto host = makeHost(name, server.url(path));
        host->setEngine(&engine);
        engine.hosts().push_back(host);
        return host;
    }

    void startServer(QStringList capabilities = {QStringLiteral("actions"),
                                                 QStringLiteral("body")}) {
        fake = std::make_unique<FakeNotificationServer>(bus.address(), std::move(capabilities));
        ASSERT_TRUE(fake->isRegistered());
    }

    void pingAndWait() {
        QSignalSpy finished(&engine, &TRHostController::roundFinished);
        engine.ping();
        ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
    }

    PrivateBus bus{PrivateBus::Kind::Session};
    QDBusConnection connection =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("tarvik"));
    TestHttpServer server;
    ManualClock clock;
    TRHostController engine{clock};
    DesktopNotifier notifier{connection};
    HostAlerts alerts{engine, notifier, clock};
    std::unique_ptr<FakeNotificationServer> fake;
};

TEST_F(AlertsTest, DownNeedsTwoFailuresAndTheRecoveryReplacesTheSameNotice) {
    startServer();
    auto api = addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    pingAndWait();
    EXPECT_EQ(api->isReachable(), std::optional<bool>(false)) << "the dot follows the round";
    EXPECT_TRUE(fake->notifies.empty()) << "one failure is not enough";
    ASSERT_TRUE(waitUntil([&] { return !fake->notifies.empty(); }));
    EXPECT_EQ(server.requests(QStringLiteral("/status/503")), 2) << "exactly one re-check";

    const FakeNotificationServer::Call down = fake->notifies.front();
    EXPECT_EQ(down.app, QStringLiteral("Tarvik"));
    EXPECT_EQ(down.replaces, 0u);
    EXPECT_EQ(down.summary, QStringLiteral("api is down"));
    EXPECT_TRUE(down.body.contains(QStringLiteral("HTTP 503")));
    EXPECT_TRUE(down.body.contains(api->address()));
    EXPECT_EQ(down.hints.value(QStringLiteral("urgency")).toInt(), 2);
    EXPECT_EQ(down.hints.value(QStringLiteral("category")).toString(),
              QStringLiteral("network.error"));
    EXPECT_EQ(down.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("com.morvane.Tarvik"));
    // A click opens that host's details, and the action says so.
    EXPECT_EQ(down.actions,
              QStringList({QStringLiteral("default"), QStringLiteral("Show Details")}));

    clock.advanceMs(4 * 60 * 1000 + 5000);
    api->setAddress(server.url(QStringLiteral("/ok")));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 2; }));
    const FakeNotificationServer::Call up = fake->notifies.back();
    EXPECT_EQ(up.replaces, down.id);
    EXPECT_EQ(up.summary, QStringLiteral("api is back up after 4 min"));
    EXPECT_EQ(up.hints.value(QStringLiteral("urgency")).toInt(), 1);
    EXPECT_EQ(up.hints.value(QStringLiteral("category")).toString(),
              QStringLiteral("network.connected"));
    spin(300);
    EXPECT_EQ(fake->notifies.size(), 2u);
}

TEST_F(AlertsTest, AFailureThatPassesItsRecheckTellsNothing) {
    startServer();
    auto api = addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    pingAndWait();
    api->setAddress(server.url(QStringLiteral("/ok")));
    ASSERT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/ok")) == 1; }));
    spin(400);
    EXPECT_TRUE(fake->notifies.empty());
    EXPECT_EQ(api->isReachable(), std::optional<bool>(true)) << "the re-check's answer counts";
}

TEST_F(AlertsTest, ChangesThatLandTogetherMakeOneNoticeWithNamesKeptAsText) {
    startServer({QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")});
    addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    addHost(QStringLiteral("<b>shop</b>"), QStringLiteral("/status/500"));
    addHost(QStringLiteral("db"), QStringLiteral("/redirect/11"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return !fake->notifies.empty(); }));
    spin(400);
    ASSERT_EQ(fake->notifies.size(), 1u);
    EXPECT_EQ(fake->notifies[0].summary, QStringLiteral("3 hosts are down: api, <b>shop</b>, db"));
    EXPECT_TRUE(
        fake->notifies[0].body.contains(QStringLiteral("&lt;b&gt;shop&lt;/b&gt;: HTTP 500")))
        << fake->notifies[0].body.toStdString();
    EXPECT_TRUE(fake->notifies[0].body.contains(QStringLiteral("db: too many redirects")));
    EXPECT_EQ(fake->notifies[0].actions,
              QStringList({QStringLiteral("default"), QStringLiteral("Show Hosts")}));

    for (const auto &host : engine.hosts())
        host->setAddress(server.url(QStringLiteral("/ok")));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 2; }));
    spin(300);
    ASSERT_EQ(fake->notifies.size(), 2u);
    EXPECT_EQ(fake->notifies[1].summary,
              QStringLiteral("3 hosts are back up: api, <b>shop</b>, db"));
    EXPECT_EQ(fake->notifies[1].replaces, fake->notifies[0].id);
}

TEST_F(AlertsTest, PausingRemovingOrReaddressingAHostClosesItsNotice) {
    startServer();
    auto api = addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }));
    api->setIsActive(false);
    ASSERT_TRUE(waitUntil([&] { return fake->closed.size() == 1; }));
    EXPECT_EQ(fake->closed[0], fake->notifies[0].id);

    auto shop = addHost(QStringLiteral("shop"), QStringLiteral("/status/500"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 2; }));
    engine.removeHost(shop);
    ASSERT_TRUE(waitUntil([&] { return fake->closed.size() == 2; }));
    EXPECT_EQ(fake->closed[1], fake->notifies[1].id);

    // A new address that answers: the notice about the old one goes, and no "back up" follows.
    auto db = addHost(QStringLiteral("db"), QStringLiteral("/status/502"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 3; }));
    db->setAddress(server.url(QStringLiteral("/ok")));
    engine.addressEdited(db);
    ASSERT_TRUE(waitUntil([&] { return fake->closed.size() == 3; }));
    EXPECT_EQ(fake->closed[2], fake->notifies[2].id);
    ASSERT_TRUE(waitUntil([&] { return db->isReachable() == true; }));
    spin(300);
    EXPECT_EQ(fake->notifies.size(), 3u);
}

TEST_F(AlertsTest, NothingIsSaidWhileOfflineOrAsleep) {
    startServer();
    auto local = addHost(QStringLiteral("local"), QStringLiteral("/status/503"));
    engine.setReachability(TRHostController::Reachability::Offline);
    pingAndWait();
    EXPECT_EQ(local->isReachable(), std::optional<bool>(false))
        << "a host on this machine is checked offline too";
    spin(400);
    EXPECT_TRUE(fake->notifies.empty());
    EXPECT_EQ(server.requests(QStringLiteral("/status/503")), 1) << "no re-check while offline";

    engine.setReachability(TRHostController::Reachability::Online);
    engine.setAsleep(true);
    engine.ping();
    spin(300);
    EXPECT_EQ(server.totalRequests(), 1) << "asleep, nothing is requested";
    EXPECT_TRUE(fake->notifies.empty());
}

TEST_F(AlertsTest, ARecheckCutShortByGoingOfflineTellsNothing) {
    startServer();
    alerts.setRecheckDelay(std::chrono::milliseconds(300));
    addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    pingAndWait();
    engine.setReachability(TRHostController::Reachability::Offline);
    spin(600);
    EXPECT_EQ(server.requests(QStringLiteral("/status/503")), 1);
    EXPECT_TRUE(fake->notifies.empty());
}

TEST_F(AlertsTest, WithoutAServerTheTrayMessageTakesOver) {
    std::vector<Notice> shown;
    notifier.setFallback([&](const Notice &notice) { shown.push_back(notice); });
    addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown[0].summary, QStringLiteral("api is down"));
    EXPECT_TRUE(shown[0].down);
}

TEST_F(AlertsTest, ManyHostsDownAtOnceAreNamedFiveAtATimeAndLongNamesAreCut) {
    startServer();
    addHost(QString(10000, u'x'), QStringLiteral("/status/503"));
    for (int i = 2; i <= 8; ++i)
        addHost(QStringLiteral("h%1").arg(i), QStringLiteral("/status/503"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return !fake->notifies.empty(); }));
    const QString cut = QString(NoticeText::nameLength - 1, u'x') + QChar(0x2026);
    EXPECT_EQ(fake->notifies[0].summary, QStringLiteral("8 hosts are down: ") + cut +
                                             QStringLiteral(", h2, h3, h4, h5 and 3 more"));
    const QStringList lines = fake->notifies[0].body.split(u'\n');
    ASSERT_EQ(lines.size(), NoticeText::namesShown + 1);
    EXPECT_TRUE(lines[0].startsWith(cut + QStringLiteral(": HTTP 503 (http://")));
    EXPECT_EQ(lines.back(), QStringLiteral("and 3 more"));
}

// Whether the server reads markup is asked of the server there now: one that starts after
// Tarvik, or takes the place of another, is asked again.
TEST_F(AlertsTest, MarkupIsEscapedForWhicheverServerIsThereNow) {
    std::vector<Notice> fallen;
    notifier.setFallback([&](const Notice &notice) { fallen.push_back(notice); });
    const Notice notice{QStringLiteral("2 hosts are down: <b>x</b>, y"),
                        QStringLiteral("<b>x</b>: HTTP 503"), true, QString()};
    notifier.show(notice);
    ASSERT_TRUE(waitUntil([&] { return fallen.size() == 1; })) << "no server yet";

    // Seen by a watcher of the test's own on the notifier's connection: the notifier hears of
    // the new server in the same turn of the loop.
    QDBusServiceWatcher watch(QString::fromLatin1(DesktopNotifier::service), connection,
                              QDBusServiceWatcher::WatchForOwnerChange);
    bool serverCame = false;
    QObject::connect(&watch, &QDBusServiceWatcher::serviceOwnerChanged,
                     [&](const QString &, const QString &, const QString &owner) {
                         serverCame = !owner.isEmpty();
                     });
    startServer({QStringLiteral("actions"), QStringLiteral("body")});
    ASSERT_TRUE(waitUntil([&] { return serverCame; }));
    notifier.show(notice);
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }));
    EXPECT_EQ(fake->notifies[0].body, notice.body) << "a server without markup shows it as is";

    serverCame = false;
    fake.reset();
    startServer({QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")});
    ASSERT_TRUE(waitUntil([&] { return serverCame; }));
    notifier.show(notice);
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }));
    EXPECT_EQ(fake->notifies[0].body, QStringLiteral("&lt;b&gt;x&lt;/b&gt;: HTTP 503"));
    EXPECT_EQ(fake->notifies[0].summary, notice.summary) << "a summary is always plain text";
    EXPECT_EQ(fallen.size(), 1u);
}

TEST_F(AlertsTest, ClickingANoticeAboutOneHostOpensItsDetailsAndTurnedOffSaysNothing) {
    startServer();
    QSignalSpy openAll(&alerts, &HostAlerts::openHostsRequested);
    QSignalSpy openOne(&alerts, &HostAlerts::openHostRequested);
    auto api = addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    api->setAddress(
        api->address().replace(QStringLiteral("http://"), QStringLiteral("http://user:secret@")));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }));
    EXPECT_FALSE(fake->notifies[0].body.contains(QStringLiteral("secret")))
        << "a password in the address is never shown: " << fake->notifies[0].body.toStdString();
    EXPECT_TRUE(fake->notifies[0].body.contains(QStringLiteral("user:***@")));
    fake->invokeAction(fake->notifies[0].id + 100, QStringLiteral("default"));
    fake->invokeAction(fake->notifies[0].id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return openOne.count() == 1; }));
    spin(100);
    EXPECT_EQ(openOne.count(), 1) << "only its own notices count";
    EXPECT_EQ(openOne[0][0].value<std::shared_ptr<Host>>(), api);
    EXPECT_EQ(openAll.count(), 0);

    alerts.setEnabled([] { return false; });
    addHost(QStringLiteral("shop"), QStringLiteral("/status/500"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/status/500")) == 2; }));
    spin(400);
    EXPECT_EQ(fake->notifies.size(), 1u);
}

TEST_F(AlertsTest, ClickingANoticeAboutSeveralHostsOrARemovedOneOpensTheHostsWindow) {
    startServer();
    QSignalSpy openAll(&alerts, &HostAlerts::openHostsRequested);
    QSignalSpy openOne(&alerts, &HostAlerts::openHostRequested);
    addHost(QStringLiteral("api"), QStringLiteral("/status/503"));
    addHost(QStringLiteral("shop"), QStringLiteral("/status/500"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }));
    fake->invokeAction(fake->notifies[0].id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return openAll.count() == 1; }));

    // A recovery of one host speaks of it alone; once it is gone the hosts window is all left.
    auto web = addHost(QStringLiteral("web"), QStringLiteral("/status/502"));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 2; }));
    web->setAddress(server.url(QStringLiteral("/ok")));
    pingAndWait();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 3; }));
    EXPECT_EQ(fake->notifies[2].summary.left(14), QStringLiteral("web is back up"));
    fake->invokeAction(fake->notifies[2].id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return openOne.count() == 1; }));
    EXPECT_EQ(openOne[0][0].value<std::shared_ptr<Host>>(), web);
    engine.removeHost(web);
    web.reset();
    fake->invokeAction(fake->notifies[2].id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return openAll.count() == 2; }));
    EXPECT_EQ(openOne.count(), 1);
}

// Certificate notices share the notifier with the state notices, as they do in the program.
class CertificateAlertsTest : public AlertsTest {
protected:
    // What the engine reports after checking `host`, with a certificate running out `days` from
    // now.
    void checked(const std::shared_ptr<Host> &host, double days) {
        HttpResult result;
        result.ok = true;
        result.status = 200;
        result.certificateExpiry = clock.now().addSecs(qint64(days * 86400));
        Q_EMIT engine.checkFinished(*host, result);
    }

    CertificateAlerts certificates{engine, notifier, clock};
};

TEST_F(CertificateAlertsTest, OneNoticeADayForEachAddressWithinFourteenDays) {
    startServer();
    auto shop = addHost(QStringLiteral("shop"), QStringLiteral("/shop"));
    shop->setAddress(QStringLiteral("https://user:pw@shop.example/"));
    auto blog = addHost(QStringLiteral("blog"), QStringLiteral("/blog"));
    blog->setAddress(QStringLiteral("https://blog.example/"));
    checked(blog, 30);
    checked(blog, 14.2);
    spin(200);
    EXPECT_TRUE(fake->notifies.empty()) << "fourteen days and more left is no news";

    checked(shop, 9.5);
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }));
    EXPECT_EQ(fake->notifies[0].summary, QStringLiteral("shop"));
    EXPECT_TRUE(fake->notifies[0].body.contains(QStringLiteral("runs out in 9 days")));
    EXPECT_FALSE(fake->notifies[0].body.contains(QStringLiteral("pw"))) << "no password shown";

    clock.advanceMs(3600 * 1000);
    checked(shop, 9.4);
    checked(blog, 2);
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 2; }));
    spin(200);
    ASSERT_EQ(fake->notifies.size(), 2u) << "checked again the same day: quiet";
    EXPECT_EQ(fake->notifies[1].summary, QStringLiteral("blog")) << "each address has its own day";
    EXPECT_EQ(fake->notifies[1].replaces, 0u);

    clock.advanceMs(23 * 3600 * 1000);
    checked(shop, 8.4);
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 3; }));
    EXPECT_EQ(fake->notifies[2].summary, QStringLiteral("shop")) << "a new day, a new notice";
}

TEST_F(CertificateAlertsTest, ClickingOpensThatHostAndPausedOrSwitchedOffStaysQuiet) {
    startServer();
    QSignalSpy openOne(&certificates, &CertificateAlerts::openHostRequested);
    QSignalSpy openAll(&alerts, &HostAlerts::openHostsRequested);
    auto paused = addHost(QStringLiteral("p"), QStringLiteral("/p"));
    paused->restoreIsActive(false);
    checked(paused, 1);
    bool enabled = false;
    certificates.setEnabled([&] { return enabled; });
    auto host = addHost(QStringLiteral("h"), QStringLiteral("/h"));
    checked(host, 1);
    spin(200);
    EXPECT_TRUE(fake->notifies.empty());

    enabled = true;
    checked(host, 1);
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }))
        << "turning notices on tells what was held back";
    EXPECT_EQ(fake->notifies[0].summary, QStringLiteral("h"));
    EXPECT_EQ(fake->notifies[0].actions,
              QStringList({QStringLiteral("default"), QStringLiteral("Show Details")}));
    fake->invokeAction(fake->notifies[0].id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return openOne.count() == 1; }));
    EXPECT_EQ(openOne[0][0].value<std::shared_ptr<Host>>(), host);
    spin(100);
    EXPECT_EQ(openAll.count(), 0) << "not taken for a notice about hosts going down";
}

} // namespace
