#pragma once

#include "menuitems/LMMenuItemDelegate.h"
#include "monitoring/MenuBarLink.h"

#include <QIcon>
#include <QObject>
#include <QTimer>

#include <memory>

class Host;
class LMMenuItem;
class QAction;
class QMenu;
class QMessageBox;
class StatusItem;
class TRHostController;
class TRHostsWindowController;

// The main tray icon and its menu: one row per host (a coloured dot and the name, with start/
// pause, edit and remove), then the commands. The icon shows a red count of the active hosts
// that are down, and its tooltip the version and the last and next check.
//
// The rows follow the engine's announcements (a host added, removed or moved, a row's host
// changed) and are rebuilt only when the whole list is replaced; never when the menu opens.
class TRMenuBarController : public QObject, public MenuBarLink, public LMMenuItemDelegate {
    Q_OBJECT
public:
    static constexpr qreal lengthWithoutTitle = 20.0;
    static constexpr const char *loginItemFailure = "Changing login item status failed.";
    struct Frequency {
        const char *title;
        int seconds; // the item's tag
    };
    static constexpr Frequency frequencies[] = {{"1 minute", 60},
                                                {"5 minutes", 300},
                                                {"15 minutes", 900},
                                                {"30 minutes", 1800},
                                                {"1 hour", 3600}};

    explicit TRMenuBarController(QObject *parent = nullptr);
    ~TRMenuBarController() override;

    TRHostsWindowController *hostsWindowController() const { return hostsWindowController_.get(); }
    StatusItem *statusItem() const { return statusItem_.get(); }
    QMenu *menu() const { return menu_.get(); }
    QMenu *pingFrequencyMenu() const { return pingFrequencyMenu_.get(); }
    QMenu *moreMenu() const { return moreMenu_.get(); }
    QAction *launchAtLoginMenuItem() const { return launchAtLoginMenuItem_; }
    QAction *notificationsMenuItem() const { return notificationsMenuItem_; }
    // At most this many down hosts, and as many slow ones, get a line of their own in the
    // tooltip.
    static constexpr int downLinesShown = 5;
    static constexpr const char *offlineLine = "Offline: checks resume when the network is back";
    TRHostController *hostController() const { return hostController_; }

    // Links the engine both ways, creates the hosts window's controller and refreshes the menu.
    void setHostController(TRHostController *hostController);

    // Rebuilds the host rows from the engine's list, keeping the rows of hosts still in it.
    void reloadHostItems();
    void refreshHostItem(const Host &host) override;
    void setDownCount(int count) override;
    void updateToolTip() override;

    void editModelObject(const std::shared_ptr<LMItemable> &modelObject) override;
    void removeModelObject(const std::shared_ptr<LMItemable> &modelObject) override;
    void showDetailsOfModelObject(const std::shared_ptr<LMItemable> &modelObject) override;

    // The first row while the list is empty: opens the form for a new host.
    void addHostClick();
    QAction *addHostItem() const { return addHostItem_; }
    void manageClick();
    void pingClick();
    // A frequency item was chosen: it takes the check mark and its tag is stored. When it
    // cannot be stored the old frequency stays in force, keeps the mark, and a message says so.
    void frequencyClick(QAction *sender);
    // Flips "Launch at Login" as its current state says: (un)registers the login helper and
    // stores the choice. When either fails the item shows what is registered, a line goes to
    // stdout for a failed registration, and a message says why.
    void toggleLaunchAtLogin(QAction *sender);
    // Flips "Notifications" and stores it; notices already shown stay. A choice that cannot be
    // stored is not taken, and a message says so.
    void toggleNotifications(QAction *sender);
    // Both open the project's page; without one (the build sets it) both items are off.
    void supportClick();
    void rateClick();
    QString projectPage() const { return projectPage_; }
    void setProjectPage(const QString &address);
    // Opens a fixed address with the desktop; the outcome is not used.
    static void openURLString(const QString &address);

    // The host rows at the top of the menu, in order.
    QList<LMMenuItem *> hostRows() const;
    // A 10 x 10 dot in the host's status colour.
    static QIcon statusDot(const Host &host);
    // "api: HTTP 503", "api: slow (1.2 s > 1 s)": a host's row tooltip and, for a down or slow
    // host, its line in the main tooltip.
    static QString hostLine(const Host &host);
    // The small window that says why a choice did not take; null until one did not.
    QMessageBox *failureBox() const { return failureBox_.get(); }

private:
    void buildMenu();
    void addPingItems();
    void addMoreMenu();
    // An item whose check mark Qt would flip on its own before the slot runs; the slot gets the
    // item with the state it had when chosen.
    QAction *addCheckableItem(QMenu *menu, const QString &title,
                              void (TRMenuBarController::*slot)(QAction *));
    static QString helperIdentifier();
    // False, with the stdout line and the reason in `why`, when the registration failed.
    static bool registerLoginItem(bool enabled, QString *why);
    static QString loginItemFailureText(bool enabled, const QString &why);
    // "The <what> cannot be saved in <settings file>, ..."
    static QString unstoredText(const QString &what);
    // Shows `text` in a non-modal warning, replacing what it said before.
    void sayFailure(const QString &text);
    void setRowsExported(bool exported);
    LMMenuItem *makeRow(const std::shared_ptr<Host> &host);
    LMMenuItem *rowOf(const Host &host) const;
    // Puts `row` at `index` among the host rows.
    void placeRow(LMMenuItem *row, int index);
    void insertRow(const std::shared_ptr<Host> &host, int index);
    void removeRow(const Host &host);
    void moveRow(const Host &host, int from, int to);
    void showAddHostRow(bool show);
    static void setDot(LMMenuItem *row, const Host &host);
    static void setLine(LMMenuItem *row, const Host &host);
    // Gray and without a count while the machine is offline or asleep.
    void showOfflineLook();

    // Declared before the rows' menu so the rows go first.
    std::unique_ptr<TRHostsWindowController> hostsWindowController_;
    std::unique_ptr<StatusItem> statusItem_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QMenu> pingFrequencyMenu_;
    std::unique_ptr<QMenu> moreMenu_;
    QAction *launchAtLoginMenuItem_ = nullptr;
    QAction *supportMenuItem_ = nullptr;
    QAction *rateMenuItem_ = nullptr;
    QString projectPage_;
    QAction *addHostItem_ = nullptr;
    QAction *notificationsMenuItem_ = nullptr;
    std::unique_ptr<QMessageBox> failureBox_;
    // Results land one by one; the tooltip follows them at most a few times a second.
    QTimer toolTipTimer_;
    int downCount_ = 0;
    TRHostController *hostController_ = nullptr;
    // Whether the desktop shows the menu as an exported copy, where rows need their plain form.
    bool menuIsExported_ = false;
};
