#pragma once

#include "app/AppDelegate.h"

#include <QObject>

#include <memory>

class TRHostController;
class TRMenuBarController;
class TREditHostWindow;
class Updater;

// Builds the long-lived controllers once the application is running, links them, and is the one
// place the rest of the program reaches for the engine, the updater and the edit form.
class TRAppDelegate : public QObject, public AppDelegate {
    Q_OBJECT
public:
    explicit TRAppDelegate(QObject *parent = nullptr);
    ~TRAppDelegate() override;

    // Creates the menu controller, then the engine, loads the engine, then links the two.
    void setUp();

    TRHostController *hostController() const override { return hostController_.get(); }
    TRMenuBarController *menuBarController() const { return menuBarController_.get(); }
    Updater *updater() const override { return updater_.get(); }
    // One form for every request, created on the first; always placed under the main tray icon.
    void showEditHostWindow(const std::shared_ptr<Host> &host) override;
    TREditHostWindow *editHostWindow() const { return editHostWindow_.get(); }
    // Opens the hosts window, so a start from the launcher shows something.
    void bringForward() override;

private:
    // The engine is declared first so it is destroyed last: the menu controller unlinks itself
    // from it on the way out.
    std::unique_ptr<TRHostController> hostController_;
    std::unique_ptr<TRMenuBarController> menuBarController_;
    std::unique_ptr<Updater> updater_;
    std::unique_ptr<TREditHostWindow> editHostWindow_;
};
