#include "windows/TRHostsWindowController.h"

#include "app/AppDelegate.h"
#include "monitoring/TRHostController.h"
#include "windows/HostListModel.h"
#include "windows/HostsTableView.h"
#include "windows/TRHostsWindow.h"

TRHostsWindowController::TRHostsWindowController(StatusItemButton *statusBarButton,
                                                 TRHostController *hostController, QObject *parent)
    : QObject(parent)
    , hostController_(hostController)
    , hostsWindow_(std::make_unique<TRHostsWindow>(statusBarButton))
    , model_(new HostListModel(hostController, this)) {
    hostsWindow_->setController(this);
    hostsWindow_->table()->setModel(model_);
    connect(hostsWindow_->table(), &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { showDetails(index.row()); });
}

void TRHostsWindowController::showDetails(int row) {
    const std::shared_ptr<Host> host = model_->hostAt(row);
    if (!host)
        return;
    if (AppDelegate *delegate = AppDelegate::current())
        delegate->showDetailsWindow(host);
}

TRHostsWindowController::~TRHostsWindowController() = default;

void TRHostsWindowController::showWindow() {
    hostsWindow_->makeKeyAndOrderFront();
}

int TRHostsWindowController::selectedRow() const {
    const HostsTableView *table = hostsWindow_->table();
    if (!table->selectionModel() || !table->selectionModel()->hasSelection())
        return -1;
    const int row = table->currentIndex().row();
    return row >= 0 && row < model_->rowCount() ? row : -1;
}

void TRHostsWindowController::add() {
    if (AppDelegate *delegate = AppDelegate::current())
        delegate->showEditHostWindow(nullptr);
}

void TRHostsWindowController::remove() {
    const int row = selectedRow();
    if (row < 0)
        return;
    // The selected object itself goes, even when another host shares its name.
    hostController_->removeHost(model_->hostAt(row));
}

void TRHostsWindowController::edit() {
    const int row = selectedRow();
    if (row < 0)
        return;
    if (AppDelegate *delegate = AppDelegate::current())
        delegate->showEditHostWindow(model_->hostAt(row));
}
