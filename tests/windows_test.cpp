// The utility window's placement and frames, and the hosts window with its table, drag rules
// and buttons.
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "platform/Settings.h"
#include "platform/StatusItem.h"
#include "support/TestSupport.h"
#include "windows/HostListModel.h"
#include "windows/HostsTableView.h"
#include "windows/LMUtilityWindow.h"
#include "windows/TRHostsWindow.h"
#include "windows/TRHostsWindowController.h"

#include <QJsonDocument>
#include <QLabel>
#include <QMimeData>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
using Frame = QRectF;

QStringList names(std::initializer_list<const char *> list) {
    QStringList result;
    for (const char *name : list)
        result << QString::fromLatin1(name);
    return result;
}

TEST(AnchoredOriginTest, CentresUnderTheButtonTenPointsBelowIt) {
    EXPECT_EQ(
        LMUtilityWindow::anchoredOrigin(Frame(1000, 878, 20, 22), QSizeF(140, 160), QPointF(5, 5)),
        QPointF(940, 708));
    EXPECT_EQ(
        LMUtilityWindow::anchoredOrigin(Frame(1000, 878, 20, 22), QSizeF(150, 240), QPointF(5, 5)),
        QPointF(935, 628));
    // Near the screen's edge the origin is not pulled back.
    EXPECT_EQ(LMUtilityWindow::anchoredOrigin(Frame(1270, 878, 20, 22), QSizeF(140, 160), {}),
              QPointF(1210, 708));
    EXPECT_EQ(LMUtilityWindow::anchoredOrigin(Frame(0, 878, 21, 22), QSizeF(140, 160), {}),
              QPointF(-59.5, 708));
}

TEST(AnchoredOriginTest, WithoutAButtonOnScreenTheMouseDecides) {
    EXPECT_EQ(LMUtilityWindow::anchoredOrigin(std::nullopt, QSizeF(140, 160), QPointF(500, 300)),
              QPointF(430, 300));
}

TEST(AnchoredOriginTest, FittingOnScreenMovesOnlyWhatHangsOff) {
    const QRect screen(0, 0, 1280, 800);
    EXPECT_EQ(LMUtilityWindow::fitOnScreen(QRect(1198, 33, 140, 160), screen),
              QRect(1140, 33, 140, 160));
    EXPECT_EQ(LMUtilityWindow::fitOnScreen(QRect(-20, -5, 140, 160), screen),
              QRect(0, 0, 140, 160));
    EXPECT_EQ(LMUtilityWindow::fitOnScreen(QRect(100, 100, 140, 160), screen),
              QRect(100, 100, 140, 160));
    EXPECT_EQ(LMUtilityWindow::fitOnScreen(QRect(-10, 0, 2000, 160), screen),
              QRect(-10, 0, 2000, 160))
        << "a window wider than the screen is left alone";
}

TEST(UtilityWindowTest, FramesFollowTheTitleStripLayout) {
    LMUtilityWindow window(nullptr, QStringLiteral("<b>Title</b> & more"), QSizeF(150, 240));
    EXPECT_EQ(window.size(), QSize(150, 240));
    EXPECT_EQ(LMUtilityWindow::frameOf(window.titleBarLine()), Frame(0, 218, 150, 1));
    const Frame label = LMUtilityWindow::frameOf(window.titleLabel());
    EXPECT_EQ(label.x(), 20);
    EXPECT_EQ(label.y(), 221);
    EXPECT_EQ(label.width(), 110);
    EXPECT_GT(label.height(), 0);
    EXPECT_EQ(LMUtilityWindow::frameOf(window.utilityView()), Frame(0, 0, 150, 218));
    EXPECT_EQ(window.titleLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(window.titleLabel()->text(), QStringLiteral("<b>Title</b> & more"));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);

    window.setWindowTitle(QStringLiteral("changed"));
    EXPECT_EQ(window.titleLabel()->text(), QStringLiteral("<b>Title</b> & more"));
}

TEST(UtilityWindowTest, ShowingTwiceWithoutMovingPlacesItTheSame) {
    StatusItem item(20);
    LMUtilityWindow window(item.button(), QStringLiteral("x"), QSizeF(140, 160));
    window.makeKeyAndOrderFront();
    const QPoint first = window.pos();
    window.close();
    window.makeKeyAndOrderFront();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.pos(), first);
    window.close();
}

