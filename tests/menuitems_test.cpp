// A host's menu row: its button view, its exported form and the buttons' actions.
#include "drawing/DigitAlignedFont.h"
#include "menuitems/DetailsButton.h"
#include "menuitems/EditButton.h"
#include "menuitems/LMMenuItem.h"
#include "menuitems/LMMenuItemDelegate.h"
#include "menuitems/RemoveButton.h"
#include "menuitems/StateButton.h"
#include "support/TestSupport.h"

#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QWidgetAction>

#include <gtest/gtest.h>

namespace {
class RecordingRowDelegate : public LMMenuItemDelegate {
public:
    void editModelObject(const std::shared_ptr<LMItemable> &m) override { edits.push_back(m); }
    void removeModelObject(const std::shared_ptr<LMItemable> &m) override { removes.push_back(m); }
    void showDetailsOfModelObject(const std::shared_ptr<LMItemable> &m) override {
        details.push_back(m);
    }
    std::vector<std::shared_ptr<LMItemable>> edits, removes, details;
};

class MenuRowTest : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override {
        if (row.buttonMenu())
            row.buttonMenu()->hide();
    }
    // Opens the row's submenu as the menu would, which makes its buttons.
    void openButtons() {
        row.ensureSubmenu();
        row.buttonMenu()->popup(QPoint(10, 10));
        ASSERT_TRUE(row.buttonView());
    }
    std::shared_ptr<Host> host = makeHost(QStringLiteral("api 42"));
    LMMenuItem row{host};
    RecordingRowDelegate rowDelegate;
};

