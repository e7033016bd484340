#pragma once

#include <QObject>

#include <memory>

class Host;
class QAction;
class QMenu;
class StatusItem;

// The menu of a host's own tray icon where the desktop's tray shows menus itself (D-Bus trays).
// There a click arrives without the keys held, so Edit and Ping Now, reached by Alt and Ctrl
// clicks elsewhere, are offered as commands beside Start/Pause. It belongs to its item and refers
// to its host without owning it.
class HostIconMenu : public QObject {
    Q_OBJECT
public:
    HostIconMenu(std::weak_ptr<Host> host, StatusItem *item);
    ~HostIconMenu() override;

    QMenu *menu() const { return menu_.get(); }
    QAction *stateAction() const { return stateAction_; }
    QAction *editAction() const { return editAction_; }
    QAction *pingAction() const { return pingAction_; }

    // Shows whether the host would now be started or paused.
    void refresh();

private:
    std::weak_ptr<Host> host_;
    std::unique_ptr<QMenu> menu_;
    QAction *stateAction_ = nullptr;
    QAction *editAction_ = nullptr;
    QAction *pingAction_ = nullptr;
};
