// Whether a tray shows Tarvik, followed on a private session bus with a small StatusNotifierWatcher
// of the test's own, and the window Tarvik opens while there is none.
#include "app/TRAppDelegate.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateSessionBus.h"
#include "support/TestSupport.h"
#include "traypresence/NoTrayWindow.h"
#include "traypresence/TrayPresence.h"
#include "windows/TRHostsWindow.h"
#include "windows/TRHostsWindowController.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
using FakeWatcher = FakeStatusNotifierWatcher;

class TrayPresenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        presence = std::make_unique<TrayPresence>([this] { return embeddedTray; },
                                                  bus.connect(QStringLiteral("presence")));
        QObject::connect(presence.get(), &TrayPresence::trayShownChanged,
                         [this](bool shown) { answers.push_back(shown); });
    }

    bool shownBecomes(bool shown, int ms = 5000) {
        return waitUntil([&] { return presence->isTrayShown() == shown; }, ms);
    }

    PrivateSessionBus bus;
    bool embeddedTray = false;
    FakeWatcher watcher{bus.connect(QStringLiteral("watcher"))};
    std::unique_ptr<TrayPresence> presence;
    std::vector<bool> answers;
};

TEST_F(TrayPresenceTest, AHostRegisteringOrLeavingTheWatcherDecides) {
    presence->start();
    ASSERT_TRUE(shownBecomes(false));
    EXPECT_EQ(answers, std::vector<bool>{false});

    ASSERT_TRUE(watcher.appear(false));
    spin(300);
    EXPECT_EQ(presence->isTrayShown(), false) << "a watcher without a host shows nothing";

    watcher.setHost(true);
    ASSERT_TRUE(shownBecomes(true));
    watcher.setHost(false);
    ASSERT_TRUE(shownBecomes(false));
    watcher.setHost(true);
    ASSERT_TRUE(shownBecomes(true));
    watcher.leave();
    ASSERT_TRUE(shownBecomes(false)) << "the watcher went away with its host";
    EXPECT_EQ(answers, (std::vector<bool>{false, true, false, true, false}));
}

TEST_F(TrayPresenceTest, AWatcherWithAHostBeforeTheStartIsATrayAtOnce) {
    ASSERT_TRUE(watcher.appear(true));
    presence->start();
    ASSERT_TRUE(shownBecomes(true));
    EXPECT_EQ(answers, std::vector<bool>{true});
}

TEST_F(TrayPresenceTest, AnEmbeddedTrayComingAndGoingIsNoticedWithoutAWatcher) {
    presence->start();
    ASSERT_TRUE(shownBecomes(false));
    embeddedTray = true;
    ASSERT_TRUE(shownBecomes(true, 3 * TrayPresence::embeddedTrayPollMs));
    embeddedTray = false;
    ASSERT_TRUE(shownBecomes(false, 3 * TrayPresence::embeddedTrayPollMs));
}

// The application as it starts on a desktop without a tray.
class NoTrayAppTest : public TrayPresenceTest {
protected:
    void SetUp() override {
        resetSettings();
        TrayPresenceTest::SetUp();
        if (HasFatalFailure())
            return;
        bus.becomeTheSessionBus();
        AppDelegate::setCurrent(&delegate);
        delegate.setTrayPresence(std::move(presence));
        delegate.setUp();
    }
    void TearDown() override { AppDelegate::setCurrent(nullptr); }

    bool windowShown(bool shown) {
        return waitUntil([&] {
            return delegate.noTrayWindow() && delegate.noTrayWindow()->isVisible() == shown;
        });
    }

    TRAppDelegate delegate;
};

TEST_F(NoTrayAppTest, TheWindowOpensWithoutATrayAndClosesWhenOneAppears) {
    ASSERT_TRUE(windowShown(true));
    NoTrayWindow *window = delegate.noTrayWindow();
    window->manageHostsButton()->click();
    TRHostsWindow *hosts = delegate.menuBarController()->hostsWindowController()->hostsWindow();
    EXPECT_TRUE(hosts->isVisible());
    hosts->close();

    ASSERT_TRUE(watcher.appear(true));
    ASSERT_TRUE(windowShown(false)) << "a tray appeared";
    delegate.bringForward();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(hosts->isVisible()) << "with a tray, a second start opens the hosts window";
    hosts->close();

    watcher.leave();
    ASSERT_TRUE(windowShown(true)) << "the tray went away again";
}

TEST_F(NoTrayAppTest, ASecondStartBringsTheClosedWindowBack) {
    ASSERT_TRUE(windowShown(true));
    delegate.noTrayWindow()->close();
    delegate.bringForward();
    EXPECT_TRUE(delegate.noTrayWindow()->isVisible());
    EXPECT_FALSE(delegate.menuBarController()->hostsWindowController()->hostsWindow()->isVisible());
}

TEST_F(NoTrayAppTest, QuitEndsTheApplication) {
    ASSERT_TRUE(windowShown(true));
    QTimer::singleShot(0, delegate.noTrayWindow()->quitButton(), &QPushButton::click);
    QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 0);
}
} // namespace
