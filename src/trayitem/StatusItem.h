#pragma once

#include "trayitem/StatusItemButton.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

#include <QMenu>
class QSystemTrayIcon;

// One item in the system tray. It keeps what the program sets (length, the button's image,
// title, tooltip and action, a menu) and renders it onto a QSystemTrayIcon: the title and image
// are drawn together into one square icon, since tray slots are square.
//
// A click with a menu set opens the menu; without one it runs the button's action. Trays that
// export menus over D-Bus show the menu themselves on a right click; everywhere else Tarvik pops
// up its own menu.
class StatusItem : public QObject {
    Q_OBJECT
public:
    // Visible in the tray from construction until destruction.
    explicit StatusItem(qreal length, QObject *parent = nullptr);
    ~StatusItem() override;

    qreal length() const { return length_; }
    void setLength(qreal length);

    StatusItemButton *button() { return &button_; }
    const StatusItemButton *button() const { return &button_; }

    QMenu *menu() const { return menu_; }
    // The menu is not owned.
    void setMenu(QMenu *menu);
    // A menu for the tray's own context menu (an exported copy on D-Bus trays, a right click
    // elsewhere), while a click still runs the button's action. Not owned; ignored while a menu
    // is set with setMenu.
    void setContextMenu(QMenu *menu);
    QMenu *contextMenu() const { return contextMenu_; }

    // The square tray icon for the current state, drawable at any size.
    QIcon renderedIcon() const;

    // Opens the menu as a click would: under the item where the tray tells its place, else at
    // the pointer.
    void popUpMenu();

    // The tray's own message balloon, for desktops without a notification server.
    void showMessage(const QString &title, const QString &body, bool critical);

    // True when the desktop's tray shows exported menus (StatusNotifierItem hosts): there a
    // menu's widgets are lost, Qt gives no item geometry and tooltips are plain text. Asked of
    // the session bus once; Qt makes the same choice once for the process.
    static bool menusAreExported();
    // The tooltip as handed to the tray. Trays that draw it themselves take plain text; Qt's own
    // XEmbed tray shows it as a Qt tooltip, which reads text that looks like markup as markup,
    // so there it is escaped to show exactly as typed, line breaks included.
    static QString toolTipForTray(const QString &text, bool exported);

Q_SIGNALS:
    // Before Tarvik pops up its own menu, so rows can switch to their widget form.
    void menuWillPopUp();

private:
    void refresh();
    void onActivated(int reason);

    qreal length_;
    StatusItemButton button_;
    QSystemTrayIcon *tray_;
    QPointer<QMenu> menu_;
    QPointer<QMenu> contextMenu_;
};