TEST(HostsWindowTest, FramesInTheContentView) {
    TRHostsWindow window(nullptr);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Hosts"));
    EXPECT_EQ(window.size(), QSize(140, 160));
    EXPECT_EQ(LMUtilityWindow::frameOf(window.line()), Frame(0, 20, 140, 1));
    EXPECT_EQ(LMUtilityWindow::frameOf(window.scrollView()), Frame(0, 21, 140, 139));
    EXPECT_EQ(window.table()->viewportMargins(), QMargins(0, 22, 0, 2));
    EXPECT_EQ(LMUtilityWindow::frameOf(window.addButton()), Frame(0, 0, 20, 20));
    EXPECT_EQ(LMUtilityWindow::frameOf(window.removeButton()), Frame(20, 0, 20, 20));
    EXPECT_EQ(LMUtilityWindow::frameOf(window.editButton()), Frame(120, 0, 20, 20));
    EXPECT_EQ(window.addButton()->iconSize(), QSize(16, 16));
    EXPECT_EQ(window.table()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(HostsWindowTest, ButtonImagesAreRedrawnToSixteenSquare) {
    const QIcon image = TRHostsWindow::buttonImage(QStringLiteral("LMAdd"));
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.availableSizes().value(0) / image.pixmap(16, 16).devicePixelRatio(),
              QSize(16, 16));
}

class HostsListTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        fill();
        engine.setMenuBarController(&menu);
    }

    void fill() {
        engine.hosts().clear();
        for (const char *name : {"A", "B", "C", "D"})
            engine.hosts().push_back(makeHost(QString::fromLatin1(name)));
    }

    QStringList order() const {
        QStringList names;
        for (const auto &host : engine.hosts())
            names << host->string();
        return names;
    }

    std::unique_ptr<QMimeData> dragOf(int row) const {
        return std::unique_ptr<QMimeData>(model()->mimeData({model()->index(row, 0)}));
    }

    HostListModel *model() const { return controller.model(); }

    // Drags row `from` and drops it into the gap above row `gap`.
    bool drag(int from, int gap) { return model()->moveHost(dragOf(from).get(), gap); }

    void select(int row) {
        controller.hostsWindow()->table()->setCurrentIndex(model()->index(row, 0));
    }

    ManualClock clock;
    TRHostController engine{clock};
    RecordingMenuBar menu;
    TRHostsWindowController controller{nullptr, &engine};
    FakeDelegate delegate{&engine};
};

