#pragma once

#include "trayitem/StatusItemButton.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>

#include <memory>

class QSystemTrayIcon;
class StatusNotifierItem;
class StatusNotifierWatch;

// One item in the system tray. It keeps what the program sets (length, the button's image,
// title, tooltip and action, a menu) and renders it into one square icon, since tray slots are
// square: the title and image are drawn together.
//
// It shows in whichever tray the desktop has. Where a StatusNotifierItem host is registered
// (KDE, LXQt, Xfce, GNOME's AppIndicator extension) it is a D-Bus item of Tarvik's own, which
// never waits on the panel; otherwise, on X11, it is Qt's XEmbed icon. It follows the desktop
// as trays come and go, so a panel started after Tarvik still shows it.
//
// A click with a menu set opens the menu; without one it runs the button's action. Trays that
// export menus over D-Bus show the menu themselves on a right click; an XEmbed tray's right
// click opens Tarvik's own menu.
class StatusItem : public QObject {
    Q_OBJECT
public:
    // Visible in the tray from construction until destruction, once the tray is known.
    explicit StatusItem(qreal length, QObject *parent = nullptr);
    // The same, for the watcher of a given bus (tests use a private one).
    StatusItem(qreal length, StatusNotifierWatch &watch, QObject *parent = nullptr);
    ~StatusItem() override;

    qreal length() const { return length_; }
    void setLength(qreal length);

    StatusItemButton *button() { return &button_; }
    const StatusItemButton *button() const { return &button_; }

    QMenu *menu() const { return menu_; }
    // The menu is not owned.
    void setMenu(QMenu *menu);
    // A menu a D-Bus tray shows on a right click, while a click still runs the button's action.
    // Not owned; ignored while a menu is set with setMenu, and by XEmbed trays, where a click
    // carries the keys held and is enough.
    void setContextMenu(QMenu *menu);
    QMenu *contextMenu() const { return contextMenu_; }

    // The square tray icon for the current state, drawable at any size.
    QIcon renderedIcon() const;

    // Opens the menu as a click would: under the item where the tray tells its place, else at
    // the pointer.
    void popUpMenu();

    // The tray's own message balloon, for desktops without a notification server (XEmbed trays
    // only: a D-Bus tray has no balloons of its own).
    void showMessage(const QString &title, const QString &body, bool critical);

    // True while this item is shown through a StatusNotifierItem host: there its menu is an
    // exported copy (widgets are lost), the tray gives no item geometry and tooltips are
    // plain text.
    bool isExported() const { return exported_; }
    // The same for the session bus as a whole: whether its tray shows exported menus now.
    static bool menusAreExported();
    // The tooltip as handed to the tray. Trays that draw it themselves take plain text; Qt's own
    // XEmbed tray shows it as a Qt tooltip, which reads text that looks like markup as markup,
    // so there it is escaped to show exactly as typed, line breaks included.
    static QString toolTipForTray(const QString &text, bool exported);

    // What carries the item, for tests: the D-Bus item (null without a bus) and Qt's XEmbed
    // icon (null until an XEmbed tray is used).
    StatusNotifierItem *statusNotifierItem() const { return statusNotifierItem_.get(); }
    QSystemTrayIcon *embeddedIcon() const { return tray_; }

Q_SIGNALS:
    // Before Tarvik pops up its own menu, so rows can switch to their widget form.
    void menuWillPopUp();
    // The item moved between a D-Bus tray and an XEmbed one (or none).
    void exportedChanged(bool exported);

private:
    // Shows the item where the desktop's tray is now.
    void follow();
    void showEmbedded(bool shown);
    void refresh();
    void onActivated(int reason);

    qreal length_;
    StatusItemButton button_;
    StatusNotifierWatch &watch_;
    std::unique_ptr<StatusNotifierItem> statusNotifierItem_;
    // Made only once Qt's tray is known to be an XEmbed one; owned as a child.
    QSystemTrayIcon *tray_ = nullptr;
    QPointer<QMenu> menu_;
    QPointer<QMenu> contextMenu_;
    bool exported_ = false;
};
