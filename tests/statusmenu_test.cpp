// The main tray icon and its menu: rows, down count, tooltip, the commands and preferences,
// and the menu as a desktop reads it over D-Bus.
#include "drawing/PaintedIcon.h"
#include "drawing/StatusColors.h"
#include "login/LoginItem.h"
#include "menuitems/EditButton.h"
#include "menuitems/LMMenuItem.h"
#include "menuitems/StateButton.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "settings/Settings.h"
#include "statusmenu/DateText.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/DesktopTrayBus.h"
#include "support/FakeDelegate.h"
#include "support/PrivateDisplay.h"
#include "support/ProcessLimits.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "support/TrayAppProcess.h"
#include "trayitem/StatusItem.h"
#include "updates/Updater.h"
#include "windows/TRHostsWindow.h"
#include "windows/TRHostsWindowController.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QUrl>

#include <gtest/gtest.h>

namespace {
QColor dotColor(const QAction *row) {
    return PaintedIcon::render(row->icon(), QSize(10, 10)).pixelColor(5, 5);
}

QStringList fixedItems() {
    return QStringLiteral("Manage|---|Ping Now|Ping Frequency|---|More|Quit").split(u'|');
}

QString shownText(const QString &html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

QStringList names(const char *spaced) {
    return QString::fromLatin1(spaced).split(u' ');
}

QStringList titles(const QMenu *menu) {
    QStringList list;
    for (const QAction *action : menu->actions())
        list << (action->isSeparator() ? QStringLiteral("---") : action->text());
    return list;
}

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }

    // The hosts, held by the engine as the hosts it takes are, then the menu linked to it.
    void link(const QStringList &names) {
        for (const QString &name : names)
            listHost(engine, makeHost(name));
        controller->setHostController(&engine);
    }

    StatusItemButton *button() const { return controller->statusItem()->button(); }
    QImage icon() const { return PaintedIcon::render(button()->image(), QSize(20, 20)); }
    // The down count the item shows beside its icon.
    QString count() const {
        const auto title = button()->attributedTitle();
        return title ? title->text : QStringLiteral("(none)");
    }

    ManualClock clock;
    TRHostController engine{clock};
    std::unique_ptr<TRMenuBarController> controller = std::make_unique<TRMenuBarController>();
    FakeDelegate delegate{&engine};
};

TEST_F(MenuTest, LinkingAndEachChangeOfTheListLeaveExactlyOneRowPerHostInListOrder) {
    EXPECT_EQ(titles(controller->menu()), fixedItems()) << "before the link, no rows";
    EXPECT_EQ(controller->statusItem()->length(), 20.0);
    EXPECT_TRUE(button()->toolTip().isEmpty());

    link(names("A B"));
    ASSERT_TRUE(controller->hostsWindowController());
    EXPECT_EQ(titles(controller->menu()), names("A B") + fixedItems());
    const QList<LMMenuItem *> rows = controller->hostRows();
    ASSERT_EQ(rows.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(rows[i]->modelObject(), engine.hosts()[size_t(i)]);
        EXPECT_EQ(dotColor(rows[i]), StatusColors::gray());
    }

    engine.setAsleep(true); // no checks of the hosts added: only rows are looked at
    engine.addHost(makeHost(QStringLiteral("C")));
    engine.moveHost(engine.hosts()[1], 0);
    EXPECT_EQ(titles(controller->menu()), names("B A C") + fixedItems());
    EXPECT_EQ(controller->hostRows().mid(0, 2), QList<LMMenuItem *>({rows[1], rows[0]}))
        << "the others keep their rows";
    // Removed rows are deleted once control returns to the loop.
    QPointer<LMMenuItem> removed = rows[0];
    engine.removeHost(engine.hosts()[1]);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(removed);
    EXPECT_EQ(controller->menu()->findChildren<LMMenuItem *>().size(), 2);
    EXPECT_EQ(titles(controller->menu()).mid(0, 2), names("B C"));
    // A whole new list (an import) keeps the rows of the hosts it still holds, and a rename
    // keeps its row too: an exported copy of the menu (ExportedMenuTest) keeps reaching it.
    QPointer<LMMenuItem> kept = controller->hostRows()[1];
    engine.setHosts(HostList{makeHost(QStringLiteral("E")), engine.hosts()[1]});
    HostEdit renamed = editOf(*engine.hosts()[1]);
    renamed.name = QStringLiteral("renamed");
    engine.updateHost(engine.hosts()[1], renamed);
    EXPECT_EQ(titles(controller->menu()), names("E renamed") + fixedItems());
    EXPECT_EQ(controller->hostRows()[1], kept);
}

