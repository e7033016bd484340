// The tray application as its delegate builds it: the one form every request opens. (The hosts'
// own tray icons it gives the engine are read in ExportedMenuTest, from the real program.)
#include "app/TRAppDelegate.h"
#include "statusmenu/TRMenuBarController.h"
#include "support/TestSupport.h"
#include "trayitem/StatusItem.h"
#include "windows/TREditHostWindow.h"

#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {
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
