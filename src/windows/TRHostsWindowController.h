#pragma once

#include <QObject>

#include <memory>

class HostListModel;
class StatusItemButton;
class TRHostController;
class TRHostsWindow;

// Owns the hosts window and answers for its table from the engine's list. Add and edit go to
// the application's edit form; remove goes to the engine. It never reloads the table itself:
// the menu's rebuild after every save does.
class TRHostsWindowController : public QObject {
    Q_OBJECT
public:
    TRHostsWindowController(StatusItemButton *statusBarButton, TRHostController *hostController,
                            QObject *parent = nullptr);
    ~TRHostsWindowController() override;

    TRHostController *hostController() const { return hostController_; }
    TRHostsWindow *hostsWindow() const { return hostsWindow_.get(); }
    HostListModel *model() const { return model_; }

    // Shows the window under the main tray icon.
    void showWindow();

    void add();
    void remove();
    void edit();
    // Opens the details window for the host of `row` (a double-click on it).
    void showDetails(int row);

private:
    int selectedRow() const;

    TRHostController *hostController_;
    std::unique_ptr<TRHostsWindow> hostsWindow_;
    HostListModel *model_;
};
