// A host's menu row: its button view, its exported form and the buttons' actions.
#include "menuitems/EditButton.h"
#include "menuitems/LMMenuItem.h"
#include "menuitems/LMMenuItemDelegate.h"
#include "menuitems/RemoveButton.h"
#include "menuitems/StateButton.h"
#include "monitoring/TRHostController.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <QMenu>
#include <QTest>
#include <QWidgetAction>

#include <gtest/gtest.h>

namespace {
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
