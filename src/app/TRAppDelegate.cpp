#include "app/TRAppDelegate.h"

#include "monitoring/TRHostController.h"
#include "platform/BuildInfo.h"
#include "platform/Updater.h"

TRAppDelegate::TRAppDelegate(QObject *parent)
    : QObject(parent) {}

TRAppDelegate::~TRAppDelegate() = default;

void TRAppDelegate::setUp() {
    hostController_ = std::make_unique<TRHostController>();
    hostController_->load();
    updater_ = std::make_unique<Updater>(BuildInfo::updateFeedUrl(), BuildInfo::version());
}

void TRAppDelegate::showEditHostWindow(const std::shared_ptr<Host> &) {}
