// The wire to the desktop's notification service, against a private D-Bus daemon holding a fake
// server: a host going down and coming back, end to end from the engine's checks over HTTP to the
// calls the server receives and the click it sends back; markup escaped for whichever server is
// there; the tray's message when no server answers. When a change is worth telling is the
// notifications' own test.
#include "desktopnotifications/DesktopNotifier.h"
#include "monitoring/TRHostController.h"
#include "notifications/HostAlerts.h"
#include "support/FakeNotificationServer.h"
#include "support/PrivateBus.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

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

    void startServer(QStringList capabilities = {QStringLiteral("actions"),
                                                 QStringLiteral("body")}) {
        fake = std::make_unique<FakeNotificationServer>(bus.address(), std::move(capabilities));
        ASSERT_TRUE(fake->isRegistered());
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

TEST_F(AlertsTest, AHostGoingDownAndComingBackIsOneNoticeReplacedAndAClickOpensIt) {
    startServer();
    QSignalSpy openOne(&alerts, &HostAlerts::openHostRequested);
    auto api = makeHost(QStringLiteral("api"), server.url(QStringLiteral("/status/503")));
    api->setEngine(&engine);
    listHost(engine, api);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return !fake->notifies.empty(); }));
    EXPECT_EQ(server.requests(QStringLiteral("/status/503")), 2) << "the round and one re-check";

    // The texts are the notifications' own test; here, what the wire adds to them.
    const FakeNotificationServer::Call down = fake->notifies.front();
    EXPECT_EQ(down.app, QStringLiteral("Tarvik"));
    EXPECT_EQ(down.replaces, 0u);
    EXPECT_EQ(down.summary, QStringLiteral("api is down"));
    EXPECT_EQ(down.hints.value(QStringLiteral("urgency")).toInt(), 2);
    EXPECT_EQ(down.hints.value(QStringLiteral("category")).toString(),
              QStringLiteral("network.error"));
    EXPECT_EQ(down.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("com.morvane.Tarvik"));
    // A click opens that host's details, and the action says so.
    EXPECT_EQ(down.actions,
              QStringList({QStringLiteral("default"), QStringLiteral("Show Details")}));

    fake->invokeAction(down.id + 100, QStringLiteral("default"));
    fake->invokeAction(down.id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return openOne.count() == 1; }));
    EXPECT_EQ(openOne[0][0].value<std::shared_ptr<Host>>(), api);

    api->setAddress(server.url(QStringLiteral("/ok")));
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 2; }));
    const FakeNotificationServer::Call up = fake->notifies.back();
    EXPECT_EQ(up.replaces, down.id);
    EXPECT_EQ(up.hints.value(QStringLiteral("urgency")).toInt(), 1);
    EXPECT_EQ(up.hints.value(QStringLiteral("category")).toString(),
              QStringLiteral("network.connected"));
    EXPECT_EQ(openOne.count(), 1) << "a click on another id is none of Tarvik's";
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
    EXPECT_EQ(fallen[0].summary, notice.summary) << "the tray's own message takes over";

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
    const int handle = notifier.show(notice);
    ASSERT_TRUE(waitUntil([&] { return fake->notifies.size() == 1; }));
    EXPECT_EQ(fake->notifies[0].body, QStringLiteral("&lt;b&gt;x&lt;/b&gt;: HTTP 503"));
    EXPECT_EQ(fake->notifies[0].summary, notice.summary) << "a summary is always plain text";
    EXPECT_EQ(fallen.size(), 1u);
    notifier.close(handle);
    ASSERT_TRUE(waitUntil([&] { return fake->closed.size() == 1; }));
    EXPECT_EQ(fake->closed[0], fake->notifies[0].id);
}

} // namespace
