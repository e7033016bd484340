// Per-host tray icons: what they show, how clicks are read, and how the engine keeps them.
#include "monitoring/HostStatusItemFace.h"
#include "monitoring/HostStore.h"
#include "monitoring/StatusColors.h"
#include "monitoring/TRHostController.h"
#include "platform/DigitAlignedFont.h"
#include "platform/ModifierFlags.h"
#include "platform/PaintedIcon.h"
#include "platform/Settings.h"
#include "platform/StatusItem.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
// The colour of the bar drawn by a 20 x 20 image, and whether the rest is empty.
QColor barColor(const QIcon &image) {
    const QImage pixels = PaintedIcon::render(image, QSize(20, 20));
    return pixels.pixelColor(10, 19);
}

bool clearAboveBar(const QIcon &image) {
    const QImage pixels = PaintedIcon::render(image, QSize(20, 20));
    return pixels.pixelColor(10, 17).alpha() == 0 && pixels.pixelColor(10, 0).alpha() == 0;
}

TEST(HostStatusItemFaceTest, TooltipListsNameAddressDurationAndGestures) {
    auto host = makeHost(QStringLiteral("<b>R&D</b>"), QStringLiteral("http://rd.example"));
    EXPECT_EQ(HostStatusItemFace::toolTip(*host),
              QStringLiteral("<b>R&D</b>\nAddress: http://rd.example\nLast Request Duration: 0ms\n"
                             "\nClick: Toggle Activation\nOption + Click: Edit\n"
                             "Control + Click: Ping Now"));
    const QStringList lines = HostStatusItemFace::toolTip(*host).split(u'\n');
    ASSERT_EQ(lines.size(), 7);
    EXPECT_TRUE(lines.at(3).isEmpty());

    host->setLastRequestDuration(0.2349);
    EXPECT_TRUE(HostStatusItemFace::toolTip(*host).contains(QStringLiteral("Duration: 234ms")));
    host->setLastRequestDuration(1.9999);
    EXPECT_TRUE(HostStatusItemFace::toolTip(*host).contains(QStringLiteral("Duration: 1999ms")));
    host->setLastRequestDuration(12.5);
    EXPECT_TRUE(HostStatusItemFace::toolTip(*host).contains(QStringLiteral("Duration: 12500ms")));
}

TEST(HostStatusItemFaceTest, TitleIsTheShortNameOrHash) {
    auto host = makeHost(QStringLiteral("a"));
    const AttributedText hash = HostStatusItemFace::title(*host);
    EXPECT_EQ(hash.text, QStringLiteral("#"));
    EXPECT_EQ(hash.font.pointSizeF(), 14.0);
    EXPECT_FALSE(hash.color);
    EXPECT_TRUE(DigitAlignedFont::hasAlignedDigits(hash.font));
    EXPECT_DOUBLE_EQ(HostStatusItemFace::length(hash), hash.width() + 4);
    host->setAbbreviation(QStringLiteral("API"));
    EXPECT_EQ(HostStatusItemFace::title(*host).text, QStringLiteral("API"));
}

TEST(HostStatusItemFaceTest, BarImageIsABottomBarInTheGivenColour) {
    const QIcon bar = HostStatusItemFace::barImage(StatusColors::red());
    EXPECT_EQ(barColor(bar), StatusColors::red());
    EXPECT_TRUE(clearAboveBar(bar));
}

TEST(HostStatusItemFaceTest, OnlyControlOrOptionAloneAreSpecialGestures) {
    using G = HostStatusItemFace::Gesture;
    const auto gesture = [](Qt::KeyboardModifiers m) {
        return HostStatusItemFace::gesture(ModifierFlags::fromQt(m));
    };
    EXPECT_EQ(gesture(Qt::ControlModifier), G::PingNow);
    EXPECT_EQ(gesture(Qt::AltModifier), G::Edit);
    EXPECT_EQ(gesture(Qt::NoModifier), G::ToggleActivation);
    EXPECT_EQ(gesture(Qt::ControlModifier | Qt::ShiftModifier), G::ToggleActivation);
    EXPECT_EQ(gesture(Qt::ControlModifier | Qt::AltModifier), G::ToggleActivation);
    EXPECT_EQ(gesture(Qt::ShiftModifier), G::ToggleActivation);
    EXPECT_EQ(gesture(Qt::MetaModifier), G::ToggleActivation);
    EXPECT_EQ(HostStatusItemFace::gesture(ModifierFlags::control | ModifierFlags::capsLock),
              G::ToggleActivation);
    EXPECT_EQ(ModifierFlags::fromQt(Qt::ControlModifier), 0x40000u);
    EXPECT_EQ(ModifierFlags::fromQt(Qt::AltModifier), 0x80000u);
    EXPECT_EQ(ModifierFlags::fromQt(Qt::ShiftModifier | Qt::MetaModifier), 0x120000u);
}

class StatusItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        engine.setMenuBarController(&menu);
    }

    std::shared_ptr<Host> listed(const QString &name, bool withItem = true) {
        auto host = makeHost(name, server.url(QStringLiteral("/ok")));
        host->setHasMenuBarItem(withItem);
        engine.hosts().push_back(host);
        return host;
    }

    TestHttpServer server;
    ManualClock clock;
    RecordingMenuBar menu;
    TRHostController engine{clock};
    FakeDelegate delegate{&engine};
};

