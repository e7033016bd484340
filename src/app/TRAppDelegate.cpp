#include "app/TRAppDelegate.h"

#include "monitoring/TRHostController.h"

TRAppDelegate::TRAppDelegate(QObject *parent)
    : QObject(parent) {}

TRAppDelegate::~TRAppDelegate() = default;

void TRAppDelegate::setUp() {
    hostController_ = std::make_unique<TRHostController>();
    hostController_->load();
}

void TRAppDelegate::showEditHostWindow(const std::shared_ptr<Host> &) {}
