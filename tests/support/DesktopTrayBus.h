#pragma once

#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class ThreadedStatusNotifierWatcher;

// A private session bus for one test process: its own dbus-daemon, with a small stand-in for the
// desktop's StatusNotifierWatcher and tray host, on a thread of its own like a panel's, so a
// program sees a D-Bus tray the way it does under KDE, LXQt or GNOME's extension. Start it before
// anything in the process touches the session bus.
//
// Like LXQt's panel it can call each item back as it registers, with blocking calls from the
// watcher's own thread (its menu importer does so), and it can hang or restart.
class DesktopTrayBus {
public:
    // What the panel's blocking calls back to one item met.
    struct CallBack {
        QString item;
        bool answered = false;
        qint64 ms = 0;
    };

    DesktopTrayBus();
    ~DesktopTrayBus();

    // Empty when the daemon did not start; then why.
    bool isRunning() const { return !address_.isEmpty(); }
    QString error() const { return error_; }
    QString address() const { return address_; }

    // The items registered with the watcher, as "busname/path".
    QStringList registeredItems() const;

    // From now on each item that registers is read back at once with blocking calls (its
    // properties, its menu's introspection and layout), each given `timeoutMs`.
    void callBackOnRegistration(int timeoutMs);
    QList<CallBack> callBacks() const;
    // The panel stops answering anything until release().
    void hang();
    void release();
    // The panel goes away (the watcher's name is dropped), and comes back, as a new watcher that
    // knows no items, with or without a tray host.
    void disappear();
    void appear(bool withHost = true);
    // A tray host registers with the watcher, or leaves it, and the watcher says so.
    void setHost(bool host);

    // Calls a method on another connection of this process (Tarvik's tray) without blocking
    // its loop, and waits for the answer.
    QDBusMessage call(const QString &service, const QString &path, const QString &interface,
                      const QString &method, const QVariantList &arguments = {});
    QVariant property(const QString &item, const QString &name);
    // The text of an item's tooltip.
    QString toolTip(const QString &item);

    // One entry of an exported menu.
    struct MenuEntry {
        int id = 0;
        QVariantMap properties;
        std::vector<MenuEntry> children;
        QString label() const { return properties.value(QStringLiteral("label")).toString(); }
        bool visible() const { return properties.value(QStringLiteral("visible"), true).toBool(); }
        // The first entry at any depth whose label is `label`.
        const MenuEntry *find(const QString &label) const;
    };
    // The whole exported menu of an item ("busname/path"), and its revision.
    using Layout = std::pair<uint, MenuEntry>;
    std::optional<Layout> layout(const QString &item);
    using MenuMatch = std::function<bool(const MenuEntry &)>;
    // A menu that shows an entry labelled `label`, or with `shown` false, one that no longer does.
    static MenuMatch showing(const QString &label, bool shown = true);
    // Waits until `item`'s menu matches; then that layout, else nothing after `ms`.
    std::optional<Layout> layoutWhen(const QString &item, const MenuMatch &matches, int ms = 5000);
    // Waits until a registered item's menu matches; then that item and its layout.
    std::optional<std::pair<QString, Layout>> itemWhoseMenu(const MenuMatch &matches,
                                                            int ms = 10000);
    // Sends the desktop's "clicked" for menu entry `id`.
    void click(const QString &item, int id);
    // The revision of every LayoutUpdated signal seen from an item's menu, in order.
    QList<uint> layoutUpdates() const { return layoutUpdates_; }
    void watchLayoutUpdates(const QString &item);

private:
    QString menuPath(const QString &item);
    static std::pair<QString, QString> split(const QString &item);

    PrivateBus daemon_;
    QString address_;
    QString error_;
    QThread watcherThread_;
    ThreadedStatusNotifierWatcher *watcher_; // lives on watcherThread_
    QList<uint> layoutUpdates_;
    std::unique_ptr<QObject> signalSink_;
};
