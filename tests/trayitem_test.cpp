// The tray item layer: what reaches the tray, as a desktop's D-Bus tray reads it on a private
// bus, and how a click's keys are read.
#include "support/DesktopTrayBus.h"
#include "support/PrivateDisplay.h"
#include "support/TestSupport.h"
#include "trayitem/ExportedMenu.h"
#include "trayitem/ModifierFlags.h"
#include "trayitem/StatusItem.h"
#include "trayitem/StatusNotifierItem.h"
#include "trayitem/StatusNotifierWatch.h"

#include <QActionGroup>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QSignalSpy>
#include <QTextDocument>

#include <gtest/gtest.h>

// Xlib last: its macros would clash with the names above.
#include <X11/XKBlib.h>

namespace {
using Entry = DesktopTrayBus::MenuEntry;

// What Qt's XEmbed tray shows for a tooltip: a Qt tooltip reads text that looks like markup as
// markup.
QString shownTooltip(const QString &tip) {
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

// Qt's XEmbed tray reads markup, so there a tooltip is escaped to show as typed; a D-Bus tray
// takes plain text as it is (read over the bus in statusmenu's ExportedMenuTest).
TEST(StatusItemTest, AToolTipShowsAsTypedWithItsLineBreaks) {
    const QString typed = QStringLiteral("<b>x</b> & R&D\nAddress: http://a/?q=<i>\n\n  Click");
    EXPECT_EQ(shownTooltip(StatusItem::toolTipForTray(typed, false)), typed);
    EXPECT_EQ(StatusItem::toolTipForTray(typed, true), typed);
    EXPECT_EQ(StatusItem::toolTipForTray(QString(), false), QString());
}

// Items of the test's own on a private bus whose watcher has a tray host, read over the bus.
class ExportedItemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString(); }

    // The bus name and path the watcher lists for `item`, once it has registered.
    QString registered(const StatusItem &item) {
        const QString name = item.statusNotifierItem()->serviceName() +
                             QString::fromLatin1(StatusNotifierItem::itemPath);
        EXPECT_TRUE(waitUntil([&] { return bus.registeredItems().contains(name); }))
            << name.toStdString();
        return name;
    }
    std::pair<uint, Entry> layoutOf(const QString &item) {
        std::optional<std::pair<uint, Entry>> layout = bus.layout(item);
        EXPECT_TRUE(layout.has_value());
        return layout.value_or(std::pair<uint, Entry>());
    }

    DesktopTrayBus bus;
    StatusNotifierWatch watch{bus.address()};
};

TEST_F(ExportedItemTest, AClickRunsTheActionAndTheMenuComesOnTheRightClick) {
    StatusItem item(20, watch);
    int clicks = 0;
    item.button()->setAction([&] { ++clicks; });
    QMenu context;
    context.addAction(QStringLiteral("Pause"));
    item.setContextMenu(&context);
    const QString name = registered(item);
    const auto [service, path] =
        std::make_pair(name.section(u'/', 0, 0), u'/' + name.section(u'/', 1));
    bus.call(service, path, QStringLiteral("org.kde.StatusNotifierItem"),
             QStringLiteral("Activate"), {0, 0});
    EXPECT_TRUE(waitUntil([&] { return clicks == 1; }));
    EXPECT_FALSE(context.isVisible());
    EXPECT_TRUE(layoutOf(name).second.find(QStringLiteral("Pause")));

    // A menu that opens on click takes over the exported menu too, and a click opens it.
    QMenu menu;
    menu.addAction(QStringLiteral("Manage"));
    item.setMenu(&menu);
    QSignalSpy popUps(&item, &StatusItem::menuWillPopUp);
    bus.call(service, path, QStringLiteral("org.kde.StatusNotifierItem"),
             QStringLiteral("Activate"), {0, 0});
    EXPECT_TRUE(waitUntil([&] { return popUps.count() == 1; }));
    EXPECT_EQ(clicks, 1);
    menu.hide();
    EXPECT_TRUE(layoutOf(name).second.find(QStringLiteral("Manage")));
    item.setMenu(nullptr);
    EXPECT_TRUE(bus.layoutWhen(name, DesktopTrayBus::showing(QStringLiteral("Pause"))));
}

