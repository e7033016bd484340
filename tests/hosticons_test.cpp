// A host's own tray icon: what it shows, how clicks are read, how the engine keeps the icons the
// tray's factory makes, and its menu where the desktop's tray shows menus itself.
#include "drawing/DigitAlignedFont.h"
#include "drawing/PaintedIcon.h"
#include "drawing/StatusColors.h"
#include "hosticons/HostIconMenu.h"
#include "hosticons/HostStatusItemFace.h"
#include "hosticons/HostTrayIcon.h"
#include "hosticons/HostTrayIconFactory.h"
#include "monitoring/TRHostController.h"
#include "settings/Settings.h"
#include "support/FakeDelegate.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "trayitem/ModifierFlags.h"
#include "trayitem/StatusItem.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {
// The colour of the bar drawn by a 20 x 20 image.
QColor barColor(const QIcon &image) {
    return PaintedIcon::render(image, QSize(20, 20)).pixelColor(10, 19);
}

TEST(HostStatusItemFaceTest, TooltipAndTitleShowTheHostsFactsHidingThePassword) {
    const QDateTime now(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc());
    auto host = makeHost(QStringLiteral("<b>R&D</b>"), QStringLiteral("https://ops:s3cret@rd/x"));
    const QString facts =
        QStringLiteral("<b>R&D</b>\nAddress: https://ops:***@rd/x\n"
                       "Last Request Duration: 0ms\nLast Result: not checked yet");
    const QString gestures =
        QStringLiteral("\n\nClick: Toggle Activation\nAlt + Click: Edit\nCtrl + Click: Ping Now");
    EXPECT_EQ(HostStatusItemFace::toolTip(*host, false), facts);
    EXPECT_EQ(HostStatusItemFace::toolTip(*host), facts + gestures);
    for (const auto &[seconds, shown] :
         {std::pair{0.2349, "234ms"}, std::pair{1.9999, "1999ms"}, std::pair{12.5, "12500ms"}}) {
        host->setLastRequestDuration(seconds);
        EXPECT_TRUE(HostStatusItemFace::toolTip(*host).contains(QStringLiteral("Duration: ") +
                                                                QLatin1String(shown)))
            << shown;
    }
    // A certificate running out soon adds a line after the last result.
    host->setLastRequestDuration(0);
    host->setCertificateExpiry(now.addDays(9));
    EXPECT_EQ(HostStatusItemFace::toolTip(*host, now),
              facts + QStringLiteral("\nWarning: the certificate runs out in 9 days") + gestures);

    // Without a short name the title is "#", in digits that line up (LoadGives... shows one).
    const AttributedText hash = HostStatusItemFace::title(*host);
    EXPECT_EQ(hash.text, QStringLiteral("#"));
    EXPECT_TRUE(DigitAlignedFont::hasAlignedDigits(hash.font));
}

TEST(HostStatusItemFaceTest, AHostIsGreenYellowOrRedOnlyWhileActiveAndKnown) {
    const std::tuple<bool, std::optional<bool>, bool, QColor> cases[] = {
        {true, true, false, StatusColors::green()},
        {true, true, true, StatusColors::yellow()},
        {true, false, false, StatusColors::red()},
        {true, std::nullopt, false, StatusColors::gray()},
        {false, true, true, StatusColors::gray()},
        {false, false, false, StatusColors::gray()}};
    for (const auto &[active, reachable, slow, colour] : cases) {
        auto host = makeHost(QStringLiteral("a"), QString(), active);
        host->setIsReachable(reachable);
        for (int answer = 0; slow && answer < 2; ++answer)
            host->recordSlowness(true, true, QStringLiteral("slow (1.2 s > 1 s)"));
        EXPECT_EQ(StatusColors::of(*host), colour) << active << (reachable ? int(*reachable) : -1);
        EXPECT_EQ(
            HostStatusItemFace::toolTip(*host).contains(QStringLiteral(", slow (1.2 s > 1 s)")),
            slow);
    }
}

TEST(HostStatusItemFaceTest, OnlyControlOrOptionAloneAreSpecialGestures) {
    using G = HostStatusItemFace::Gesture;
    const std::pair<Qt::KeyboardModifiers, G> cases[] = {
        {Qt::ControlModifier, G::PingNow},
        {Qt::AltModifier, G::Edit},
        {Qt::NoModifier, G::ToggleActivation},
        {Qt::ControlModifier | Qt::ShiftModifier, G::ToggleActivation},
        {Qt::ControlModifier | Qt::AltModifier, G::ToggleActivation},
        {Qt::ShiftModifier, G::ToggleActivation},
        {Qt::MetaModifier, G::ToggleActivation}};
    for (const auto &[modifiers, expected] : cases)
        EXPECT_EQ(HostStatusItemFace::gesture(ModifierFlags::fromQt(modifiers)), expected)
            << int(modifiers);
    EXPECT_EQ(HostStatusItemFace::gesture(ModifierFlags::control | ModifierFlags::capsLock),
              G::ToggleActivation);
}

class StatusItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        engine.setMenuBarController(&menu);
        engine.setStatusItemFactory(&icons);
    }

    std::shared_ptr<Host> listed(const QString &name, bool withItem = true) {
        auto host = makeHost(name, server.url(QStringLiteral("/ok")));
        host->setHasMenuBarItem(withItem);
        listHost(engine, host);
        return host;
    }

    // The icon the engine keeps for `host`, as the tray's factory made it.
    HostTrayIcon *icon(const Host &host) const {
        return static_cast<HostTrayIcon *>(engine.statusItem(host));
    }

    TestHttpServer server;
    ManualClock clock;
    RecordingMenuBar menu;
    HostTrayIconFactory icons;
    TRHostController engine{clock};
    FakeDelegate delegate{&engine};
};

TEST_F(StatusItemsTest, CompletionsRefreshTextsAndStateChangesRedrawTheBar) {
    auto host = listed(QStringLiteral("a"));
    StatusItemButton *button = icon(*host)->statusItem()->button();
    EXPECT_EQ(barColor(button->image()), StatusColors::gray()) << "not checked yet";
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(barColor(button->image()), StatusColors::green());

    // Same result again: the duration line changes, the bar is not redrawn.
    host->setLastRequestDuration(7.0);
    engine.updateStatusItem(*host);
    ASSERT_TRUE(button->toolTip().contains(QStringLiteral("7000ms")));
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }));
    EXPECT_FALSE(button->toolTip().contains(QStringLiteral("7000ms")));
    EXPECT_EQ(barColor(button->image()), StatusColors::green());
    host->setAddress(server.url(QStringLiteral("/status/500")));
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 3; }));
    EXPECT_EQ(barColor(button->image()), StatusColors::red());
}

TEST_F(StatusItemsTest, AClickActsByTheKeysHeldAndTheBarFollowsAtOnce) {
    auto host = listed(QStringLiteral("a"));
    host->setIsReachable(true);
    StatusItemButton *button = icon(*host)->statusItem()->button();
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);

    icon(*host)->edit(0); // a plain click toggles
    EXPECT_FALSE(host->isActive());
    EXPECT_EQ(barColor(button->image()), StatusColors::gray());
    EXPECT_EQ(rounds.count(), 0);

    // Control pings and Option opens the form, neither toggling.
    icon(*host)->edit(ModifierFlags::control);
    EXPECT_EQ(rounds.count(), 1);
    EXPECT_FALSE(host->isActive());
    icon(*host)->edit(ModifierFlags::option);
    ASSERT_EQ(delegate.formRequests.size(), 1u);
    EXPECT_EQ(delegate.formRequests[0], host);
    EXPECT_FALSE(host->isActive());

    icon(*host)->edit(ModifierFlags::shift); // as a plain click
    EXPECT_TRUE(host->isActive());
    EXPECT_EQ(barColor(button->image()), StatusColors::green()) << "the old result shows";
    EXPECT_EQ(rounds.count(), 2);
}

TEST_F(StatusItemsTest, HostsSharingANameEachKeepTheirOwnItem) {
    auto first = listed(QStringLiteral("twin"));
    auto second = listed(QStringLiteral("twin"));
    ASSERT_EQ(engine.statusItemCount(), 2);
    ASSERT_NE(engine.statusItem(*first), engine.statusItem(*second));

    // A click on the second icon acts on the second host.
    icon(*second)->statusItem()->button()->performClick();
    EXPECT_TRUE(first->isActive());
    EXPECT_FALSE(second->isActive());

    // Registering again replaces the host's item.
    const HostStatusItem *firstItem = engine.statusItem(*second);
    engine.addStatusItems({second});
    EXPECT_EQ(engine.statusItemCount(), 2);
    EXPECT_NE(engine.statusItem(*second), firstItem);

    engine.removeHost(second);
    EXPECT_EQ(engine.statusItemCount(), 1);
    EXPECT_TRUE(engine.statusItem(*first));
}

TEST_F(StatusItemsTest, AnItemOutlivingItsHostDoesNothingWhenClicked) {
    // Alive, a click would save its engine's list.
    auto host = makeHost(QStringLiteral("gone"));
    host->setEngine(&engine);
    std::unique_ptr<HostStatusItem> item = icons.makeStatusItem(host);
    host.reset();
    static_cast<HostTrayIcon *>(item.get())->statusItem()->button()->performClick();
    static_cast<HostTrayIcon *>(item.get())->edit(ModifierFlags::option);
    EXPECT_FALSE(Settings::hostsData());
    EXPECT_TRUE(delegate.formRequests.empty());
}

// A host's own icon where the desktop's tray shows menus itself: there a click carries no keys,
// so Edit and Ping Now come from a small menu (read over the bus in ExportedMenuTest).
TEST_F(StatusItemsTest, TheIconMenuStartsPausesEditsAndPings) {
    auto host = listed(QStringLiteral("api"));
    HostIconMenu *iconMenu = icon(*host)->menu();
    // Its Pause and the refresh that turns it to Start are read from the desktop's side.
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    iconMenu->pingAction()->trigger();
    EXPECT_EQ(rounds.count(), 1);
    iconMenu->editAction()->trigger();
    ASSERT_EQ(delegate.formRequests.size(), 1u);
    EXPECT_EQ(delegate.formRequests[0], host);

    // The item goes with its host, and its menu with it.
    QPointer<QMenu> menu = iconMenu->menu();
    engine.removeHost(host);
    EXPECT_FALSE(menu);
}
} // namespace
