#include "app/TRAppDelegate.h"

#include "monitoring/TRHostController.h"
#include "statusmenu/TRMenuBarController.h"

TRAppDelegate::TRAppDelegate(QObject *parent)
    : QObject(parent) {}

TRAppDelegate::~TRAppDelegate() = default;

void TRAppDelegate::setUp() {
    menuBarController_ = std::make_unique<TRMenuBarController>();
    hostController_ = std::make_unique<TRHostController>();
    hostController_->load();
    menuBarController_->setHostController(hostController_.get());
}

void TRAppDelegate::showEditHostWindow(const std::shared_ptr<Host> &) {}
