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

    // The square tray icon for the current state, drawable at any size.
    QIcon renderedIcon() const;

    // Opens the menu as a click would: under the item where the tray tells its place, else at
    // the pointer.
    void popUpMenu();

    // True when the desktop's tray shows exported menus (StatusNotifierItem hosts): there a
    // menu's widgets are lost and Qt gives no item geometry.
    static bool menusAreExported();

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
};