TEST_F(MenuTest, RefreshingARowFindsItsHost) {
    link(names("A twin twin"));
    const QList<LMMenuItem *> rows = controller->hostRows();
    auto second = engine.hosts()[2];
    second->setIsReachable(false);
    controller->refreshHostItem(*second);
    EXPECT_EQ(dotColor(rows[2]), StatusColors::red()) << "the row of that very host";
    EXPECT_EQ(dotColor(rows[1]), StatusColors::gray());

    // A host no longer listed is found by name; the row shows its own host's colour.
    engine.hosts()[0]->setIsReachable(true);
    auto stray = makeHost(QStringLiteral("A"));
    stray->setIsReachable(false);
    controller->refreshHostItem(*stray);
    EXPECT_EQ(dotColor(rows[0]), StatusColors::green());

    engine.hosts()[1]->setIsReachable(true);
    controller->refreshHostItem(*makeHost(QStringLiteral("nobody")));
    EXPECT_EQ(dotColor(rows[1]), StatusColors::gray());
}

TEST_F(MenuTest, TooltipAndRowsSayWhenAndWhichHostsAreDownAndWhy) {
    Settings::setPingFrequency(900);
    link(names("a b c d e f g up"));
    HttpResult failed, ok;
    failed.status = 503;
    failed.failure = HttpFailure::HttpStatus;
    ok.ok = true;
    for (const auto &host : engine.hosts()) {
        const bool down = host->string() != u"up";
        host->setLastOutcome(host->lastOutcome().next(down ? failed : ok, clock.now()));
        host->setIsReachable(!down);
    }
    engine.hosts()[6]->restoreIsActive(false); // paused hosts are not down
    for (const auto &host : engine.hosts())
        engine.hostStateDidChange(*host);
    controller->updateToolTip();
    EXPECT_EQ(controller->hostRows().at(7)->toolTip(), QStringLiteral("up: up"));

    // A slow host is yellow and listed after the down ones, and is not down.
    const auto up = engine.hosts()[7];
    for (int answer = 0; answer < 2; ++answer)
        up->recordSlowness(true, true, QStringLiteral("slow (1.2 s > 1 s)"));
    engine.hostStateDidChange(*up);
    controller->updateToolTip();
    const QDateTime last = engine.lastPingDate();
    EXPECT_EQ(button()->toolTip(),
              QStringLiteral("Tarvik " TARVIK_VERSION "\nLast Ping: ") +
                  DateText::shortDateMediumTime(last) + QStringLiteral("\nNext Ping: ") +
                  DateText::shortDateMediumTime(last.addSecs(900)) +
                  QStringLiteral("\na: HTTP 503\nb: HTTP 503\nc: HTTP 503\nd: HTTP 503\n"
                                 "e: HTTP 503\nand 1 more\nup: slow (1.2 s > 1 s)"));
    EXPECT_EQ(controller->hostRows().at(0)->toolTip(), QStringLiteral("a: HTTP 503"));
    EXPECT_EQ(controller->hostRows().at(7)->toolTip(), QStringLiteral("up: slow (1.2 s > 1 s)"));
    EXPECT_EQ(dotColor(controller->hostRows().at(7)), StatusColors::yellow());
    // Which hosts count is the engine's (EngineTest); the count is a red title beside the icon.
    EXPECT_EQ(count(), QStringLiteral("6"));
    EXPECT_EQ(button()->attributedTitle()->color, std::optional<QColor>(StatusColors::red()));
    EXPECT_DOUBLE_EQ(controller->statusItem()->length(), button()->attributedTitle()->width() + 24);
}