// The menu opens on a press on the tray icon; a drag into the submenu that ends over a button
// delivers a release alone, which must not remove or pause anything. A press counts wherever it
// is released, and a command goes to the delegate with the row's own model.
TEST_F(MenuRowTest, ButtonsActOnlyOnAReleaseThatFollowsTheirOwnPress) {
    openButtons();
    QTest::mouseClick(row.removeButton(), Qt::LeftButton); // no delegate: dropped
    row.setDelegate(&rowDelegate);
    for (QWidget *button :
         {static_cast<QWidget *>(row.stateButton()), static_cast<QWidget *>(row.editButton()),
          static_cast<QWidget *>(row.removeButton())})
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(9, 9));
    // A press on one button and a release on another: neither acts.
    QTest::mousePress(row.editButton(), Qt::LeftButton, {}, QPoint(9, 9));
    QTest::mouseRelease(row.removeButton(), Qt::LeftButton, {}, QPoint(9, 9));
    // Another button than the left one neither presses nor releases.
    QTest::mousePress(row.stateButton(), Qt::RightButton, {}, QPoint(9, 9));
    QTest::mouseRelease(row.stateButton(), Qt::RightButton, {}, QPoint(9, 9));
    EXPECT_TRUE(host->isActive());
    EXPECT_TRUE(rowDelegate.edits.empty());
    EXPECT_TRUE(rowDelegate.removes.empty());

    // Press and release: once, and the next bare release does nothing again.
    QTest::mousePress(row.removeButton(), Qt::LeftButton, {}, QPoint(9, 9));
    QTest::mouseRelease(row.removeButton(), Qt::LeftButton, {}, QPoint(9, 9));
    QTest::mouseRelease(row.removeButton(), Qt::LeftButton, {}, QPoint(9, 9));
    // Start/Pause shows the next action; released outside the button, the press still counts.
    StateButton *button = row.stateButton();
    EXPECT_EQ(button->imageName(), QStringLiteral("LMPause"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Pause"));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(9, 9));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 60));
    EXPECT_FALSE(host->isActive());
    EXPECT_EQ(button->imageName(), QStringLiteral("LMPlay"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Start"));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(9, 9));
    EXPECT_TRUE(host->isActive()) << "Start starts it again";
    EXPECT_EQ(button->imageName(), QStringLiteral("LMPause"));
    QTest::mouseClick(row.editButton(), Qt::LeftButton);
    QTest::mouseClick(row.detailsButton(), Qt::LeftButton);
    row.setExportedForm(true);
    row.detailsAction()->trigger();
    using Calls = std::vector<std::shared_ptr<LMItemable>>;
    EXPECT_EQ(rowDelegate.edits, Calls{host});
    EXPECT_EQ(rowDelegate.removes, Calls{host});
    EXPECT_EQ(rowDelegate.details, (Calls{host, host}));
}

TEST_F(MenuRowTest, TheExportedFormOffersTheSameCommandsAsPlainActions) {
    row.setDelegate(&rowDelegate);
    row.setExportedForm(true);
    ASSERT_EQ(row.menu(), row.buttonMenu());
    QList<QAction *> visible;
    QStringList texts;
    for (QAction *action : row.buttonMenu()->actions())
        if (action->isVisible()) {
            visible << action;
            texts << action->text();
            EXPECT_FALSE(qobject_cast<QWidgetAction *>(action));
            EXPECT_FALSE(action->icon().isNull());
        }
    ASSERT_EQ(texts, QStringList({QStringLiteral("Pause"), QStringLiteral("Edit"),
                                  QStringLiteral("Remove"), QStringLiteral("Details")}));
    visible[1]->trigger();
    visible[2]->trigger();
    EXPECT_EQ(rowDelegate.edits.size(), 1u);
    EXPECT_EQ(rowDelegate.removes.size(), 1u);

    // An exported submenu is kept: the desktop may read it at any time.
    row.releaseSubmenu();
    EXPECT_EQ(row.buttonMenu(), visible[0]->parent());
    row.setExportedForm(false);
    openButtons();
    for (QAction *action : row.buttonMenu()->actions())
        EXPECT_EQ(action->isVisible(), qobject_cast<QWidgetAction *>(action) != nullptr);
}

// A row costs a menu and widgets only while it can be seen; a long list of hosts must not hold
// thousands of idle widgets.
TEST_F(MenuRowTest, SubmenuAndButtonsExistOnlyWhileTheyCanBeSeen) {
    row.ensureSubmenu();
    QPointer<QMenu> submenu = row.buttonMenu();
    ASSERT_TRUE(submenu);
    EXPECT_EQ(row.menu(), submenu.data());
    EXPECT_FALSE(row.buttonView()) << "the view waits until the submenu opens";
    submenu->popup(QPoint(10, 10));
    QPointer<QWidget> view = row.buttonView();
    ASSERT_TRUE(view);

    row.releaseSubmenu();
    EXPECT_EQ(row.buttonMenu(), submenu.data()) << "not while it is open";
    submenu->hide();
    row.releaseSubmenu();
    EXPECT_FALSE(row.buttonMenu());
    EXPECT_FALSE(row.menu());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(submenu);
    EXPECT_FALSE(view);

    // Made again on demand, showing the model as it is now.
    host->restoreIsActive(false);
    openButtons();
    EXPECT_EQ(row.stateButton()->imageName(), QStringLiteral("LMPlay"));
}

TEST_F(MenuRowTest, RefreshShowsTheModelInPlaceWithLongNamesShortened) {
    EXPECT_TRUE(row.toolTip() == row.text()) << "a short name needs no tooltip of its own";
    row.setExportedForm(true);
    const QList<QAction *> before = row.buttonMenu()->actions();
    host->setString(QStringLiteral("R&D ") + QString(60, u'x'));
    host->restoreIsActive(false);
    row.refresh();
    EXPECT_EQ(row.text(), QStringLiteral("R&&D ") + QString(35, u'x') + QChar(0x2026));
    EXPECT_EQ(row.toolTip(), host->string());
    EXPECT_EQ(row.stateAction()->text(), QStringLiteral("Start"));
    EXPECT_EQ(row.buttonMenu()->actions(), before) << "the same commands, updated";

    host->setString(QStringLiteral("R&D <b>x</b>"));
    row.refresh();
    EXPECT_EQ(row.text(), QStringLiteral("R&&D <b>x</b>")) << "shown as typed";
    EXPECT_EQ(row.toolTip(), QStringLiteral("R&D <b>x</b>")) << "the long name's tooltip is gone";
    EXPECT_TRUE(DigitAlignedFont::hasAlignedDigits(row.font()));
}
} // namespace
