#include "app/TRAppDelegate.h"

#include "app/BuildInfo.h"
#include "monitoring/TRHostController.h"
#include "trayitem/StatusItem.h"
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
    hostController_ = std::make_unique<TRHostController>();
    hostController_->load();
    menuBarController_->setHostController(hostController_.get());
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

void TRAppDelegate::bringForward() {
    if (menuBarController_)
        menuBarController_->manageClick();
}
