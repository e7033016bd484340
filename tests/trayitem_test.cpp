// The tray item layer: what reaches the tray, and how a click's keys are read.
#include "monitoring/HostStatusItemFace.h"
#include "support/PrivateDisplay.h"
#include "support/TestSupport.h"
#include "trayitem/ModifierFlags.h"
#include "trayitem/StatusItem.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTextDocument>

#include <gtest/gtest.h>

// Xlib last: its macros would clash with the names above.
#include <X11/XKBlib.h>

namespace {
// What Qt's XEmbed tray shows for a tooltip: a Qt tooltip reads text that looks like markup as
// markup.
QString shownTooltip(const QString &tip) {
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

TEST(StatusItemTest, AToolTipShowsAsTypedWithItsLineBreaks) {
    StatusItem item(20);
    const QString typed = QStringLiteral("<b>x</b> & R&D\nAddress: http://a/?q=<i>\n\n  Click");
    item.button()->setToolTip(typed);
    const auto *tray = item.findChild<QSystemTrayIcon *>();
    ASSERT_TRUE(tray);
    EXPECT_EQ(shownTooltip(tray->toolTip()), typed);

    // Trays that draw tooltips themselves take them as plain text.
    EXPECT_EQ(StatusItem::toolTipForTray(typed, true), typed);
    EXPECT_EQ(StatusItem::toolTipForTray(QString(), false), QString());
}

TEST(StatusItemTest, AClickRunsTheActionEvenWithAContextMenu) {
    StatusItem item(20);
    int clicks = 0;
    item.button()->setAction([&] { ++clicks; });
    QMenu context;
    item.setContextMenu(&context);
    const auto *tray = item.findChild<QSystemTrayIcon *>();
    ASSERT_TRUE(tray);
    EXPECT_EQ(tray->contextMenu(), &context);
    Q_EMIT const_cast<QSystemTrayIcon *>(tray)->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(context.isVisible());

    // A menu that opens on click takes over the tray's context menu too.
    QMenu menu;
    item.setMenu(&menu);
    EXPECT_EQ(tray->contextMenu(), &menu);
    item.setMenu(nullptr);
    EXPECT_EQ(tray->contextMenu(), &context);
}

// Qt's modifiers leave Caps Lock out; the X server's keyboard extension tells it. The lock is
// set on a real X server, and read back through the reader the tray uses.
TEST(ModifierFlagsTest, CapsLockFromTheXServerJoinsTheKeysHeld) {
    PrivateDisplay x;
    ASSERT_TRUE(x.isRunning()) << x.error().toStdString();
    Display *display = XOpenDisplay(x.name().toLocal8Bit().constData());
    ASSERT_TRUE(display);
    using G = HostStatusItemFace::Gesture;
    EXPECT_EQ(ModifierFlags::read(Qt::ControlModifier, display), ModifierFlags::control);
    EXPECT_EQ(HostStatusItemFace::gesture(ModifierFlags::read(Qt::ControlModifier, display)),
              G::PingNow);

    ASSERT_TRUE(XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask));
    XSync(display, False);
    EXPECT_EQ(ModifierFlags::read(Qt::ControlModifier, display),
              ModifierFlags::control | ModifierFlags::capsLock);
    EXPECT_EQ(HostStatusItemFace::gesture(ModifierFlags::read(Qt::ControlModifier, display)),
              G::ToggleActivation)
        << "Ctrl+click with Caps Lock on toggles";
    EXPECT_EQ(HostStatusItemFace::gesture(ModifierFlags::read(Qt::AltModifier, display)),
              G::ToggleActivation);
    EXPECT_EQ(ModifierFlags::read(Qt::NoModifier, display), ModifierFlags::capsLock);

    ASSERT_TRUE(XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0));
    XSync(display, False);
    EXPECT_EQ(ModifierFlags::read(Qt::AltModifier, display), ModifierFlags::option);
    XCloseDisplay(display);

    // Without an X server the keys held are all there is.
    EXPECT_EQ(ModifierFlags::read(Qt::ControlModifier, nullptr), ModifierFlags::control);
}
} // namespace
