// The main tray icon and its menu: rows, down count, tooltip, and the row's two forms.
#include "menuitems/EditButton.h"
#include "menuitems/LMMenuItem.h"
#include "menuitems/LMMenuItemDelegate.h"
#include "menuitems/RemoveButton.h"
#include "menuitems/StateButton.h"
#include "monitoring/HostStore.h"
#include "monitoring/StatusColors.h"
#include "monitoring/TRHostController.h"
#include "platform/DateText.h"
#include "platform/DigitAlignedFont.h"
#include "platform/PaintedIcon.h"
#include "platform/Settings.h"
#include "platform/StatusItem.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/TestSupport.h"
#include "windows/TRHostsWindow.h"
#include "windows/TRHostsWindowController.h"

#include <QMenu>
#include <QTest>
#include <QWidgetAction>

#include <gtest/gtest.h>

namespace {
QColor dotColor(const QAction *row) {
    return PaintedIcon::render(row->icon(), QSize(10, 10)).pixelColor(5, 5);
}

QStringList fixedItems() {
    return {QStringLiteral("Manage"),   QStringLiteral("---"),
            QStringLiteral("Ping Now"), QStringLiteral("Ping Frequency"),
            QStringLiteral("---"),      QStringLiteral("More"),
            QStringLiteral("Quit")};
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
    void TearDown() override { controller.reset(); }

    void link(const QStringList &names) {
        for (const QString &name : names)
            engine.hosts().push_back(makeHost(name));
        controller->setHostController(&engine);
    }

    ManualClock clock;
    TRHostController engine{clock};
    std::unique_ptr<TRMenuBarController> controller = std::make_unique<TRMenuBarController>();
    FakeDelegate delegate{&engine};
};

TEST_F(MenuTest, BeforeTheLinkOnlyTheFixedItemsShow) {
    EXPECT_EQ(titles(controller->menu()), fixedItems());
    EXPECT_EQ(controller->statusItem()->length(), 20.0);
    EXPECT_FALSE(controller->statusItem()->button()->image().isNull());
    EXPECT_TRUE(controller->statusItem()->button()->toolTip().isEmpty());
    EXPECT_EQ(controller->statusItem()->menu(), controller->menu());
    for (const QAction *action : controller->menu()->actions())
        EXPECT_TRUE(action->shortcut().isEmpty());
}

TEST_F(MenuTest, LinkingPutsOneRowPerHostAboveManage) {
    link({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    EXPECT_EQ(engine.menuBarController(), controller.get());
    ASSERT_TRUE(controller->hostsWindowController());
    EXPECT_EQ(titles(controller->menu()).mid(0, 4),
              QStringList({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                           QStringLiteral("Manage")}));
    const QList<LMMenuItem *> rows = controller->hostRows();
    ASSERT_EQ(rows.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i]->modelObject(), engine.hosts()[size_t(i)]);
        EXPECT_EQ(rows[i]->delegate(), controller.get());
        EXPECT_EQ(dotColor(rows[i]), StatusColors::gray());
    }
}

TEST_F(MenuTest, RebuildingLeavesExactlyOneRowPerHostInListOrder) {
    link({QStringLiteral("A"), QStringLiteral("B")});
    engine.hosts().push_back(makeHost(QStringLiteral("C")));
    std::swap(engine.hosts()[0], engine.hosts()[1]);
    controller->reloadHostItems();
    controller->reloadHostItems();
    // Replaced rows are deleted once control returns to the loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(titles(controller->menu()),
              QStringList({QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("C")}) +
                  fixedItems());
    EXPECT_EQ(controller->menu()->findChildren<LMMenuItem *>().size(), 3);

    engine.hosts().clear();
    controller->reloadHostItems();
    EXPECT_EQ(titles(controller->menu()).first(), QStringLiteral("Manage"));
}

TEST_F(MenuTest, RowTitlesAreShownAsTyped) {
    link({QStringLiteral("R&D <b>x</b>")});
    LMMenuItem *row = controller->hostRows().first();
    EXPECT_EQ(row->text(), QStringLiteral("R&&D <b>x</b>"));
    row->setExportedForm(true);
    EXPECT_EQ(row->text(), QStringLiteral("R&&D <b>x</b>"));
    EXPECT_TRUE(DigitAlignedFont::hasAlignedDigits(row->font()));
}

