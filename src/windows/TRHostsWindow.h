#pragma once

#include "windows/LMUtilityWindow.h"

#include <QPointer>

class HostsTableView;
class QToolButton;
#include "windows/TRHostsWindowController.h"

// The "Hosts" window (140 x 160): the table of host names above a row of three image buttons,
// add and remove at the left, edit at the right. The controller fills the table and carries
// out the buttons; until one is set, the buttons do nothing. Delete works as the remove button.
class TRHostsWindow : public LMUtilityWindow {
    Q_OBJECT
public:
    explicit TRHostsWindow(StatusItemButton *statusBarButton, QWidget *parent = nullptr);

    TRHostsWindowController *controller() const { return controller_; }
    // Makes the controller the buttons' target. Setting none keeps the buttons' old target.
    void setController(TRHostsWindowController *controller);

    QWidget *line() const { return line_; }
    HostsTableView *scrollView() const { return table_; }
    HostsTableView *table() const { return table_; }
    QToolButton *addButton() const { return addButton_; }
    QToolButton *removeButton() const { return removeButton_; }
    QToolButton *editButton() const { return editButton_; }

    // A named image redrawn to exactly 16 x 16 (stretched if not square), in the label colour.
    static QIcon buttonImage(const QString &name);

private:
    QToolButton *makeButton(const QString &imageName, qreal x);

    QPointer<TRHostsWindowController> controller_;
    QPointer<TRHostsWindowController> target_;
    QWidget *line_;
    HostsTableView *table_;
    QToolButton *addButton_;
    QToolButton *removeButton_;
    QToolButton *editButton_;
};