TEST_F(MenuTest, AnOfflineMachineAndARunningRoundShowInTheIcon) {
    TestHttpServer server;
    listHost(engine, makeHost(QStringLiteral("slow"), server.url(QStringLiteral("/delay/300"))));
    listHost(engine, makeHost(QStringLiteral("fast"), server.url(QStringLiteral("/status/500"))));
    engine.hosts()[1]->setIsReachable(false);
    engine.setResumeDelay(std::chrono::hours(1)); // no round of its own on coming back
    const QImage online = icon();
    // Offline before the link shows from the start: no count, the reason said, the whole icon
    // gray (faint edges carry rounding).
    engine.setReachability(TRHostController::Reachability::Offline);
    controller->setHostController(&engine);
    EXPECT_EQ(count(), QStringLiteral("(none)"));
    EXPECT_TRUE(button()->toolTip().contains(
        QStringLiteral("\nOffline: checks resume when the network is back")));
    const QImage offline = icon();
    const QColor gray = StatusColors::gray();
    for (int y = 0; y < offline.height(); ++y)
        for (int x = 0; x < offline.width(); ++x) {
            const QColor c = offline.pixelColor(x, y);
            ASSERT_TRUE(c.alpha() < 128 || std::abs(c.red() - gray.red()) +
                                                   std::abs(c.green() - gray.green()) +
                                                   std::abs(c.blue() - gray.blue()) <=
                                               6)
                << x << "," << y << " " << c.name().toStdString();
        }
    engine.setReachability(TRHostController::Reachability::Online);
    EXPECT_EQ(icon(), online);
    EXPECT_EQ(count(), QStringLiteral("1"));

    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.ping();
    EXPECT_TRUE(button()->toolTip().contains(
        QStringLiteral("\nChecking: 2 of 2 hosts still answering\nfast: "))); // the down ones after
    ASSERT_TRUE(waitUntil(
        [&] { return button()->toolTip().contains(QStringLiteral("Checking: 1 of 2")); }));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_FALSE(button()->toolTip().contains(QStringLiteral("Checking")));
    EXPECT_TRUE(button()->toolTip().endsWith(QStringLiteral("\nfast: HTTP 500")));
    EXPECT_EQ(count(), QStringLiteral("1"));

    // Offline once linked, and back.
    engine.setReachability(TRHostController::Reachability::Offline);
    EXPECT_EQ(count(), QStringLiteral("(none)"));
    EXPECT_EQ(controller->statusItem()->length(), 20.0) << "narrow again";
    EXPECT_EQ(icon(), offline);
    EXPECT_TRUE(button()->toolTip().contains(QStringLiteral("\nOffline: ")));
    engine.setReachability(TRHostController::Reachability::Online);
    EXPECT_EQ(count(), QStringLiteral("1"));
    EXPECT_EQ(icon(), online);
}

