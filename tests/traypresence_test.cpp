// Whether a tray shows Tarvik, followed on a private session bus with a small StatusNotifierWatcher
// of the test's own and on a private X server, the window Tarvik opens while there is none, and
// that no tray, however slow or stuck, ever holds up Tarvik's event loop.
#include "app/TRAppDelegate.h"
#include "monitoring/HostStore.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/DesktopTrayBus.h"
#include "support/PrivateDisplay.h"
#include "support/TestSupport.h"
#include "support/TrayAppProcess.h"
#include "trayitem/StatusItem.h"
#include "trayitem/StatusNotifierWatch.h"
#include "traypresence/NoTrayWindow.h"
#include "traypresence/TrayPresence.h"
#include "windows/TRHostsWindow.h"
#include "windows/TRHostsWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

// Xlib last: its macros would clash with the names above.
#include <X11/Xlib.h>

namespace {
class TrayPresenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        bus.disappear();
        watch = std::make_unique<StatusNotifierWatch>(bus.address());
        presence = std::make_unique<TrayPresence>([this] { return embeddedTray; }, *watch);
        QObject::connect(presence.get(), &TrayPresence::trayShownChanged,
                         [this](bool shown) { answers.push_back(shown); });
    }

    bool shownBecomes(bool shown, int ms = 5000) {
        return waitUntil([&] { return presence->isTrayShown() == shown; }, ms);
    }

    DesktopTrayBus bus;
    bool embeddedTray = false;
    std::unique_ptr<StatusNotifierWatch> watch;
    std::unique_ptr<TrayPresence> presence;
    std::vector<bool> answers;
};

TEST_F(TrayPresenceTest, AHostRegisteringOrLeavingTheWatcherOrAnEmbeddedTrayDecides) {
    presence->start();
    ASSERT_TRUE(shownBecomes(false));
    EXPECT_EQ(answers, std::vector<bool>{false});

    bus.appear(false);
    spin(300);
    EXPECT_EQ(presence->isTrayShown(), false) << "a watcher without a host shows nothing";

    bus.setHost(true);
    ASSERT_TRUE(shownBecomes(true));
    bus.setHost(false);
    ASSERT_TRUE(shownBecomes(false));
    bus.setHost(true);
    ASSERT_TRUE(shownBecomes(true));
    bus.disappear();
    ASSERT_TRUE(shownBecomes(false)) << "the watcher went away with its host";
    EXPECT_EQ(answers, (std::vector<bool>{false, true, false, true, false}));

    // Without a watcher, an embedded tray coming and going is noticed all the same.
    embeddedTray = true;
    ASSERT_TRUE(shownBecomes(true, 3 * TrayPresence::embeddedTrayPollMs));
    embeddedTray = false;
    ASSERT_TRUE(shownBecomes(false, 3 * TrayPresence::embeddedTrayPollMs));
}

// An XEmbed tray is whoever holds the X server's tray selection; no panel is asked.
TEST(EmbeddedTrayTest, TheTraySelectionOfTheXServerTells) {
    PrivateDisplay x;
    ASSERT_TRUE(x.isRunning()) << x.error().toStdString();
    Display *display = XOpenDisplay(x.name().toLocal8Bit().constData());
    ASSERT_TRUE(display);
    EXPECT_FALSE(TrayPresence::embeddedTrayOn(display));
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    const Window tray =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, tray, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(TrayPresence::embeddedTrayOn(display));
    XSetSelectionOwner(display, selection, None, CurrentTime);
    XSync(display, False);
    EXPECT_FALSE(TrayPresence::embeddedTrayOn(display)) << "the tray went away";
    XDestroyWindow(display, tray);
    XCloseDisplay(display);
    EXPECT_FALSE(TrayPresence::embeddedTrayOn(nullptr)) << "no X server, no XEmbed tray";
}

// The longest gap between the ticks of a 10 ms timer while `work` runs and the loop then turns
// for `ms`: how long the event loop was held up.
qint64 longestStall(const std::function<void()> &work, int ms) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    ticks.start();
    work();
    spin(ms);
    return std::max(longest, clock.elapsed() - last);
}