// The icon goes out in every size, and the item leaves the bus with its object.
TEST_F(ExportedItemTest, TheIconGoesOutInEverySizeAsNetworkOrderARGB) {
    auto item = std::make_unique<StatusItem>(20, watch);
    QPixmap red(64, 64);
    red.fill(QColor(255, 0, 0));
    item->button()->setImage(QIcon(red));
    item->button()->setImagePosition(StatusItemButton::ImagePosition::ImageOnly);
    const QString name = registered(*item);
    const QDBusArgument images =
        bus.property(name, QStringLiteral("IconPixmap")).value<QDBusArgument>();
    QList<StatusNotifierItem::Image> sizes;
    images >> sizes;
    ASSERT_EQ(sizes.size(), qsizetype(std::size(StatusNotifierItem::iconSizes)));
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const StatusNotifierItem::Image &image = sizes[i];
        EXPECT_EQ(image.width, StatusNotifierItem::iconSizes[i]);
        EXPECT_EQ(image.pixels.size(), qsizetype(image.width) * image.height * 4);
        // The middle pixel: opaque red, alpha first.
        const qsizetype middle = (qsizetype(image.height / 2) * image.width + image.width / 2) * 4;
        EXPECT_EQ(image.pixels.mid(middle, 4), QByteArray::fromHex("ffff0000"))
            << image.width << " px";
    }

    const QString service = item->statusNotifierItem()->serviceName();
    const QDBusConnection client =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("probe"));
    EXPECT_TRUE(client.interface()->isServiceRegistered(service).value());
    item.reset();
    EXPECT_TRUE(waitUntil([&] {
        return !client.interface()->isServiceRegistered(service).value();
    })) << "the watcher drops an item whose name is gone";
    QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
}

// The menu as the desktop reads it: every kind of entry with its properties, ids that last as
// long as their actions, and word of each change, as properties or as a new layout.
TEST_F(ExportedItemTest, TheMenuReadsAsItIsAndEachChangeIsSent) {
    QMenu menu;
    QAction *manage = menu.addAction(QStringLiteral("&Manage"));
    menu.addSeparator();
    QMenu frequencies(QStringLiteral("Ping Frequency"));
    QActionGroup group(&frequencies);
    for (const char *title : {"1 minute", "5 minutes"}) {
        QAction *choice = frequencies.addAction(QString::fromLatin1(title));
        choice->setCheckable(true);
        group.addAction(choice);
    }
    frequencies.actions().first()->setChecked(true);
    QAction *frequenciesItem = menu.addMenu(&frequencies);
    menu.addAction(QStringLiteral("Launch at Login"))->setCheckable(true);
    QAction *off = menu.addAction(QStringLiteral("Support"));
    off->setEnabled(false);
    QAction *hidden = menu.addAction(QStringLiteral("Hidden"));
    hidden->setVisible(false);
    int manageClicks = 0;
    QObject::connect(manage, &QAction::triggered, [&] { ++manageClicks; });

    StatusItem item(20, watch);
    item.setMenu(&menu);
    const QString name = registered(item);
    auto [revision, root] = layoutOf(name);
    ASSERT_EQ(root.children.size(), 6u);
    // Each entry's label and some of its properties.
    const QString label = QStringLiteral("label");
    const std::vector<std::vector<std::pair<QString, QVariant>>> expected = {
        {{label, QStringLiteral("_Manage")},
         {QStringLiteral("enabled"), true},
         {QStringLiteral("visible"), true}},
        {{QStringLiteral("type"), QStringLiteral("separator")}, {QStringLiteral("visible"), true}},
        {{label, QStringLiteral("Ping Frequency")},
         {QStringLiteral("children-display"), QStringLiteral("submenu")}},
        {{label, QStringLiteral("Launch at Login")},
         {QStringLiteral("toggle-type"), QStringLiteral("checkmark")},
         {QStringLiteral("toggle-state"), 0}},
        {{label, QStringLiteral("Support")}, {QStringLiteral("enabled"), false}},
        {{label, QStringLiteral("Hidden")}, {QStringLiteral("visible"), false}},
    };
    for (size_t i = 0; i < expected.size(); ++i)
        for (const auto &[key, value] : expected[i])
            EXPECT_EQ(root.children[i].properties.value(key), value)
                << "entry " << i << ": " << key.toStdString() << " is "
                << root.children[i].properties.value(key).toString().toStdString();
    const Entry &submenu = root.children[2];
    ASSERT_EQ(submenu.children.size(), 2u);
    EXPECT_EQ(submenu.children[0].properties.value(QStringLiteral("toggle-type")),
              QStringLiteral("radio"));
    EXPECT_EQ(submenu.children[0].properties.value(QStringLiteral("toggle-state")), 1);
    EXPECT_EQ(submenu.children[1].properties.value(QStringLiteral("toggle-state")), 0);

    // A click from the desktop runs the action, after the answer.
    bus.click(name, root.children[0].id);
    EXPECT_TRUE(waitUntil([&] { return manageClicks == 1; }));

    // A change of text is a new property of the same item; an action coming is a new layout,
    // with a newer revision. (The tray's own menu, ExportedMenuTest in statusmenu, follows ids
    // through removals.)
    bus.watchLayoutUpdates(name);
    manage->setText(QStringLiteral("Manage Hosts"));
    auto now = bus.layoutWhen(name, DesktopTrayBus::showing(QStringLiteral("Manage Hosts")));
    ASSERT_TRUE(now);
    EXPECT_EQ(now->second.children[0].id, root.children[0].id);
    EXPECT_EQ(now->first, revision);
    menu.addAction(QStringLiteral("Quit"));
    ASSERT_TRUE(waitUntil([&] { return !bus.layoutUpdates().isEmpty(); }));
    EXPECT_EQ(bus.layoutUpdates().size(), 1) << "the text change made no new layout";
    EXPECT_GT(bus.layoutUpdates().last(), revision);
    EXPECT_TRUE(layoutOf(name).second.find(QStringLiteral("Quit")));

    // The desktop opening the menu, or a submenu, and closing it is the menu's own show and hide;
    // a row made as the menu is about to show is in the layout the desktop reads next.
    QSignalSpy closed(&menu, &QMenu::aboutToHide);
    QSignalSpy submenuShown(&frequencies, &QMenu::aboutToShow);
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { menu.addAction(QStringLiteral("Row")); });
    const QString service = name.section(u'/', 0, 0);
    const QString path = QString::fromLatin1(StatusNotifierItem::menuObjectPath);
    const QString interface = QStringLiteral("com.canonical.dbusmenu");
    const QDBusMessage reply =
        bus.call(service, path, interface, QStringLiteral("AboutToShow"), {0});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_TRUE(reply.arguments().value(0).toBool()) << "the layout changed on the way";
    EXPECT_TRUE(layoutOf(name).second.find(QStringLiteral("Row")));
    bus.call(service, path, interface, QStringLiteral("AboutToShow"), {root.children[2].id});
    EXPECT_EQ(submenuShown.count(), 1);
    bus.call(service, path, interface, QStringLiteral("Event"),
             {0, QStringLiteral("closed"), QVariant::fromValue(QDBusVariant(0)), uint(0)});
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(frequenciesItem->menu(), &frequencies);
}

