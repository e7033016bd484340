#pragma once

#include <memory>

class HistoryStore;
class Host;
class TRHostController;
class Updater;

// What the rest of the program reaches through the application: the engine, the updater and the
// add/edit form. The accessor may be empty (tests leave it so); callers then do nothing.
class AppDelegate {
public:
    virtual ~AppDelegate() = default;

    virtual TRHostController *hostController() const = 0;
    virtual Updater *updater() const { return nullptr; }
    // Opens the form under the main tray icon: for `host`, or for a new host when it is empty.
    virtual void showEditHostWindow(const std::shared_ptr<Host> &host) = 0;
    // Every host's recent checks; none until the engine has loaded.
    virtual HistoryStore *historyStore() const { return nullptr; }
    // Opens the details window for `host`.
    virtual void showDetailsWindow(const std::shared_ptr<Host> &) {}
    // Another start of Tarvik asked this one to come forward.
    virtual void bringForward() {}

    static AppDelegate *current();
    static void setCurrent(AppDelegate *delegate);
};