// A panel that is stuck (its thread busy elsewhere) and answers only much later: Tarvik asks it
// whether a host is there and registers three items with it meanwhile, and its loop turns on.
TEST(StuckTrayTest, APanelThatDoesNotAnswerNeverHoldsUpTheLoop) {
    DesktopTrayBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    StatusNotifierWatch watch(bus.address());
    bus.hang();
    TrayPresence presence([] { return false; }, watch);
    std::vector<std::unique_ptr<StatusItem>> items;
    QMenu menu;
    menu.addAction(QStringLiteral("Manage"));
    const qint64 stall = longestStall(
        [&] {
            presence.start();
            for (int i = 0; i < 3; ++i) {
                items.push_back(std::make_unique<StatusItem>(20, watch));
                items.back()->setMenu(&menu);
                items.back()->button()->setToolTip(QStringLiteral("item %1").arg(i));
            }
            presence.reevaluate();
        },
        1500);
    EXPECT_LT(stall, 1000) << "the loop stood still for " << stall << " ms";
    EXPECT_FALSE(presence.isTrayShown().has_value()) << "no answer yet";
    EXPECT_TRUE(bus.registeredItems().isEmpty());

    // The late answers arrive and count: the watcher there at the start has a host.
    bus.release();
    EXPECT_TRUE(waitUntil([&] { return presence.isTrayShown() == true; }));
    EXPECT_TRUE(waitUntil([&] { return bus.registeredItems().size() == 3; }))
        << bus.registeredItems().join(u' ').toStdString();
    EXPECT_TRUE(waitUntil([&] { return items.front()->isExported(); }));
}

// The real Tarvik (its main icon and two host icons) on an X display, with a panel that, like
// LXQt's, calls every item back with blocking calls as it registers, and that is stuck when
// Tarvik starts. Tarvik keeps answering meanwhile, registers every item once the panel wakes,
// answers each call back, and registers them all again when the panel restarts.
TEST(StuckTrayTest, ThePanelCallingBackWhileTarvikRegistersDoesNotDeadlock) {
    PrivateDisplay x;
    ASSERT_TRUE(x.isRunning()) << x.error().toStdString();
    DesktopTrayBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    resetSettings();
    auto first = makeHost(QStringLiteral("first"), QStringLiteral("http://127.0.0.1:9/"));
    auto second = makeHost(QStringLiteral("second"), QStringLiteral("http://127.0.0.1:9/"));
    first->setHasMenuBarItem(true);
    second->setHasMenuBarItem(true);
    ASSERT_TRUE(HostStore::write({first, second}));
    // Far longer than an answer takes, far shorter than D-Bus's own 25 s timeout.
    bus.callBackOnRegistration(8000);
    bus.hang();

    TrayAppProcess tarvik(QStringLiteral(TARVIK_BINARY), x.name());
    ASSERT_TRUE(tarvik.answers()) << tarvik.output().toStdString();
    // While the panel is stuck, Tarvik answers as quickly as ever.
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(tarvik.answers(3000)) << "question " << i << " while the panel is stuck";
        spin(200);
    }

    // Once the panel wakes, and again after it restarts as a new watcher that knows no items:
    // every item registers and answers each call back.
    bus.release();
    for (int round = 1; round <= 2; ++round) {
        if (round == 2) {
            bus.disappear();
            bus.appear();
        }
        ASSERT_TRUE(waitUntil([&] { return bus.callBacks().size() >= 3 * round; }, 20000))
            << bus.callBacks().size() << " call backs in round " << round << "; "
            << tarvik.output().toStdString();
        for (const DesktopTrayBus::CallBack &back : bus.callBacks())
            EXPECT_TRUE(back.answered) << back.item.toStdString() << " after " << back.ms << " ms";
        EXPECT_EQ(bus.registeredItems().size(), 3)
            << bus.registeredItems().join(u' ').toStdString();
    }
}

// The application as it starts on a desktop without a tray.
class NoTrayAppTest : public TrayPresenceTest {
protected:
    void SetUp() override {
        resetSettings();
        TrayPresenceTest::SetUp();
        if (HasFatalFailure())
            return;
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

TEST_F(NoTrayAppTest, TheWindowOpensWithoutATrayClosesWhenOneAppearsAndQuitEndsTheApp) {
    ASSERT_TRUE(windowShown(true));
    NoTrayWindow *window = delegate.noTrayWindow();
    TRHostsWindow *hosts = delegate.menuBarController()->hostsWindowController()->hostsWindow();
    window->close();
    delegate.bringForward();
    EXPECT_TRUE(window->isVisible()) << "a second start brings the closed window back";
    EXPECT_FALSE(hosts->isVisible());
    window->manageHostsButton()->click();
    EXPECT_TRUE(hosts->isVisible());
    hosts->close();

    bus.appear();
    ASSERT_TRUE(windowShown(false)) << "a tray appeared";
    delegate.bringForward();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(hosts->isVisible()) << "with a tray, a second start opens the hosts window";
    hosts->close();

    bus.disappear();
    ASSERT_TRUE(windowShown(true)) << "the tray went away again";
    // Its Quit ends the application.
    QTimer::singleShot(0, window->quitButton(), &QPushButton::click);
    QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 0);
}
} // namespace