TEST(DateTextTest, ShortDateAndTimeWithSeconds) {
    const QDateTime when(QDate(2026, 3, 1), QTime(14, 5, 9));
    EXPECT_EQ(DateText::shortDateMediumTime(when, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("3/1/26, 2:05:09 PM"));
    EXPECT_EQ(DateText::shortDateMediumTime(when, QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("01.03.26, 14:05:09"));
}

TEST_F(MenuTest, RemovingFromARowRemovesThatHostAndReopensTarviksOwnMenu) {
    link(names("twin twin c"));
    auto second = engine.hosts()[1];
    controller->statusItem()->popUpMenu();
    ASSERT_TRUE(controller->menu()->isVisible());
    controller->hostRows()[1]->requestRemove();
    EXPECT_EQ(engine.hosts().size(), 3u) << "deferred until the click is handled";
    ASSERT_TRUE(waitUntil([&] { return engine.hosts().size() == 2; }));
    EXPECT_EQ(std::count(engine.hosts().begin(), engine.hosts().end(), second), 0);
    EXPECT_TRUE(controller->menu()->isVisible());
    controller->menu()->hide();

    // From the desktop's own copy of the menu (Tarvik's is shut): that copy was the menu, and
    // no other opens.
    controller->hostRows()[1]->requestRemove();
    ASSERT_TRUE(waitUntil([&] { return engine.hosts().size() == 1; }));
    spin(50);
    EXPECT_FALSE(controller->menu()->isVisible());
}

// Pausing from a row saves the list, which used to rebuild every row and delete the open one
// with its submenu: the menu closed and the new state was never seen. Edit from it closes the
// menu and opens the form.
TEST_F(MenuTest, RowsHaveSubmenusWhileTheMenuIsOpenPauseKeepsTheOpenRowAndEditClosesIt) {
    link(names("a b"));
    EXPECT_FALSE(controller->hostRows()[0]->menu());
    QMenu *menu = controller->menu();
    menu->popup(QPoint(10, 10));
    for (LMMenuItem *row : controller->hostRows())
        EXPECT_TRUE(row->menu()) << "every row shows its submenu arrow";
    QPointer<LMMenuItem> row = controller->hostRows()[1];
    menu->setActiveAction(row);
    if (!row->buttonMenu()->isVisible())
        QTest::keyClick(menu, Qt::Key_Right);
    QPointer<QMenu> submenu = row->buttonMenu();
    ASSERT_TRUE(submenu && submenu->isVisible());
    QPointer<StateButton> button = row->stateButton();
    ASSERT_TRUE(button);

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(9, 9));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(9, 9));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();

    EXPECT_FALSE(engine.hosts()[1]->isActive());
    EXPECT_FALSE(HostStore::readStoredHosts()->at(1)->isActive()) << "saved";
    ASSERT_TRUE(row) << "the open row was deleted";
    ASSERT_TRUE(submenu && button);
    EXPECT_EQ(controller->hostRows()[1], row.data());
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(submenu->isVisible());
    EXPECT_EQ(button->imageName(), QStringLiteral("LMPlay"));
    EXPECT_EQ(dotColor(row), StatusColors::gray());

    QTest::mousePress(row->editButton(), Qt::LeftButton);
    QTest::mouseRelease(row->editButton(), Qt::LeftButton);
    ASSERT_EQ(delegate.formRequests.size(), 1u);
    EXPECT_EQ(delegate.formRequests[0], engine.hosts()[1]);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_TRUE(waitUntil([&] { return !controller->hostRows()[0]->menu(); }));
    controller->manageClick();
    EXPECT_TRUE(controller->hostsWindowController()->hostsWindow()->isVisible());
    controller->hostsWindowController()->hostsWindow()->close();
}

TEST_F(MenuTest, WithNoHostsTheFirstRowAddsOne) {
    link({});
    ASSERT_EQ(titles(controller->menu()).first(), QStringLiteral("Add Host\u2026"));
    EXPECT_EQ(titles(controller->menu()).mid(1), fixedItems());
    controller->menu()->actions().first()->trigger();
    ASSERT_EQ(delegate.formRequests.size(), 1u);
    EXPECT_EQ(delegate.formRequests[0], nullptr) << "the form for a new host";

    const std::shared_ptr<Host> added = engine.addHost(QStringLiteral("http://127.0.0.1:1/"));
    EXPECT_EQ(titles(controller->menu()),
              QStringList{QStringLiteral("http://127.0.0.1:1/")} + fixedItems());
    engine.removeHost(added);
    EXPECT_EQ(titles(controller->menu()).first(), QStringLiteral("Add Host\u2026"));
}

TEST_F(MenuTest, LongNamesAreShortenedInRowsAndReadWholeInTheirTooltips) {
    const QString longName =
        QStringLiteral("<b>a-very-long-host-name</b>-that-goes-on.example.com/status");
    link({longName, QStringLiteral("b")});
    LMMenuItem *row = controller->hostRows()[0];
    // Hovered in Tarvik's own menu, the row opens its submenu at once; its tooltip, the row's
    // line (name and last result) with the whole name, still shows, as plain text.
    QMenu *menu = controller->menu();
    controller->statusItem()->popUpMenu();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    const QPoint onRow = menu->actionGeometry(row).center();
    QTest::mouseMove(menu, onRow - QPoint(4, 0));
    QTest::mouseMove(menu, onRow);
    ASSERT_TRUE(waitUntil([&] { return row->buttonMenu() && row->buttonMenu()->isVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return QToolTip::isVisible(); }, 3000));
    EXPECT_EQ(shownText(QToolTip::text()), longName + QStringLiteral(": not checked yet"));

    // Another row without a submenu open yet, then none: the tooltip follows.
    LMMenuItem *other = controller->hostRows()[1];
    QTest::mouseMove(menu, menu->actionGeometry(other).center());
    ASSERT_TRUE(waitUntil(
        [&] {
            return QToolTip::isVisible() &&
                   shownText(QToolTip::text()) == QStringLiteral("b: not checked yet");
        },
        3000));
    menu->hide();
    EXPECT_TRUE(waitUntil([] { return !QToolTip::isVisible(); }));
}

