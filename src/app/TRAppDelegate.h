#pragma once

#include "app/AppDelegate.h"

#include <QObject>

#include <memory>

class NoTrayWindow;
class HistoryStore;
class CertificateAlerts;
class DesktopNotifier;
class HostAlerts;
class HostTrayIconFactory;
class MachineStateLink;
class TRHostController;
class TRHostDetailsWindow;
class TRMenuBarController;
class TREditHostWindow;
class TrayPresence;
class Updater;

// Builds the long-lived controllers once the application is running, links them, and is the one
// place the rest of the program reaches for the engine, the updater and the edit form.
class TRAppDelegate : public QObject, public AppDelegate {
    Q_OBJECT
public:
    explicit TRAppDelegate(QObject *parent = nullptr);
    ~TRAppDelegate() override;

    // Where the tray is looked for; the desktop's own unless set before setUp().
    void setTrayPresence(std::unique_ptr<TrayPresence> presence);
    TrayPresence *trayPresence() const { return trayPresence_.get(); }

    // Creates the menu controller, then the engine with its network and sleep watches and its
    // notifications, loads the engine, then links the two; then starts following the tray,
    // opening the no-tray window while there is none.
    void setUp();

    TRHostController *hostController() const override { return hostController_.get(); }
    TRMenuBarController *menuBarController() const { return menuBarController_.get(); }
    Updater *updater() const override { return updater_.get(); }
    // One form for every request, created on the first; always placed under the main tray icon.
    void showEditHostWindow(const std::shared_ptr<Host> &host) override;
    TREditHostWindow *editHostWindow() const { return editHostWindow_.get(); }
    HistoryStore *historyStore() const override { return historyStore_.get(); }
    // One details window, created on the first request and pointed at each requested host.
    void showDetailsWindow(const std::shared_ptr<Host> &host) override;
    TRHostDetailsWindow *detailsWindow() const { return detailsWindow_.get(); }
    HostAlerts *alerts() const { return alerts_.get(); }
    CertificateAlerts *certificateAlerts() const { return certificateAlerts_.get(); }
    // Opens the hosts window, so a start from the launcher shows something; without a tray,
    // brings the no-tray window forward instead, the one thing the user can see there.
    void bringForward() override;
    // Created the first time the tray is found missing.
    NoTrayWindow *noTrayWindow() const { return noTrayWindow_.get(); }

private:
    // Makes the hosts' own tray icons for the engine, which holds it without owning it.
    std::unique_ptr<HostTrayIconFactory> hostIcons_;
    // The engine is declared next so it is destroyed last but for the factory: the menu
    // controller unlinks itself from it on the way out.
    std::unique_ptr<TRHostController> hostController_;
    // Destroyed before the engine, writing what it has not written yet.
    std::unique_ptr<HistoryStore> historyStore_;
    std::unique_ptr<TRMenuBarController> menuBarController_;
    std::unique_ptr<Updater> updater_;
    std::unique_ptr<TREditHostWindow> editHostWindow_;
    std::unique_ptr<TrayPresence> trayPresence_;
    std::unique_ptr<NoTrayWindow> noTrayWindow_;

    void trayShownChanged(bool shown);
    std::unique_ptr<TRHostDetailsWindow> detailsWindow_;
    std::unique_ptr<MachineStateLink> machineState_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<HostAlerts> alerts_;
    std::unique_ptr<CertificateAlerts> certificateAlerts_;
};