TEST_F(StatusItemsTest, LoadGivesEveryMarkedHostItsOwnItem) {
    auto marked = makeHost(QStringLiteral("api"));
    marked->setHasMenuBarItem(true);
    marked->setAbbreviation(QStringLiteral("A"));
    HostStore::write({marked, makeHost(QStringLiteral("web"))});
    engine.load();
    ASSERT_EQ(engine.statusItemCount(), 1);
    StatusItem *item = engine.statusItem(*engine.hosts()[0]);
    ASSERT_TRUE(item);
    EXPECT_EQ(engine.statusItem(*engine.hosts()[1]), nullptr);
    const StatusItemButton *button = item->button();
    EXPECT_EQ(button->attributedTitle()->text, QStringLiteral("A"));
    EXPECT_DOUBLE_EQ(item->length(), button->attributedTitle()->width() + 4);
    EXPECT_TRUE(button->toolTip().startsWith(QStringLiteral("api\nAddress: ")));
    EXPECT_EQ(button->imagePosition(), StatusItemButton::ImagePosition::ImageBelow);
    EXPECT_EQ(button->imageScaling(), StatusItemButton::ImageScaling::AxesIndependently);
    EXPECT_TRUE(button->imageHugsTitle());
    EXPECT_EQ(barColor(button->image()), StatusColors::gray()) << "not checked yet";
}

TEST_F(StatusItemsTest, ANewItemStartsAtLengthZero) {
    auto host = listed(QStringLiteral("a"));
    EXPECT_EQ(host->makeStatusItem()->length(), 0.0);
}

TEST_F(StatusItemsTest, CompletionsRefreshTextsAndStateChangesRedrawTheBar) {
    auto host = listed(QStringLiteral("a"));
    engine.addStatusItems({host});
    StatusItemButton *button = engine.statusItem(*host)->button();
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

TEST_F(StatusItemsTest, PlainClickTogglesAndSavesWithTheBarFollowingAtOnce) {
    auto host = listed(QStringLiteral("a"));
    host->setIsReachable(true);
    engine.addStatusItems({host});
    StatusItemButton *button = engine.statusItem(*host)->button();
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);

    host->edit(0);
    EXPECT_FALSE(host->isActive());
    EXPECT_EQ(barColor(button->image()), StatusColors::gray());
    EXPECT_FALSE(HostStore::readStoredHosts()->at(0)->isActive());
    EXPECT_EQ(rounds.count(), 0);

    host->edit(ModifierFlags::shift);
    EXPECT_TRUE(host->isActive());
    EXPECT_EQ(barColor(button->image()), StatusColors::green()) << "the old result shows";
    EXPECT_EQ(rounds.count(), 1);
}

TEST_F(StatusItemsTest, ControlClickPingsAndOptionClickOpensTheForm) {
    auto host = listed(QStringLiteral("a"));
    host->restoreIsActive(false);
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    host->edit(ModifierFlags::control);
    EXPECT_EQ(rounds.count(), 1);
    EXPECT_FALSE(host->isActive());

    host->edit(ModifierFlags::option);
    ASSERT_EQ(delegate.formRequests.size(), 1u);
    EXPECT_EQ(delegate.formRequests[0], host);
    EXPECT_FALSE(host->isActive()) << "editing leaves it inactive";
}

TEST_F(StatusItemsTest, HostsSharingANameEachKeepTheirOwnItem) {
    auto first = listed(QStringLiteral("twin"));
    auto second = listed(QStringLiteral("twin"));
    engine.addStatusItems(engine.hosts());
    ASSERT_EQ(engine.statusItemCount(), 2);
    ASSERT_NE(engine.statusItem(*first), engine.statusItem(*second));

    // A click on the second icon acts on the second host.
    engine.statusItem(*second)->button()->performClick();
    EXPECT_TRUE(first->isActive());
    EXPECT_FALSE(second->isActive());

    engine.removeHost(second);
    EXPECT_EQ(engine.statusItemCount(), 1);
    EXPECT_TRUE(engine.statusItem(*first));
    engine.removeHost(QStringLiteral("twin"));
    EXPECT_EQ(engine.statusItemCount(), 0);
}

TEST_F(StatusItemsTest, AnItemOutlivingItsHostDoesNothingWhenClicked) {
    auto host = makeHost(QStringLiteral("gone"));
    std::unique_ptr<StatusItem> item = host->makeStatusItem();
    host.reset();
    item->button()->performClick();
    EXPECT_FALSE(Settings::hostsData());
}

TEST_F(StatusItemsTest, RegisteringAgainReplacesTheHostsItem) {
    auto host = listed(QStringLiteral("a"));
    engine.addStatusItems({host});
    const StatusItem *firstItem = engine.statusItem(*host);
    engine.addStatusItems({host});
    EXPECT_EQ(engine.statusItemCount(), 1);
    EXPECT_NE(engine.statusItem(*host), firstItem);
    engine.removeStatusItem(*host);
    EXPECT_EQ(engine.statusItem(*host), nullptr);
}
} // namespace