QAction *item(const QMenu *menu, const QString &title) {
    for (QAction *action : menu->actions())
        if (action->text() == title)
            return action;
    return nullptr;
}

QStringList checked(const QMenu *menu) {
    QStringList titles;
    for (const QAction *action : menu->actions())
        if (action->isChecked())
            titles << action->text();
    return titles;
}

QString autostartEntry() {
    return LoginItem::entryPath(QString::fromLatin1(LoginItem::helperIdentifier));
}

// Receives the addresses the desktop is asked to open, instead of a browser or mail program.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

struct DelegateWithUpdater : FakeDelegate {
    using FakeDelegate::FakeDelegate;
    Updater *updater() const override { return offered; }
    Updater *offered = nullptr;
};

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        QFile::remove(autostartEntry());
    }

    std::unique_ptr<TRMenuBarController> makeMenu() {
        auto controller = std::make_unique<TRMenuBarController>();
        controller->setHostController(&engine);
        return controller;
    }

    ManualClock clock;
    TRHostController engine{clock};
};

TEST_F(CommandsTest, TheStoredFrequencyCarriesTheCheckMarkAndAChoiceMovesIt) {
    EXPECT_EQ(checked(makeMenu()->pingFrequencyMenu()), QStringList{QStringLiteral("1 minute")});
    Settings::setPingFrequency(120);
    auto controller = makeMenu();
    QMenu *menu = controller->pingFrequencyMenu();
    EXPECT_TRUE(checked(menu).isEmpty());

    // Each choice in order moves the mark, is stored and renews the tooltip; choosing the marked
    // item again keeps it.
    ASSERT_EQ(titles(menu),
              QStringLiteral("1 minute|5 minutes|15 minutes|30 minutes|1 hour").split(u'|'));
    const qint64 seconds[] = {60, 300, 900, 1800, 3600};
    QString toolTip = controller->statusItem()->button()->toolTip();
    for (int i = 0; i < 5; ++i) {
        QAction *choice = menu->actions()[i];
        SCOPED_TRACE(choice->text().toStdString());
        choice->trigger();
        choice->trigger();
        EXPECT_EQ(checked(menu), QStringList{choice->text()});
        EXPECT_EQ(Settings::wholePingFrequency(), std::optional<qint64>(seconds[i]));
        EXPECT_EQ(engine.pingFrequency(), double(seconds[i]));
        EXPECT_NE(controller->statusItem()->button()->toolTip(), toolTip);
        toolTip = controller->statusItem()->button()->toolTip();
    }
    for (const QMenu *shown : {controller->menu(), menu, controller->moreMenu()})
        for (const QAction *action : shown->actions())
            EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
}

TEST_F(CommandsTest, CheckItemsAreStoredAndLaunchAtLoginTwiceReturnsEverythingToWhereItStarted) {
    auto controller = makeMenu();
    QAction *launch = controller->launchAtLoginMenuItem();
    EXPECT_FALSE(launch->isChecked());
    EXPECT_FALSE(QFile::exists(autostartEntry())) << "unregistered at start";

    launch->trigger();
    EXPECT_TRUE(launch->isChecked());
    EXPECT_TRUE(Settings::launchAtLogin());
    EXPECT_TRUE(QFile::exists(autostartEntry())) << "the helper's entry, read in LoginItemTest";

    launch->trigger();
    EXPECT_FALSE(launch->isChecked());
    EXPECT_FALSE(Settings::launchAtLogin());
    EXPECT_FALSE(QFile::exists(autostartEntry()));

    // At start the registration follows the stored choice.
    Settings::setLaunchAtLogin(true);
    EXPECT_TRUE(makeMenu()->launchAtLoginMenuItem()->isChecked());
    EXPECT_TRUE(QFile::exists(autostartEntry()));

    // Notifications: on by default, stored under its own key, and read at start.
    QAction *notifications = controller->notificationsMenuItem();
    EXPECT_TRUE(Settings::notificationsEnabled());
    EXPECT_TRUE(notifications->isChecked());
    notifications->trigger();
    EXPECT_FALSE(notifications->isChecked());
    EXPECT_FALSE(Settings::notificationsEnabled());
    EXPECT_FALSE(makeMenu()->notificationsMenuItem()->isChecked());
}