TEST_F(HostsListTest, RowsShowTheEnginesListAsItIsNow) {
    EXPECT_EQ(model()->rowCount(), 4);
    EXPECT_EQ(model()->data(model()->index(2, 0), Qt::DisplayRole), QStringLiteral("C"));
    engine.hosts().pop_back();
    EXPECT_EQ(model()->rowCount(), 3);
    EXPECT_FALSE(model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(controller.hostsWindow()->table()->model(), model());
    EXPECT_EQ(controller.hostsWindow()->controller(), &controller);
}

TEST_F(HostsListTest, ADragCarriesTheLowestSelectedHostAsJson) {
    std::unique_ptr<QMimeData> data(
        model()->mimeData({model()->index(2, 0), model()->index(1, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->formats(), QStringList({QStringLiteral("public.trhostcontroller.host")}));
    const auto host = HostStore::decodeHost(
        QJsonDocument::fromJson(data->data(QStringLiteral("public.trhostcontroller.host")))
            .object());
    ASSERT_TRUE(host);
    EXPECT_EQ(host->string(), QStringLiteral("B"));
    EXPECT_FALSE(model()->mimeData({}));
}

TEST_F(HostsListTest, DropsFollowTheOrderRules) {
    EXPECT_TRUE(drag(0, 2));
    EXPECT_EQ(order(), names({"B", "A", "C", "D"}));
    fill();
    EXPECT_TRUE(drag(3, 1));
    EXPECT_EQ(order(), names({"A", "D", "B", "C"}));
    fill();
    EXPECT_TRUE(drag(2, 4));
    EXPECT_EQ(order(), names({"A", "B", "D", "C"}));
    EXPECT_EQ(menu.count(QStringLiteral("reloadHostItems")), 3) << "every move saves";
    const auto stored = HostStore::readStoredHosts();
    EXPECT_EQ(stored->at(2)->string(), QStringLiteral("D"));
}

TEST_F(HostsListTest, DroppingNextToItsOwnRowChangesNothing) {
    for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(drag(row, row));
        EXPECT_TRUE(drag(row, row + 1));
    }
    EXPECT_EQ(order(), names({"A", "B", "C", "D"}));
    EXPECT_EQ(HostListModel::targetIndex(0, 0), 0);
    EXPECT_EQ(HostListModel::targetIndex(0, 1), 0);
}

TEST_F(HostsListTest, TheListedObjectMovesWithEverythingItCarries) {
    auto a = engine.hosts()[0];
    a->setHasMenuBarItem(true);
    a->setIsReachable(false);
    a->restoreIsActive(false);
    auto data = dragOf(0);
    // Changes made while the drag is under way are not undone by the drop.
    a->setAbbreviation(QStringLiteral("edited"));
    ASSERT_TRUE(model()->moveHost(data.get(), 3));
    EXPECT_EQ(engine.hosts()[2], a);
    EXPECT_EQ(a->abbreviation(), std::optional<QString>(QStringLiteral("edited")));
    const auto stored = HostStore::readStoredHosts()->at(2);
    EXPECT_TRUE(stored->hasMenuBarItem());
    EXPECT_FALSE(stored->isActive());
    EXPECT_EQ(stored->isReachable(), std::optional<bool>(false));
}

TEST_F(HostsListTest, OfTwoHostsWithOneNameTheDraggedOneMoves) {
    auto twin = makeHost(QStringLiteral("A"));
    engine.hosts().push_back(twin);
    ASSERT_TRUE(drag(4, 0));
    EXPECT_EQ(engine.hosts()[0], twin);
    EXPECT_EQ(order(), names({"A", "A", "B", "C", "D"}));
}

TEST_F(HostsListTest, DropsThatCannotBeCarriedOutAreRefused) {
    auto data = dragOf(1);
    EXPECT_FALSE(model()->canDropMimeData(data.get(), Qt::MoveAction, -1, 0, model()->index(2, 0)))
        << "onto a row";
    EXPECT_TRUE(model()->canDropMimeData(data.get(), Qt::MoveAction, 2, 0, QModelIndex()));
    EXPECT_FALSE(model()->dropMimeData(data.get(), Qt::MoveAction, -1, 0, model()->index(2, 0)));

    QMimeData garbage;
    garbage.setData(QStringLiteral("public.trhostcontroller.host"), "{not json");
    EXPECT_FALSE(model()->moveHost(&garbage, 0));
    QMimeData otherType;
    otherType.setText(QStringLiteral("B"));
    EXPECT_FALSE(model()->canDropMimeData(&otherType, Qt::MoveAction, 0, 0, QModelIndex()));

    engine.hosts()[1]->setString(QStringLiteral("renamed meanwhile"));
    EXPECT_FALSE(model()->moveHost(data.get(), 0));
    engine.hosts().clear();
    EXPECT_FALSE(model()->moveHost(data.get(), 0));
    EXPECT_EQ(menu.count(QStringLiteral("reloadHostItems")), 0) << "nothing was saved";
}

TEST_F(HostsListTest, OnlyThisTableMayDropBetweenRows) {
    using P = HostsTableView::DropPosition;
    HostsTableView *table = controller.hostsWindow()->table();
    HostsTableView other;
    EXPECT_TRUE(HostsTableView::accepts(table, table, P::Between));
    EXPECT_FALSE(HostsTableView::accepts(table, table, P::OnRow));
    EXPECT_FALSE(HostsTableView::accepts(&other, table, P::Between));
    EXPECT_FALSE(HostsTableView::accepts(nullptr, table, P::Between));
}

TEST_F(HostsListTest, ButtonsActOnTheSelectedHost) {
    TRHostsWindow *window = controller.hostsWindow();
    window->removeButton()->click();
    window->editButton()->click();
    EXPECT_EQ(engine.hosts().size(), 4u);
    EXPECT_TRUE(delegate.formRequests.empty()) << "no selection, nothing to do";

    window->addButton()->click();
    ASSERT_EQ(delegate.formRequests.size(), 1u);
    EXPECT_EQ(delegate.formRequests[0], nullptr);

    select(2);
    window->editButton()->click();
    EXPECT_EQ(delegate.formRequests.back(), engine.hosts()[2]);

    auto twin = makeHost(QStringLiteral("B"));
    engine.hosts().push_back(twin);
    controller.hostsWindow()->table()->reloadData();
    select(4);
    window->removeButton()->click();
    EXPECT_EQ(engine.hosts().size(), 4u);
    EXPECT_EQ(std::count(engine.hosts().begin(), engine.hosts().end(), twin), 0)
        << "the selected twin went, not the first host named B";
}

TEST_F(HostsListTest, AReloadKeepsTheSelectedRow) {
    select(1);
    engine.hosts().erase(engine.hosts().begin());
    controller.hostsWindow()->table()->reloadData();
    EXPECT_EQ(controller.hostsWindow()->table()->currentIndex().row(), 1);
}

TEST(HostsWindowButtonsTest, DoNothingUntilAControllerIsSet) {
    ManualClock clock;
    TRHostController engine(clock);
    FakeDelegate delegate(&engine);
    TRHostsWindow window(nullptr);
    window.addButton()->click();
    EXPECT_TRUE(delegate.formRequests.empty());

    TRHostsWindowController first(nullptr, &engine);
    window.setController(&first);
    window.addButton()->click();
    EXPECT_EQ(delegate.formRequests.size(), 1u);
    window.setController(nullptr);
    EXPECT_EQ(window.controller(), nullptr);
    window.addButton()->click();
    EXPECT_EQ(delegate.formRequests.size(), 2u) << "the old target stays";
}
} // namespace
