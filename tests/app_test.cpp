// The tray application as its delegate builds it: the engine with the hosts' own tray icons, and
// the one form every request opens.
#include "app/TRAppDelegate.h"
#include "hosticons/HostTrayIcon.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "trayitem/StatusItem.h"
#include "windows/TREditHostWindow.h"

#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {
// The engine makes no tray icon of its own; the tray gives it the means, so a host that asks for
// one shows it, and a click on it reaches the engine that holds the host.
TEST(AppDelegateTest, HostsThatAskForTheirOwnIconGetOneInTheTray) {
    resetSettings();
    TestHttpServer server;
    auto marked = makeHost(QStringLiteral("api"), server.url(QStringLiteral("/ok")));
    marked->setHasMenuBarItem(true);
    marked->setAbbreviation(QStringLiteral("A"));
    ASSERT_TRUE(HostStore::write({marked, makeHost(QStringLiteral("web"))}));
    TRAppDelegate delegate;
    AppDelegate::setCurrent(&delegate);
    delegate.setUp();

    TRHostController *engine = delegate.hostController();
    ASSERT_EQ(engine->hosts().size(), 2u);
    ASSERT_EQ(engine->statusItemCount(), 1);
    EXPECT_EQ(engine->statusItem(*engine->hosts()[1]), nullptr);
    auto *icon = static_cast<HostTrayIcon *>(engine->statusItem(*engine->hosts()[0]));
    ASSERT_TRUE(icon);
    StatusItemButton *button = icon->statusItem()->button();
    EXPECT_EQ(button->attributedTitle()->text, QStringLiteral("A"));

    button->performClick();
    EXPECT_FALSE(engine->hosts()[0]->isActive());
    EXPECT_FALSE(HostStore::readStoredHosts()->at(0)->isActive()) << "saved by its engine";
    AppDelegate::setCurrent(nullptr);
}

TEST(EditHostWindowDelegateTest, OneFormServesEveryRequestUnderTheMainIcon) {
    resetSettings();
    TRAppDelegate delegate;
    AppDelegate::setCurrent(&delegate);
    delegate.setUp();
    auto a = makeHost(QStringLiteral("A"));
    auto b = makeHost(QStringLiteral("B"));
    delegate.showEditHostWindow(a);
    TREditHostWindow *form = delegate.editHostWindow();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->statusBarButton(), delegate.menuBarController()->statusItem()->button());
    EXPECT_EQ(form->hostController(), delegate.hostController());
    EXPECT_TRUE(form->isVisible());
    delegate.showEditHostWindow(b);
    EXPECT_EQ(delegate.editHostWindow(), form);
    EXPECT_EQ(form->nameTextField()->text(), QStringLiteral("B"));
    delegate.showEditHostWindow(nullptr);
    EXPECT_EQ(form->titleLabel()->text(), QStringLiteral("New Host"));
    EXPECT_TRUE(form->nameTextField()->text().isEmpty());
    form->close();
    AppDelegate::setCurrent(nullptr);
}
} // namespace