TEST_F(CommandsTest, AFailedRegistrationShowsWhatIsRegisteredAndSaysWhy) {
    auto controller = makeMenu();
    EXPECT_FALSE(controller->failureBox()) << "nothing to say";
    // A file where the autostart folder should be makes writing the entry fail.
    const QString folder = QFileInfo(autostartEntry()).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    testing::internal::CaptureStdout();
    controller->launchAtLoginMenuItem()->trigger();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Changing login item status failed.\n");
    EXPECT_FALSE(controller->launchAtLoginMenuItem()->isChecked());
    EXPECT_FALSE(Settings::launchAtLogin());
    ASSERT_TRUE(controller->failureBox());
    EXPECT_TRUE(controller->failureBox()->isVisible());
    EXPECT_TRUE(controller->failureBox()->text().startsWith(
        QStringLiteral("Tarvik cannot be set to start at login: the folder ") + folder))
        << controller->failureBox()->text().toStdString();

    // At start the stored choice is tried again, and a failure is said the same way.
    Settings::setLaunchAtLogin(true);
    testing::internal::CaptureStdout();
    auto again = makeMenu();
    out = testing::internal::GetCapturedStdout();
    QFile::remove(folder);
    EXPECT_EQ(out, "Changing login item status failed.\n");
    EXPECT_FALSE(again->launchAtLoginMenuItem()->isChecked());
    EXPECT_TRUE(Settings::launchAtLogin()) << "the choice stays for the next start";
    ASSERT_TRUE(again->failureBox());
    EXPECT_TRUE(again->failureBox()->isVisible());
    again->failureBox()->close();
    controller->failureBox()->close();
}

TEST_F(CommandsTest, AChoiceThatCannotBeStoredIsNotTakenAndSaysSo) {
    Settings::setPingFrequency(300);
    // A settings file past the size limit below, which the autostart entry stays within.
    HostStore::write({makeHost(QString(2000, u'x'))});
    auto controller = makeMenu();
    QMenu *menu = controller->pingFrequencyMenu();
    {
        FileSizeLimit full(1024);
        item(menu, QStringLiteral("1 hour"))->trigger();
        controller->notificationsMenuItem()->trigger();
        controller->launchAtLoginMenuItem()->trigger();
    }
    EXPECT_EQ(checked(menu), QStringList{QStringLiteral("5 minutes")});
    EXPECT_EQ(engine.pingFrequency(), 300.0);
    EXPECT_TRUE(controller->notificationsMenuItem()->isChecked());
    EXPECT_TRUE(Settings::notificationsEnabled());
    EXPECT_FALSE(controller->launchAtLoginMenuItem()->isChecked());
    EXPECT_FALSE(QFile::exists(autostartEntry())) << "an unstored choice is undone";
    ASSERT_TRUE(controller->failureBox());
    EXPECT_TRUE(controller->failureBox()->isVisible());
    EXPECT_EQ(controller->failureBox()->text(),
              QStringLiteral("The \"Launch at Login\" choice cannot be saved in ") +
                  Settings::fileName() + QStringLiteral(", so it stays as it was."));
    controller->failureBox()->close();

    item(menu, QStringLiteral("1 hour"))->trigger();
    EXPECT_EQ(checked(menu), QStringList{QStringLiteral("1 hour")}) << "with room, it is taken";
}

