// The menu's commands and the two preferences behind them.
#include "monitoring/TRHostController.h"
#include "platform/BuildInfo.h"
#include "platform/LoginItem.h"
#include "platform/Settings.h"
#include "platform/StatusItem.h"
#include "platform/Updater.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QUrl>

#include <gtest/gtest.h>

namespace {
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
    UrlRecorder() {
        for (const char *scheme : {"mailto", "macappstore", "https", "http"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override {
        for (const char *scheme : {"mailto", "macappstore", "https", "http"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

class DelegateWithUpdater : public FakeDelegate {
public:
    DelegateWithUpdater(TRHostController *engine, Updater *updater)
        : FakeDelegate(engine)
        , updater_(updater) {}
    Updater *updater() const override { return updater_; }

private:
    Updater *updater_;
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

TEST_F(CommandsTest, TheSubmenusHoldTheirItemsInOrderWithoutShortcuts) {
    FakeDelegate delegate(&engine);
    auto controller = makeMenu();
    QStringList frequencies;
    QList<int> tags;
    for (const QAction *action : controller->pingFrequencyMenu()->actions()) {
        frequencies << action->text();
        tags << action->data().toInt();
    }
    EXPECT_EQ(frequencies, QStringList({QStringLiteral("1 minute"), QStringLiteral("5 minutes"),
                                        QStringLiteral("15 minutes"), QStringLiteral("30 minutes"),
                                        QStringLiteral("1 hour")}));
    EXPECT_EQ(tags, QList<int>({60, 300, 900, 1800, 3600}));
    QStringList more;
    for (const QAction *action : controller->moreMenu()->actions())
        more << (action->isSeparator() ? QStringLiteral("---") : action->text());
    EXPECT_EQ(more, QStringList({QStringLiteral("Launch at Login"), QStringLiteral("---"),
                                 QStringLiteral("Check for Updates"), QStringLiteral("Support"),
                                 QStringLiteral("Rate Tarvik")}));
    for (const QMenu *menu :
         {controller->menu(), controller->pingFrequencyMenu(), controller->moreMenu()})
        for (const QAction *action : menu->actions())
            EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
}

TEST_F(CommandsTest, TheStoredFrequencyCarriesTheCheckMark) {
    EXPECT_EQ(checked(makeMenu()->pingFrequencyMenu()), QStringList{QStringLiteral("1 minute")});
    EXPECT_EQ(engine.pingFrequency(), 60.0);
    Settings::setPingFrequency(900);
    EXPECT_EQ(checked(makeMenu()->pingFrequencyMenu()), QStringList{QStringLiteral("15 minutes")});
    Settings::setPingFrequency(120);
    auto controller = makeMenu();
    EXPECT_TRUE(checked(controller->pingFrequencyMenu()).isEmpty());

    item(controller->pingFrequencyMenu(), QStringLiteral("5 minutes"))->trigger();
    EXPECT_EQ(checked(controller->pingFrequencyMenu()), QStringList{QStringLiteral("5 minutes")});
    EXPECT_EQ(Settings::wholePingFrequency(), std::optional<qint64>(300));
    EXPECT_EQ(engine.pingFrequency(), 300.0);
}

TEST_F(CommandsTest, ChoosingAFrequencyMovesTheMarkAndRenewsTheTooltip) {
    auto controller = makeMenu();
    QMenu *menu = controller->pingFrequencyMenu();
    item(menu, QStringLiteral("1 hour"))->trigger();
    EXPECT_EQ(checked(menu), QStringList{QStringLiteral("1 hour")});
    EXPECT_TRUE(
        controller->statusItem()->button()->toolTip().contains(QStringLiteral("Next Ping: ")));
    const QString withHour = controller->statusItem()->button()->toolTip();

    item(menu, QStringLiteral("1 hour"))->trigger(); // the marked item again
    EXPECT_EQ(checked(menu), QStringList{QStringLiteral("1 hour")});
    EXPECT_EQ(Settings::wholePingFrequency(), std::optional<qint64>(3600));

    item(menu, QStringLiteral("1 minute"))->trigger();
    EXPECT_EQ(checked(menu), QStringList{QStringLiteral("1 minute")});
    EXPECT_NE(controller->statusItem()->button()->toolTip(), withHour);
}

TEST_F(CommandsTest, LaunchAtLoginTwiceReturnsEverythingToWhereItStarted) {
    auto controller = makeMenu();
    QAction *launch = controller->launchAtLoginMenuItem();
    EXPECT_FALSE(launch->isChecked());
    EXPECT_FALSE(QFile::exists(autostartEntry())) << "unregistered at start";

    launch->trigger();
    EXPECT_TRUE(launch->isChecked());
    EXPECT_TRUE(Settings::launchAtLogin());
    QFile entry(autostartEntry());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=")));
    EXPECT_TRUE(text.contains(QStringLiteral("tarvik-helper")));

    launch->trigger();
    EXPECT_FALSE(launch->isChecked());
    EXPECT_FALSE(Settings::launchAtLogin());
    EXPECT_FALSE(QFile::exists(autostartEntry()));
}

TEST_F(CommandsTest, TheRegistrationFollowsTheStoredChoiceAtStart) {
    Settings::setLaunchAtLogin(true);
    auto controller = makeMenu();
    EXPECT_TRUE(controller->launchAtLoginMenuItem()->isChecked());
    EXPECT_TRUE(QFile::exists(autostartEntry()));
}

TEST_F(CommandsTest, AFailedRegistrationIsReportedAndNotRolledBack) {
    auto controller = makeMenu();
    // A file where the autostart folder should be makes writing the entry fail.
    const QString folder = QFileInfo(autostartEntry()).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    testing::internal::CaptureStdout();
    controller->launchAtLoginMenuItem()->trigger();
    const std::string out = testing::internal::GetCapturedStdout();
    QFile::remove(folder);
    EXPECT_EQ(out, "Changing login item status failed.\n");
    EXPECT_TRUE(controller->launchAtLoginMenuItem()->isChecked());
    EXPECT_TRUE(Settings::launchAtLogin());
}

TEST_F(CommandsTest, SupportAndRateOpenTheirAddresses) {
    UrlRecorder recorder;
    auto controller = makeMenu();
    item(controller->moreMenu(), QStringLiteral("Support"))->trigger();
    item(controller->moreMenu(), QStringLiteral("Rate Tarvik"))->trigger();
    ASSERT_EQ(recorder.opened.size(), 2);
    EXPECT_EQ(recorder.opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(recorder.opened[0].toString().endsWith(QStringLiteral("?Subject=Tarvik")));
    EXPECT_EQ(recorder.opened[1].toString(), BuildInfo::reviewAddress());
    EXPECT_TRUE(BuildInfo::reviewAddress().startsWith(QStringLiteral("macappstore://")));
    EXPECT_TRUE(BuildInfo::reviewAddress().endsWith(
        QStringLiteral("/WebObjects/MZUserPublishing.woa/wa/addUserReview?id=1000000000"
                       "?&displayable-kind=30")));
}

TEST_F(CommandsTest, CheckForUpdatesGoesToTheUpdaterWhenThereIsOne) {
    {
        FakeDelegate noUpdater(&engine);
        auto controller = makeMenu();
        EXPECT_FALSE(
            item(controller->moreMenu(), QStringLiteral("Check for Updates"))->isEnabled());
    }
    TestHttpServer server;
    Updater updater(server.url(QStringLiteral("/hang")), QStringLiteral("1.0.0"));
    updater.setQuiet(true);
    DelegateWithUpdater delegate(&engine, &updater);
    auto controller = makeMenu();
    QAction *check = item(controller->moreMenu(), QStringLiteral("Check for Updates"));
    ASSERT_TRUE(check->isEnabled());
    check->trigger();
    EXPECT_TRUE(updater.isChecking());
}

TEST_F(CommandsTest, PingNowStartsARound) {
    auto controller = makeMenu();
    QSignalSpy rounds(&engine, &TRHostController::roundStarted);
    item(controller->menu(), QStringLiteral("Ping Now"))->trigger();
    EXPECT_EQ(rounds.count(), 1);
}
} // namespace

#include "commands_test.moc"
