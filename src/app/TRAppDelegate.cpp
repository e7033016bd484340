#include "app/TRAppDelegate.h"

#include "app/BuildInfo.h"
#include "desktopnotifications/DesktopNotifier.h"
#include "history/HistoryStore.h"
#include "historyviews/TRHostDetailsWindow.h"
#include "hosticons/HostTrayIconFactory.h"
#include "monitoring/Clock.h"
#include "monitoring/TRHostController.h"
#include "networkstate/MachineStateLink.h"
#include "notifications/CertificateAlerts.h"
#include "notifications/HostAlerts.h"
#include "settings/Settings.h"
#include "trayitem/StatusItem.h"
#include "traypresence/NoTrayWindow.h"
#include "traypresence/TrayPresence.h"
#include "updates/Updater.h"
#include "windows/TREditHostWindow.h"

#include "statusmenu/TRMenuBarController.h"
#include <QApplication>

TRAppDelegate::TRAppDelegate(QObject *parent)
    : QObject(parent) {}

TRAppDelegate::~TRAppDelegate() = default;

void TRAppDelegate::setUp() {
    // The menu's "Check for Updates" item is aimed at the updater, so it exists first.
    updater_ = std::make_unique<Updater>(BuildInfo::updateFeedUrl(), BuildInfo::version());
    menuBarController_ = std::make_unique<TRMenuBarController>();
    hostIcons_ = std::make_unique<HostTrayIconFactory>();
    hostController_ = std::make_unique<TRHostController>();
    hostController_->setStatusItemFactory(hostIcons_.get());
    hostController_->setRemembersOutcomes(true);
    machineState_ = std::make_unique<MachineStateLink>(*hostController_);
    machineState_->start();
    notifier_ = std::make_unique<DesktopNotifier>();
    notifier_->setFallback([this](const Notice &notice) {
        if (menuBarController_)
            menuBarController_->statusItem()->showMessage(notice.summary, notice.body, notice.down);
    });
    alerts_ = std::make_unique<HostAlerts>(*hostController_, *notifier_, Clock::system());
    alerts_->setEnabled(&Settings::notificationsEnabled);
    connect(alerts_.get(), &HostAlerts::openHostsRequested, this, &TRAppDelegate::bringForward);
    connect(alerts_.get(), &HostAlerts::openHostRequested, this, &TRAppDelegate::showDetailsWindow);
    certificateAlerts_ =
        std::make_unique<CertificateAlerts>(*hostController_, *notifier_, Clock::system());
    certificateAlerts_->setEnabled(&Settings::notificationsEnabled);
    connect(certificateAlerts_.get(), &CertificateAlerts::openHostRequested, this,
            &TRAppDelegate::showDetailsWindow);
    hostController_->load();
    // Before the menu is linked, so the hosts window finds the histories it draws.
    historyStore_ = std::make_unique<HistoryStore>(hostController_.get());
    menuBarController_->setHostController(hostController_.get());

    if (!trayPresence_)
        trayPresence_ = std::make_unique<TrayPresence>();
    connect(trayPresence_.get(), &TrayPresence::trayShownChanged, this,
            &TRAppDelegate::trayShownChanged);
    trayPresence_->start();
}

void TRAppDelegate::setTrayPresence(std::unique_ptr<TrayPresence> presence) {
    trayPresence_ = std::move(presence);
}

void TRAppDelegate::trayShownChanged(bool shown) {
    // The tray icons stay shown throughout: Qt puts them into a tray as soon as one appears.
    if (shown) {
        if (noTrayWindow_)
            noTrayWindow_->close();
        return;
    }
    if (!noTrayWindow_) {
        noTrayWindow_ = std::make_unique<NoTrayWindow>();
        connect(noTrayWindow_.get(), &NoTrayWindow::manageHostsRequested, this, [this] {
            if (menuBarController_)
                menuBarController_->manageClick();
        });
        connect(noTrayWindow_.get(), &NoTrayWindow::quitRequested, qApp, &QCoreApplication::quit,
                Qt::QueuedConnection);
    }
    noTrayWindow_->bringForward();
}

void TRAppDelegate::showEditHostWindow(const std::shared_ptr<Host> &host) {
    if (!editHostWindow_) {
        if (!menuBarController_)
            return;
        editHostWindow_ =
            std::make_unique<TREditHostWindow>(menuBarController_->statusItem()->button());
        editHostWindow_->setHostController(hostController_.get());
    }
    editHostWindow_->setHost(host);
    editHostWindow_->makeKeyAndOrderFront();
}

void TRAppDelegate::showDetailsWindow(const std::shared_ptr<Host> &host) {
    if (!host || !menuBarController_)
        return;
    if (!detailsWindow_)
        detailsWindow_ = std::make_unique<TRHostDetailsWindow>(
            menuBarController_->statusItem()->button(), historyStore_.get(), hostController_.get());
    detailsWindow_->setHost(host);
    detailsWindow_->makeKeyAndOrderFront();
}

void TRAppDelegate::bringForward() {
    if (trayPresence_ && trayPresence_->isTrayShown() == false && noTrayWindow_) {
        noTrayWindow_->bringForward();
        return;
    }
    if (menuBarController_)
        menuBarController_->manageClick();
}