TEST_F(CommandsTest, SupportAndRateOpenTheProjectsPage) {
    UrlRecorder recorder;
    auto controller = makeMenu();
    QAction *support = item(controller->moreMenu(), QStringLiteral("Support"));
    QAction *rate = item(controller->moreMenu(), QStringLiteral("Rate Tarvik"));
    const QString page = QStringLiteral("https://tarvik.example.org/project");
    controller->setProjectPage(page);
    support->trigger();
    rate->trigger();
    EXPECT_EQ(recorder.opened, (QList<QUrl>{QUrl(page), QUrl(page)}));

    controller->setProjectPage(QString());
    EXPECT_FALSE(support->isEnabled()) << "a build without a page has nothing to open";
    EXPECT_FALSE(rate->isEnabled());
    controller->supportClick();
    EXPECT_EQ(recorder.opened.size(), 2);
}

TEST_F(CommandsTest, CheckForUpdatesGoesToTheUpdaterWhenThereIsOne) {
    DelegateWithUpdater delegate(&engine);
    EXPECT_FALSE(item(makeMenu()->moreMenu(), QStringLiteral("Check for Updates"))->isEnabled());
    TestHttpServer server;
    Updater updater(server.url(QStringLiteral("/hang")), QStringLiteral("1.0.0"));
    updater.setQuiet(true);
    delegate.offered = &updater;
    auto controller = makeMenu();
    QAction *check = item(controller->moreMenu(), QStringLiteral("Check for Updates"));
    ASSERT_TRUE(check->isEnabled());
    check->trigger();
    EXPECT_TRUE(updater.isChecking());
}

} // namespace