TEST_F(MenuTest, RefreshingARowFindsItsHost) {
    link({QStringLiteral("A"), QStringLiteral("twin"), QStringLiteral("twin")});
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

TEST_F(MenuTest, DownCountShowsARedTitleAndWidensTheItem) {
    link({});
    StatusItem *item = controller->statusItem();
    controller->setDownCount(12);
    const auto title = item->button()->attributedTitle();
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text, QStringLiteral("12"));
    EXPECT_EQ(title->color, std::optional<QColor>(StatusColors::red()));
    EXPECT_EQ(title->font.pointSizeF(), 14.0);
    EXPECT_DOUBLE_EQ(item->length(), title->width() + 24.0);
    EXPECT_FALSE(item->button()->image().isNull()) << "the icon stays";

    controller->setDownCount(0);
    EXPECT_FALSE(item->button()->attributedTitle());
    EXPECT_EQ(item->length(), 20.0);
    controller->setDownCount(-3);
    EXPECT_EQ(item->length(), 20.0);
}

TEST_F(MenuTest, DownCountFollowsTheEngine) {
    link({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    engine.hosts()[0]->setIsReachable(false);
    engine.hosts()[1]->setIsReachable(false);
    engine.hosts()[1]->restoreIsActive(false);
    engine.hostStateDidChange(*engine.hosts()[0]);
    EXPECT_EQ(controller->statusItem()->button()->attributedTitle()->text, QStringLiteral("1"));
}

TEST_F(MenuTest, TooltipShowsVersionAndLastAndNextRound) {
    link({});
    const QDateTime last = engine.lastPingDate();
    EXPECT_EQ(controller->statusItem()->button()->toolTip(),
              QStringLiteral("Tarvik " TARVIK_VERSION "\nLast Ping: ") +
                  DateText::shortDateMediumTime(last) + QStringLiteral("\nNext Ping: ") +
                  DateText::shortDateMediumTime(last.addSecs(60)));
    Settings::setPingFrequency(900);
    clock.advanceMs(5000);
    engine.ping();
    EXPECT_TRUE(controller->statusItem()->button()->toolTip().endsWith(
        DateText::shortDateMediumTime(clock.now().addSecs(900))));
}

TEST(DateTextTest, ShortDateAndTimeWithSeconds) {
    const QDateTime when(QDate(2026, 3, 1), QTime(14, 5, 9));
    EXPECT_EQ(DateText::shortDateMediumTime(when, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("3/1/26, 2:05:09\u202fPM").replace(QChar(0x202f), u' '))
        << DateText::shortDateMediumTime(when, QLocale(QLocale::English, QLocale::UnitedStates))
               .toStdString();
    EXPECT_EQ(DateText::shortDateMediumTime(when, QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("01.03.26, 14:05:09"));
}

TEST_F(MenuTest, ManageShowsTheHostsWindow) {
    link({QStringLiteral("a")});
    controller->manageClick();
    EXPECT_TRUE(controller->hostsWindowController()->hostsWindow()->isVisible());
    controller->hostsWindowController()->hostsWindow()->close();
}

TEST_F(MenuTest, RemovingFromARowRemovesThatHostAndReopensTheMenu) {
    link({QStringLiteral("twin"), QStringLiteral("twin"), QStringLiteral("c")});
    HostStore::write(engine.hosts());
    auto second = engine.hosts()[1];
    controller->hostRows()[1]->requestRemove();
    EXPECT_EQ(engine.hosts().size(), 3u) << "deferred until the click is handled";
    ASSERT_TRUE(waitUntil([&] { return engine.hosts().size() == 2; }));
    EXPECT_EQ(std::count(engine.hosts().begin(), engine.hosts().end(), second), 0);
    EXPECT_EQ(HostStore::readStoredHosts()->size(), 2u);
    EXPECT_TRUE(controller->menu()->isVisible());
    EXPECT_EQ(controller->hostRows().size(), 2);
    controller->menu()->hide();
}

TEST_F(MenuTest, EditingFromARowClosesTheMenuAndOpensTheForm) {
    link({QStringLiteral("a")});
    controller->menu()->popup(QPoint(10, 10));
    controller->hostRows()[0]->editButton()->click();
    QTest::mouseRelease(controller->hostRows()[0]->editButton(), Qt::LeftButton);
    ASSERT_EQ(delegate.formRequests.size(), 1u);
    EXPECT_EQ(delegate.formRequests[0], engine.hosts()[0]);
    EXPECT_FALSE(controller->menu()->isVisible());
}

class RecordingRowDelegate : public LMMenuItemDelegate {
public:
    void editModelObject(const std::shared_ptr<LMItemable> &m) override { edits.push_back(m); }
    void removeModelObject(const std::shared_ptr<LMItemable> &m) override { removes.push_back(m); }
    std::vector<std::shared_ptr<LMItemable>> edits, removes;
};

class MenuRowTest : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    std::shared_ptr<Host> host = makeHost(QStringLiteral("api 42"));
    LMMenuItem row{host};
    RecordingRowDelegate rowDelegate;
};

TEST_F(MenuRowTest, TheButtonViewHoldsThreeButtonsInPlace) {
    ASSERT_EQ(row.menu(), row.buttonMenu());
    EXPECT_EQ(row.buttonView()->size(), QSize(68, 20));
    const QList<QWidget *> buttons = {row.stateButton(), row.editButton(), row.removeButton()};
    const int xs[] = {5, 25, 45};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->parentWidget(), row.buttonView());
        // 18 x 18 one point above the view's bottom edge, which is y 1 from either edge.
        EXPECT_EQ(buttons[i]->geometry(), QRect(xs[i], 1, 18, 18));
    }
    EXPECT_EQ(row.editButton()->imageName(), QStringLiteral("LMEdit"));
    EXPECT_EQ(row.editButton()->toolTip(), QStringLiteral("Edit"));
    EXPECT_EQ(row.removeButton()->imageName(), QStringLiteral("LMRemove"));
    EXPECT_EQ(row.removeButton()->toolTip(), QStringLiteral("Remove"));
    EXPECT_TRUE(row.statusTip().isEmpty());
}

TEST_F(MenuRowTest, StartPauseShowsTheNextActionAndToggles) {
    StateButton *button = row.stateButton();
    EXPECT_EQ(button->imageName(), QStringLiteral("LMPause"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Pause"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(host->isActive());
    EXPECT_EQ(button->imageName(), QStringLiteral("LMPlay"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Start"));

    // Released outside the button: the press still counts.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(9, 9));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 60));
    EXPECT_TRUE(host->isActive());
    EXPECT_EQ(button->imageName(), QStringLiteral("LMPause"));

    LMMenuItem inactive(makeHost(QStringLiteral("x"), QString(), false));
    EXPECT_EQ(inactive.stateButton()->imageName(), QStringLiteral("LMPlay"));
    EXPECT_EQ(inactive.stateButton()->toolTip(), QStringLiteral("Start"));
}

TEST_F(MenuRowTest, EditAndRemoveGoToTheDelegateWithTheRowsOwnModel) {
    QTest::mouseClick(row.editButton(), Qt::LeftButton);
    QTest::mouseClick(row.removeButton(), Qt::LeftButton); // no delegate: dropped
    row.setDelegate(&rowDelegate);
    QTest::mouseClick(row.editButton(), Qt::LeftButton);
    QTest::mouseClick(row.removeButton(), Qt::LeftButton);
    ASSERT_EQ(rowDelegate.edits.size(), 1u);
    ASSERT_EQ(rowDelegate.removes.size(), 1u);
    EXPECT_EQ(rowDelegate.edits[0], host);
    EXPECT_EQ(rowDelegate.removes[0], host);
}

TEST_F(MenuRowTest, TheExportedFormOffersTheSameCommandsAsPlainActions) {
    row.setDelegate(&rowDelegate);
    row.setExportedForm(true);
    QList<QAction *> visible;
    for (QAction *action : row.buttonMenu()->actions())
        if (action->isVisible())
            visible << action;
    ASSERT_EQ(visible.size(), 3);
    EXPECT_FALSE(qobject_cast<QWidgetAction *>(visible[0]));
    EXPECT_EQ(visible[0]->text(), QStringLiteral("Pause"));
    EXPECT_EQ(visible[1]->text(), QStringLiteral("Edit"));
    EXPECT_EQ(visible[2]->text(), QStringLiteral("Remove"));
    for (QAction *action : visible) {
        EXPECT_FALSE(action->icon().isNull());
        EXPECT_EQ(action->toolTip(), action->text());
    }
    visible[0]->trigger();
    EXPECT_FALSE(host->isActive());
    EXPECT_EQ(visible[0]->text(), QStringLiteral("Start"));
    visible[1]->trigger();
    visible[2]->trigger();
    EXPECT_EQ(rowDelegate.edits.size(), 1u);
    EXPECT_EQ(rowDelegate.removes.size(), 1u);

    row.setExportedForm(false);
    for (QAction *action : row.buttonMenu()->actions())
        EXPECT_EQ(action->isVisible(), qobject_cast<QWidgetAction *>(action) != nullptr);
}
} // namespace