// Qt's "&" mnemonic and "&&" escape become the menu protocol's "_" and literal "&"; a literal
// "_" is doubled so it is not read as a mnemonic.
TEST(ExportedMenuTest, LabelsTakeTheMnemonicAsTheDesktopWritesIt) {
    const std::pair<const char *, const char *> cases[] = {
        {"Manage", "Manage"}, {"&Quit", "_Quit"}, {"R&&D", "R&D"},   {"a_b", "a__b"},
        {"end&", "end&"},     {"&a&b", "_ab"},    {"x&&&y", "x&_y"},
    };
    for (const auto &[text, label] : cases)
        EXPECT_EQ(ExportedMenu::labelFor(QString::fromLatin1(text)), QString::fromLatin1(label))
            << text;
}

// Qt's modifiers leave Caps Lock out; the X server's keyboard extension tells it. The lock is
// set on a real X server, and read back through the reader the tray uses.
TEST(ModifierFlagsTest, CapsLockFromTheXServerJoinsTheKeysHeld) {
    PrivateDisplay x;
    ASSERT_TRUE(x.isRunning()) << x.error().toStdString();
    Display *display = XOpenDisplay(x.name().toLocal8Bit().constData());
    ASSERT_TRUE(display);
    EXPECT_EQ(ModifierFlags::read(Qt::ControlModifier, display), ModifierFlags::control);

    ASSERT_TRUE(XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask));
    XSync(display, False);
    EXPECT_EQ(ModifierFlags::read(Qt::ControlModifier, display),
              ModifierFlags::control | ModifierFlags::capsLock)
        << "so Ctrl+click with Caps Lock on is no Ping Now";
    EXPECT_EQ(ModifierFlags::read(Qt::NoModifier, display), ModifierFlags::capsLock);

    ASSERT_TRUE(XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0));
    XSync(display, False);
    EXPECT_EQ(ModifierFlags::read(Qt::AltModifier, display), ModifierFlags::option);
    XCloseDisplay(display);

    // Without an X server the keys held are all there is.
    EXPECT_EQ(ModifierFlags::read(Qt::ControlModifier, nullptr), ModifierFlags::control);
}
} // namespace