// The menu and a host's own icon as a desktop with a D-Bus tray sees them: the real Tarvik on its
// own X display and a private session bus, read and clicked over the bus.
namespace {
using Entry = DesktopTrayBus::MenuEntry;

// Every visible labelled entry by its path ("/down/Pause"), with its id.
QMap<QString, int> idsOf(const Entry &entry, const QString &path = QString()) {
    QMap<QString, int> ids;
    for (const Entry &child : entry.children) {
        const QString name = path + u'/' + child.label();
        if (!child.label().isEmpty() && child.visible())
            ids.insert(name, child.id);
        ids.insert(idsOf(child, name));
    }
    return ids;
}

QByteArray dotOf(const Entry &menu, const QString &row) {
    const Entry *entry = menu.find(row);
    return entry ? entry->properties.value(QStringLiteral("icon-data")).toByteArray()
                 : QByteArray();
}

// Started before the desktop's panel, as at a login where it comes first, Tarvik runs without a
// tray; once the panel comes, every icon is there and the menu reads with ids that last.
TEST(ExportedMenuTest, ItemIdsSurviveStateChangesAndStructureChangesMoveTheRevision) {
    PrivateDisplay display;
    ASSERT_TRUE(display.isRunning()) << display.error().toStdString();
    DesktopTrayBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    bus.disappear();
    auto server = std::make_unique<TestHttpServer>();
    resetSettings();
    const QString typed = QStringLiteral("<b>R&D</b> ops_team & co");
    auto withIcon = makeHost(typed, server->url(QStringLiteral("/ok")));
    withIcon->setHasMenuBarItem(true);
    HostStore::write({makeHost(QStringLiteral("up"), server->url(QStringLiteral("/ok"))),
                      makeHost(QStringLiteral("down"), server->url(QStringLiteral("/status/503"))),
                      withIcon});

    TrayAppProcess tarvik(QStringLiteral(TARVIK_BINARY), display.name());
    ASSERT_TRUE(tarvik.answers()) << tarvik.output().toStdString();
    EXPECT_TRUE(bus.registeredItems().isEmpty());
    bus.appear();
    ASSERT_TRUE(waitUntil([&] { return bus.registeredItems().size() == 2; }, 10000))
        << bus.registeredItems().join(u' ').toStdString() << tarvik.output().toStdString();
    const auto found = bus.itemWhoseMenu(DesktopTrayBus::showing(QStringLiteral("Manage")));
    ASSERT_TRUE(found) << tarvik.output().toStdString();
    const QString menuItem = found->first;
    // The first round's results are in once the two dots differ.
    auto layout = bus.layoutWhen(menuItem, [](const Entry &menu) {
        return dotOf(menu, QStringLiteral("up")) != dotOf(menu, QStringLiteral("down"));
    });
    ASSERT_TRUE(layout);
    // A name is shown as typed: its "_" doubled, so no key of the keyboard is bound to it.
    EXPECT_TRUE(layout->second.find(QStringLiteral("<b>R&D</b> ops__team & co")));

    // The rows' commands are plain items.
    const QMap<QString, int> before = idsOf(layout->second);
    ASSERT_TRUE(before.contains(QStringLiteral("/down/Pause")))
        << before.keys().join(u' ').toStdString();
    const QByteArray upWhenUp = dotOf(layout->second, QStringLiteral("up"));
    bus.watchLayoutUpdates(menuItem);

    // Pause from the exported row, then a round in which "up" goes down: the server is gone.
    bus.click(menuItem, before.value(QStringLiteral("/down/Pause")));
    ASSERT_TRUE(bus.layoutWhen(menuItem, DesktopTrayBus::showing(QStringLiteral("Start"))));
    server.reset();
    bus.click(menuItem, before.value(QStringLiteral("/Ping Now")));
    layout = bus.layoutWhen(
        menuItem, [&](const Entry &menu) { return dotOf(menu, QStringLiteral("up")) != upWhenUp; });
    ASSERT_TRUE(layout);
    QMap<QString, int> after = idsOf(layout->second);
    EXPECT_EQ(after.take(QStringLiteral("/down/Start")),
              before.value(QStringLiteral("/down/Pause")))
        << "the same command, now saying Start";
    QMap<QString, int> expected = before;
    expected.remove(QStringLiteral("/down/Pause"));
    EXPECT_EQ(after, expected) << "every item keeps its id";
    EXPECT_TRUE(bus.layoutUpdates().isEmpty()) << "nothing but properties changed";

    // Ids read before all that still work: Start again (saved), then Remove "up".
    bus.click(menuItem, before.value(QStringLiteral("/down/Pause")));
    layout = bus.layoutWhen(menuItem, DesktopTrayBus::showing(QStringLiteral("Start"), false));
    ASSERT_TRUE(layout);
    EXPECT_TRUE(HostStore::readStoredHosts()->at(1)->isActive());
    const uint revisionBefore = layout->first;
    bus.click(menuItem, before.value(QStringLiteral("/up/Remove")));
    layout = bus.layoutWhen(menuItem, DesktopTrayBus::showing(QStringLiteral("up"), false));
    ASSERT_TRUE(layout);
    // The structure changed: the desktop is told with a newer revision.
    ASSERT_TRUE(waitUntil([&] { return !bus.layoutUpdates().isEmpty(); }));
    EXPECT_GT(bus.layoutUpdates().last(), revisionBefore);
    const QMap<QString, int> left = idsOf(layout->second);
    EXPECT_EQ(left.value(QStringLiteral("/down/Pause")),
              before.value(QStringLiteral("/down/Pause")));
    EXPECT_EQ(left.value(QStringLiteral("/down")), before.value(QStringLiteral("/down")));
    ASSERT_EQ(HostStore::readStoredHosts()->size(), 2u);

    // The host's own icon: its commands as a menu (a click there carries no keys; what Edit opens
    // is read in TheIconMenuStartsPausesEditsAndPings and EditHostWindowDelegateTest), its facts
    // as plain text without gestures.
    const auto icon = bus.itemWhoseMenu(DesktopTrayBus::showing(QStringLiteral("Manage"), false));
    ASSERT_TRUE(icon);
    const Entry &iconMenu = icon->second.second;
    QStringList labels;
    for (const Entry &entry : iconMenu.children)
        labels << entry.label();
    EXPECT_EQ(labels, QStringList({QStringLiteral("Pause"), QStringLiteral("Edit"),
                                   QStringLiteral("Ping Now")}));
    const QString tip = bus.toolTip(icon->first);
    EXPECT_TRUE(tip.startsWith(typed + QStringLiteral("\nAddress: "))) << tip.toStdString();
    EXPECT_FALSE(tip.contains(QStringLiteral("Click"))) << tip.toStdString();
    // A change of state reaches the desktop's copy of the icon's menu.
    bus.click(icon->first, iconMenu.find(QStringLiteral("Pause"))->id);
    ASSERT_TRUE(bus.layoutWhen(icon->first, DesktopTrayBus::showing(QStringLiteral("Start"))));
    EXPECT_FALSE(HostStore::readStoredHosts()->at(1)->isActive());
}
} // namespace

#include "statusmenu_test.moc"
